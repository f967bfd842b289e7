#pragma once
// The hidden window "smtp": the program's own SMTP client, shown in debug mode.

#include "platform/platform.h"

#include <QWidget>

#include <deque>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;

namespace corvane {

class ConsoleLink;
class RichTextView;
class SmtpDialogue;
struct ResultatEnvoi;

class SmtpWindow : public QWidget {
    Q_OBJECT
public:
    SmtpWindow(ConsoleLink& console, Platform platform, QWidget* parent = nullptr);
    ~SmtpWindow() override;

    // Takes the address list, server, sender, subject, security, login, sender address and
    // certificate file from console.parametres().
    void InitSmtp();
    // One mailing of the current change. When "Mail auto" is not ticked: nothing is sent and
    // termine runs at once. Otherwise the body and stamp are built now, the mailing runs after
    // any mailing still under way, and termine runs after its report was logged.
    // Every non-empty address of the ten gets its own dialogue, in order, its report block
    // numbered by its slot ("Mail N°4" for "Adresse N°4"). A failure of the connection itself
    // (settings, connection, TLS, login, time-out) ends the mailing at once: each address not
    // yet mailed gets the same reason, with no dialogue of its own.
    void BoucleSend(std::function<void()> termine);

    // Bounds of each wait (connection, each reply), 30 000 ms unless set.
    void setDelais(int connexionMs, int reponseMs);

    // For the windows that show it and for tests.
    QString texteLog() const; // rtxtLog, exactly (what a hidden window has yet to show included)
    QString TexteUTC() const { return texteUTC_; }
    QString CorpsMail() const { return corpsMail_; }
    int NumMail() const { return numMail_; }
    QString Rapport() const { return rapport_; }
    bool mailingEnCours() const { return enCours_; }
    int mailingsEnAttente() const { return static_cast<int>(attente_.size()); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Mailing {
        QString corps;
        std::function<void()> termine;
    };

    void demarreMailingSuivant();
    void EnvoiSmtp();
    void finEnvoi(const ResultatEnvoi& resultat);
    void finMailing();
    void ajouteBloc(int index, const QString& adresse, const ResultatEnvoi& resultat);
    int adresseSuivante(int apres) const; // the next non-empty slot after index apres, or -1
    void ajouteAuLog(const QString& entree);
    // While the window is hidden, the log's lines and the activity strip's marks wait, and are
    // laid out once: at the end of each mailing and when the window is shown. Laying out the
    // ever-longer strip at each arrival of server data cost more than the dialogue itself.
    void montreEnAttente();
    QString entreeListe(int index) const;

    ConsoleLink& console_;
    Platform platform_;

    RichTextView* rtxtLog_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLabel* Label1_ = nullptr;
    QListWidget* List1_ = nullptr;
    SmtpDialogue* ws_ = nullptr;

    QString serveur_;
    QString destinataire_;
    QString expediteur_;
    QString sujetMail_;
    QString securite_;
    QString utilisateur_;
    QString motDePasse_;
    QString adresseExpediteur_;
    QString certificat_;
    QString corpsMail_;
    QString texteUTC_;
    int numMail_ = 0;
    QString rapport_;

    QString logEnAttente_;
    int activitesEnAttente_ = 0;

    bool enCours_ = false;
    std::function<void()> termineEnCours_;
    std::deque<Mailing> attente_;
};

} // namespace corvane
