#include "ui/console.h"

#include <QMenuBar>

namespace corvane {

// The menu line: each window reached from a menu hooks its entry here.
void Console::construitMenus()
{
    menuBar()->setObjectName(QStringLiteral("menuBar"));
    QMenu* m = nullptr;
    const auto menu = [&](const char* nom, const char* legende) {
        m = menuBar()->addMenu(QString::fromLatin1(legende));
        m->setObjectName(QString::fromLatin1(nom));
        return m;
    };
    // triggered() comes from the user only; the check marks show the engine's state.
    const auto action = [&](const char* nom, const char* legende, void (Console::*handler)()) {
        QAction* a = m->addAction(QString::fromLatin1(legende));
        a->setObjectName(QString::fromLatin1(nom));
        a->setCheckable(m != menu_Aide);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    menu_Aide = menu("menu_Aide", "Aide");
    menuAide = action("menuAide", "?", &Console::menuAide_Click);
    menu_about = action("menu_about", "About", &Console::menu_about_Click);
    manAffichage = menu("manAffichage", "Affichage");
    menuReduit = action("menuReduit", "Reduit", &Console::menuReduit_Click);
    menuComplet = action("menuComplet", "Complet", &Console::menuComplet_Click);
    m->addSeparator()->setObjectName(QStringLiteral("separ1"));
    menuTjVisible = action("menuTjVisible", "Toujours visible", &Console::menuTjVisible_Click);
    option = menu("option", "Options");
    menuAudio = action("menuAudio", "Audio IP change", &Console::menuAudio_Click);
    MenuLog = action("MenuLog", "Enregistrer Log", &Console::MenuLog_Click);
    // Latin-1 bytes, as the captions are read
    menuDemarrage =
        action("menuDemarrage", "Surveillance au d\xe9marrage", &Console::menuDemarrage_Click);
    m->addSeparator()->setObjectName(QStringLiteral("separ2"));
    menuDebug = action("menuDebug", "Mode Debug", &Console::menuDebug_Click);
    menuComplet->setChecked(true);
}

} // namespace corvane
