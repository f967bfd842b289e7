#pragma once
// The program's command line. It is read before any application object exists, since the
// mode it names decides whether there is a display to connect to at all.

#include <QCommandLineParser>
#include <QStringList>

namespace corvane {

class LigneCommande {
public:
    enum class Mode { Fenetre, SansFenetre, Verification, Aide, Version };

    LigneCommande();
    // False on an unknown option, a missing value, a stray argument or two modes at once:
    // erreur() then holds one line for standard error.
    bool analyse(const QStringList& arguments);

    Mode mode() const { return mode_; }
    QString config() const { return config_; } // --config; "" when not given
    QString erreur() const { return erreur_; }
    QString aide() const { return parser_.helpText(); } // with an application object, to name it

private:
    QCommandLineParser parser_;
    QCommandLineOption optionConfig_;
    QCommandLineOption sansFenetre_;
    QCommandLineOption verification_;
    QCommandLineOption aide_;
    QCommandLineOption version_;
    Mode mode_ = Mode::Fenetre;
    QString config_;
    QString erreur_;
};

} // namespace corvane
