#pragma once
// The main window on a real engine and settings file of its own, and every window reachable
// from its menus, opened as the user would.

#include "mail/mailing.h"
#include "publish/publication.h"
#include "support/fakes.h"
#include "ui/console.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>

#include <memory>

namespace corvane::test {

struct Banc {
    // Settings lines (Windows-1252 without accents here) written before anything is read.
    explicit Banc(const QByteArray& reglages = {})
    {
        QFile f(dossier.filePath(QStringLiteral("Corvane.cfg")));
        if (f.open(QIODevice::WriteOnly)) {
            f.write("[OPTION]\r\nMode Debug=0\r\n[REGLAGE]\r\nValeur_Bouton_Tempo=1\r\n" +
                    reglages);
        }
    }

    QString config() const { return dossier.filePath(QStringLiteral("Corvane.cfg")); }

    // Builds the window; the translators must be in place before, as at the program's start.
    Console& console()
    {
        if (!console_) {
            moteur_ = std::make_unique<Moteur>(plateforme.platform(), config(), detecteur, mailing_,
                                               publication_, &dns);
            console_ =
                std::make_unique<Console>(*moteur_, mailing_, publication_, plateforme.links);
            console_->Form_Load();
            console_->show();
        }
        return *console_;
    }
    Moteur& moteur() { return *moteur_; }

    // The top-level window an entry of the menus opens (null when the entry does not exist),
    // or the main window for "Console".
    QWidget* ouvre(const QString& fenetre)
    {
        Console& c = console();
        if (fenetre == QLatin1String("Console")) {
            return &c;
        }
        static const QHash<QString, QString> entrees{
            {QStringLiteral("About"), QStringLiteral("menu_about")},
            {QStringLiteral("Aide"), QStringLiteral("menuAide")},
            {QStringLiteral("smtp"), QStringLiteral("menuDebug")},
            {QStringLiteral("read_file_txt"), QStringLiteral("menuDebug")},
            {QStringLiteral("FenetreParametres"), QStringLiteral("menuParametres")},
            {QStringLiteral("FenetreHistorique"), QStringLiteral("menuHistorique")},
        };
        QWidget* w = trouve(fenetre);
        if (!w || !w->isVisible()) {
            if (auto* a = c.menuBar()->findChild<QAction*>(entrees.value(fenetre))) {
                a->trigger();
            }
            w = trouve(fenetre);
        }
        return w;
    }

    static QWidget* trouve(const QString& nom)
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == nom) {
                return w;
            }
        }
        return nullptr;
    }

    QTemporaryDir dossier;
    FakePlatform plateforme;
    FakeDetecteur detecteur;
    FakeDns dns;

private:
    Mailing mailing_{plateforme.clock};
    Publication publication_;
    std::unique_ptr<Moteur> moteur_;
    std::unique_ptr<Console> console_;
};

inline const QStringList kFenetres{QStringLiteral("Console"),
                                   QStringLiteral("About"),
                                   QStringLiteral("Aide"),
                                   QStringLiteral("smtp"),
                                   QStringLiteral("read_file_txt"),
                                   QStringLiteral("FenetreParametres"),
                                   QStringLiteral("FenetreHistorique")};

} // namespace corvane::test
