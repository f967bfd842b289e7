#include "ui/tray.h"

#include "platform/autostart.h"
#include "platform/notifications.h"
#include "ui/console.h"
#include "watch/moteur.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QSystemTrayIcon>

namespace corvane {
namespace {

// Stopped: the program's picture in greys; watching: as it is; alarm: in reds (red and blue
// swapped), seen at a glance even at the tray's size.
std::array<QIcon, 3> images()
{
    const QImage base =
        QImage(QStringLiteral(":/pictures/corvane.png")).convertToFormat(QImage::Format_ARGB32);
    QImage gris = base;
    for (int y = 0; y < gris.height(); ++y) {
        for (int x = 0; x < gris.width(); ++x) {
            const QRgb p = gris.pixel(x, y);
            const int g = qGray(p);
            gris.setPixel(x, y, qRgba(g, g, g, qAlpha(p)));
        }
    }
    return {QIcon(QPixmap::fromImage(gris)), QIcon(QPixmap::fromImage(base)),
            QIcon(QPixmap::fromImage(base.rgbSwapped()))};
}

// The notification of a change.
QString texteBilan(const BilanChangement& b)
{
    using Issue = BilanChangement::Issue;
    const auto issue = [](Issue i, const QString& raison, const QString& desactive) {
        switch (i) {
        case Issue::Desactive:
            return desactive;
        case Issue::Ok:
            return Tray::tr("OK");
        case Issue::EnCours:
            return Tray::tr("toujours en cours");
        case Issue::Echec:
            break;
        }
        return raison.isEmpty() ? Tray::tr("échec") : Tray::tr("échec, %1").arg(raison);
    };
    const QString mails = b.mails == Issue::Ok      ? Tray::tr("tous envoyés")
                          : b.mails == Issue::Echec ? Tray::tr("%1 refusé(s)").arg(b.mailsRefuses)
                                                    : issue(b.mails, {}, Tray::tr("désactivés"));
    return Tray::tr("%1 → %2\nMails : %3\nUpload : %4\nDNS : %5")
        .arg(b.ancienne, b.nouvelle, mails, issue(b.upload, b.raisonUpload, Tray::tr("désactivé")),
             issue(b.dns, b.raisonDns, Tray::tr("désactivé")));
}

QAction* entree(QMenu* menu, const char* nom)
{
    auto* a = new QAction(menu);
    a->setObjectName(QString::fromLatin1(nom));
    a->setCheckable(true);
    return a;
}

} // namespace

Tray::Tray(Console& console, Moteur& moteur, Notifier* notifier)
    : QObject(&console), console_(console), moteur_(moteur), notifier_(notifier)
{
    setObjectName(QStringLiteral("tray"));
    // Without a screen there is no desktop to notify, nor a window to bring back by a click.
    const QString ecran = QGuiApplication::platformName();
    if (!notifier_ && ecran != QLatin1String("offscreen") && ecran != QLatin1String("minimal")) {
        notifierPropre_ =
            std::make_unique<DBusNotifier>(QStringLiteral("Corvane"), QStringLiteral("corvane"));
        notifier_ = notifierPropre_.get();
    }
    ajouteOptions();
    creeIcone();
    retraduit();
    console_.installEventFilter(this);

    // A notification may be clicked long after it was shown, and after this object is gone.
    const QPointer<Tray> self(this);
    if (!notifier_) {
        return;
    }
    connect(&moteur_, &Moteur::changementTermine, this, [this, self](const BilanChangement& b) {
        notifier_->notify(tr("Changement IP"), texteBilan(b), [self] {
            if (self) {
                self->montreFenetre();
                self->moteur_.acquitteAlarme();
            }
        });
    });
    connect(&moteur_, &Moteur::detectionEnEchec, this, [this, self](const QString& raison) {
        notifier_->notify(tr("Erreur détection"), raison, [self] {
            if (self) {
                self->montreFenetre();
            }
        });
    });
}

Tray::~Tray() = default;

void Tray::ajouteOptions()
{
    QMenu* options = console_.option;
    menuDns = entree(options, "menuDns");
    // With the check options, before the debug mode; at the end when that changed.
    options->insertAction(options->findChild<QAction*>(QStringLiteral("separ2")), menuDns);
    connect(menuDns, &QAction::triggered, &moteur_, &Moteur::setDns);

    options->addSeparator()->setObjectName(QStringLiteral("separIcone"));
    menuFermerVersIcone = entree(options, "menuFermerVersIcone");
    options->addAction(menuFermerVersIcone);
    connect(menuFermerVersIcone, &QAction::triggered, &moteur_, &Moteur::setFermerVersIcone);
    connect(&moteur_, &Moteur::optionsChangees, this, [this](const Reglages& r) {
        menuDns->setChecked(r.miseAJourDns);
        menuFermerVersIcone->setChecked(r.fermerVersIcone);
    });

    menuAutostart = entree(options, "menuAutostart");
    options->addAction(menuAutostart);
    connect(menuAutostart, &QAction::triggered, this, &Tray::autostart);
    // The desktop's own settings may turn the entry off while the program runs.
    menuAutostart->setChecked(autostartActif());
    connect(options, &QMenu::aboutToShow, this,
            [this] { menuAutostart->setChecked(autostartActif()); });
}

void Tray::creeIcone()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        menuFermerVersIcone->setEnabled(false); // nowhere to close to
        return;
    }
    images_ = images();
    icone_ = new QSystemTrayIcon(this);
    icone_->setObjectName(QStringLiteral("icone"));

    menuIcone = new QMenu(&console_);
    menuIcone->setObjectName(QStringLiteral("menuIcone"));
    const auto action = [this](const char* nom) {
        QAction* a = menuIcone->addAction(QString());
        a->setObjectName(QString::fromLatin1(nom));
        return a;
    };
    iconeStart = action("iconeStart");
    connect(iconeStart, &QAction::triggered, &moteur_, &Moteur::CommandStart_Click);
    iconeFenetre = action("iconeFenetre");
    connect(iconeFenetre, &QAction::triggered, this, &Tray::basculeFenetre);
    iconeAcquitte = action("iconeAcquitte");
    connect(iconeAcquitte, &QAction::triggered, &moteur_, &Moteur::acquitteAlarme);
    menuIcone->addSeparator();
    iconeQuitter = action("iconeQuitter");
    connect(iconeQuitter, &QAction::triggered, this, &Tray::quitte);
    connect(menuIcone, &QMenu::aboutToShow, this, &Tray::retraduit);
    icone_->setContextMenu(menuIcone);
    connect(icone_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger) {
            basculeFenetre();
        }
    });

    connect(&moteur_, &Moteur::marcheChangee, this, &Tray::montreEtat);
    connect(&moteur_, &Moteur::alarmeChangee, this, &Tray::montreEtat);
    connect(&moteur_, &Moteur::adresseAffichee, this, &Tray::montreEtat);
    montreEtat();
    icone_->show();
    // A hidden console is no reason to end: only a confirmed exit quits, which it does itself.
    // Otherwise closing an error box while the window is hidden would end the watch.
    QApplication::setQuitOnLastWindowClosed(false);
}

