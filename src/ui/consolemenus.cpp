#include "ui/console.h"

#include "ui/historiquewindow.h"
#include "ui/langue.h"
#include "ui/parametreswindow.h"

#include <QActionGroup>
#include <QMenuBar>

namespace corvane {
namespace {

// The French caption a menu or an entry was given, translated again at each change of language.
const char* const kLegende = "legende";

} // namespace

// The menu line: each window reached from a menu hooks its entry here. Captions are given
// with QT_TR_NOOP and shown through retraduitMenus().
void Console::construitMenus()
{
    menuBar()->setObjectName(QStringLiteral("menuBar"));
    QMenu* m = nullptr;
    const auto menu = [&](const char* nom, const char* legende) {
        m = menuBar()->addMenu(QString());
        m->setObjectName(QString::fromLatin1(nom));
        m->menuAction()->setProperty(kLegende, QByteArray(legende));
        return m;
    };
    // triggered() comes from the user only; the check marks show the engine's state.
    const auto action = [&](const char* nom, const char* legende, void (Console::*handler)()) {
        QAction* a = m->addAction(QString());
        a->setObjectName(QString::fromLatin1(nom));
        a->setProperty(kLegende, QByteArray(legende));
        a->setCheckable(m != menu_Aide);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    menu_Aide = menu("menu_Aide", QT_TR_NOOP("Aide"));
    menuAide = action("menuAide", "?", &Console::menuAide_Click);
    menu_about = action("menu_about", QT_TR_NOOP("About"), &Console::menu_about_Click);
    manAffichage = menu("manAffichage", QT_TR_NOOP("Affichage"));
    menuReduit = action("menuReduit", QT_TR_NOOP("Reduit"), &Console::menuReduit_Click);
    menuComplet = action("menuComplet", QT_TR_NOOP("Complet"), &Console::menuComplet_Click);
    m->addSeparator()->setObjectName(QStringLiteral("separ1"));
    menuTjVisible =
        action("menuTjVisible", QT_TR_NOOP("Toujours visible"), &Console::menuTjVisible_Click);
    m->addSeparator();
    menuHistorique =
        action("menuHistorique", QT_TR_NOOP("Historique"), &Console::menuHistorique_Click);
    menuHistorique->setCheckable(false);
    option = menu("option", QT_TR_NOOP("Options"));
    menuAudio = action("menuAudio", QT_TR_NOOP("Audio IP change"), &Console::menuAudio_Click);
    MenuLog = action("MenuLog", QT_TR_NOOP("Enregistrer Log"), &Console::MenuLog_Click);
    menuDemarrage = action("menuDemarrage", QT_TR_NOOP("Surveillance au démarrage"),
                           &Console::menuDemarrage_Click);
    m->addSeparator()->setObjectName(QStringLiteral("separ2"));
    menuDebug = action("menuDebug", QT_TR_NOOP("Mode Debug"), &Console::menuDebug_Click);
    m->addSeparator();
    menuParametres =
        action("menuParametres", QT_TR_NOOP("Paramètres..."), &Console::menuParametres_Click);
    menuParametres->setCheckable(false);
    menuComplet->setChecked(true);

    // The interface's language: automatic (the system's), or one named. Kept with the other
    // settings, written at the exit.
    m->addSeparator();
    menuLangue = m->addMenu(QString());
    menuLangue->setObjectName(QStringLiteral("menuLangue"));
    menuLangue->menuAction()->setProperty(kLegende, QByteArray(QT_TR_NOOP("Langue")));
    auto* langues = new QActionGroup(menuLangue);
    const auto langue = [&](const char* nom, const QString& choix) {
        QAction* a = menuLangue->addAction(QString());
        a->setObjectName(QString::fromLatin1(nom));
        a->setCheckable(true);
        langues->addAction(a);
        connect(a, &QAction::triggered, this, [this, choix] { choisitLangue(choix); });
        return a;
    };
    menuLangueAuto = langue("menuLangueAuto", kLangueAuto);
    menuLangueAuto->setProperty(kLegende, QByteArray(QT_TR_NOOP("Automatique")));
    // Each language named in itself, so that a user lost in the other one finds his own.
    menuLangueFr = langue("menuLangueFr", kLangueFrancais);
    menuLangueFr->setText(QStringLiteral("Fran\u00e7ais"));
    menuLangueEn = langue("menuLangueEn", kLangueAnglais);
    menuLangueEn->setText(QStringLiteral("English"));
}

void Console::menuHistorique_Click()
{
    QWidget* w = fenetre(historique_,
                         [this] { return new FenetreHistorique(kNomHistorique, &moteur_, this); });
    w->show();
    w->raise();
    w->activateWindow();
}

void Console::menuParametres_Click()
{
    QWidget* w = fenetre(parametres_, [this] { return new FenetreParametres(moteur_, this); });
    w->show();
    w->raise();
    w->activateWindow();
}

void Console::retraduitMenus()
{
    for (QAction* a : menuBar()->findChildren<QAction*>()) {
        if (const QVariant legende = a->property(kLegende); legende.isValid()) {
            a->setText(tr(legende.toByteArray().constData()));
        }
    }
}

} // namespace corvane
