// The main window's texts, in the language chosen: set at construction and again at each
// change of language.
#include "ui/console.h"

#include "ui/langue.h"
#include "ui/richtextview.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

namespace corvane {

void Console::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        retraduit();
    }
    QMainWindow::changeEvent(event);
}

// Every caption of the window and its menus, in the language installed now.
void Console::retraduit()
{
    Log->setTitle(tr("Journal / Log"));
    text1->setToolTip(tr("LOG (clic for color)"));
    Frame5->setTitle(tr("Fonctions"));
    CheckMail->setText(tr("Mail auto"));
    CheckUpload->setText(tr("Upload fichier"));
    Frame3->setTitle(tr("IP Actuelle"));
    for (QWidget* w : std::initializer_list<QWidget*>{Frame3, LabelHeure, LabelIp}) {
        w->setToolTip(tr("Clic pour acquitter l'alarme clignotante"));
    }
    LabelIp->setAccessibleDescription(tr("Espace ou Échap : acquitter l'alarme clignotante"));
    CommandStart->setText(moteur_.enMarche() ? tr("Stop") : tr("Start"));
    Frame1->setTitle(tr("Tester IP"));
    const std::array<QString, 3> durees{tr("2 minutes"), tr("10 minutes"), tr("1 heure")};
    for (std::size_t i = 0; i < Option1.size(); ++i) {
        Option1[i]->setAccessibleName(durees[i]);
    }
    acquitte->setText(tr("Acquitter l'alarme"));
    retraduitMenus();
    montreLangue();
}

void Console::choisitLangue(const QString& choix)
{
    moteur_.parametres().Langue = choix;
    appliqueLangue(langueEffective(choix, QLocale::system()));
    montreLangue(); // also when the language shown stays the same
}

void Console::montreLangue()
{
    const QString choix = moteur_.parametres().Langue;
    (choix == kLangueFrancais  ? menuLangueFr
     : choix == kLangueAnglais ? menuLangueEn
                               : menuLangueAuto)
        ->setChecked(true);
}

} // namespace corvane