// The captions, in the language installed now.
void Tray::retraduit()
{
    menuDns->setText(tr("Mise à jour DNS"));
    menuFermerVersIcone->setText(tr("Fermer dans la zone de notification"));
    menuAutostart->setText(tr("Lancer à l'ouverture de session"));
    if (!icone_) {
        return;
    }
    iconeFenetre->setText(console_.isVisible() && !console_.isMinimized()
                              ? tr("Masquer la fenêtre")
                              : tr("Afficher la fenêtre"));
    iconeAcquitte->setText(tr("Acquitter l'alarme"));
    iconeQuitter->setText(tr("Quitter"));
    montreEtat();
}

void Tray::montreEtat()
{
    const Etat etat = moteur_.alarme() ? Alarme : moteur_.enMarche() ? Surveillance : Arrete;
    QString texte = etat == Arrete         ? tr("Corvane : arrêté")
                    : etat == Surveillance ? tr("Corvane : surveillance")
                                           : tr("Corvane : l'adresse a changé");
    if (etat != Arrete && !moteur_.adresse().isEmpty()) {
        texte += tr("\nIP : %1").arg(moteur_.adresse());
    }
    icone_->setIcon(images_[etat]);
    icone_->setToolTip(texte);
    iconeStart->setText(moteur_.enMarche() ? tr("Stop") : tr("Start"));
    iconeAcquitte->setEnabled(moteur_.alarme());
}

void Tray::montreFenetre()
{
    if (console_.isMinimized()) {
        console_.showNormal();
    } else {
        console_.show();
    }
    console_.raise();
    console_.activateWindow();
}

void Tray::basculeFenetre()
{
    if (console_.isVisible() && !console_.isMinimized()) {
        console_.hide();
    } else {
        montreFenetre();
    }
}

void Tray::quitte()
{
    quitte_ = true;
    console_.close(); // also when hidden: the question is asked all the same
    quitte_ = false;
}

bool Tray::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &console_ && event->type() == QEvent::LanguageChange) {
        retraduit();
    }
    if (watched == &console_ && event->type() == QEvent::Close && !quitte_ && icone_ &&
        icone_->isVisible() && moteur_.reglages().fermerVersIcone) {
        event->ignore();
        console_.hide();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void Tray::autostart(bool on)
{
    const Resultat r = activeAutostart(on, QCoreApplication::applicationFilePath());
    menuAutostart->setChecked(autostartActif());
    if (!r.ok) {
        // Not modal: the watch goes on while it is open.
        auto* box = new QMessageBox(QMessageBox::Warning, kTitreApplication,
                                    tr("Lancer à l'ouverture de session : %1").arg(r.raison),
                                    QMessageBox::Ok, &console_);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setTextFormat(Qt::PlainText);
        box->setWindowModality(Qt::NonModal);
        box->show();
    }
}

} // namespace corvane
