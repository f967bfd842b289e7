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
            return QStringLiteral("OK");
        case Issue::EnCours:
            return QStringLiteral("toujours en cours");
        case Issue::Echec:
            break;
        }
        return raison.isEmpty() ? QStringLiteral("\u00e9chec")
                                : QStringLiteral("\u00e9chec, ") + raison;
    };
    const QString mails = b.mails == Issue::Ok ? QStringLiteral("tous envoy\u00e9s")
                          : b.mails == Issue::Echec
                              ? QStringLiteral("%1 refus\u00e9(s)").arg(b.mailsRefuses)
                              : issue(b.mails, {}, QStringLiteral("d\u00e9sactiv\u00e9s"));
    return QStringLiteral("%1 \u2192 %2\nMails : %3\nUpload : %4\nDNS : %5")
        .arg(b.ancienne, b.nouvelle, mails,
             issue(b.upload, b.raisonUpload, QStringLiteral("d\u00e9sactiv\u00e9")),
             issue(b.dns, b.raisonDns, QStringLiteral("d\u00e9sactiv\u00e9")));
}

QAction* entree(QMenu* menu, const char* nom, const QString& legende)
{
    auto* a = new QAction(legende, menu);
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
    console_.installEventFilter(this);

    // A notification may be clicked long after it was shown, and after this object is gone.
    const QPointer<Tray> self(this);
    if (!notifier_) {
        return;
    }
    connect(&moteur_, &Moteur::changementTermine, this, [this, self](const BilanChangement& b) {
        notifier_->notify(QStringLiteral("Changement IP"), texteBilan(b), [self] {
            if (self) {
                self->montreFenetre();
                self->moteur_.acquitteAlarme();
            }
        });
    });
    connect(&moteur_, &Moteur::detectionEnEchec, this, [this, self](const QString& raison) {
        notifier_->notify(QStringLiteral("Erreur d\u00e9tection"), raison, [self] {
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
    menuDns = entree(options, "menuDns", QStringLiteral("Mise \u00e0 jour DNS"));
    // With the check options, before the debug mode; at the end when that changed.
    options->insertAction(options->findChild<QAction*>(QStringLiteral("separ2")), menuDns);
    connect(menuDns, &QAction::triggered, &moteur_, &Moteur::setDns);

    options->addSeparator()->setObjectName(QStringLiteral("separIcone"));
    menuFermerVersIcone = entree(options, "menuFermerVersIcone",
                                 QStringLiteral("Fermer dans la zone de notification"));
    options->addAction(menuFermerVersIcone);
    connect(menuFermerVersIcone, &QAction::triggered, &moteur_, &Moteur::setFermerVersIcone);
    connect(&moteur_, &Moteur::optionsChangees, this, [this](const Reglages& r) {
        menuDns->setChecked(r.miseAJourDns);
        menuFermerVersIcone->setChecked(r.fermerVersIcone);
    });

    menuAutostart =
        entree(options, "menuAutostart", QStringLiteral("Lancer \u00e0 l'ouverture de session"));
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
    const auto action = [this](const char* nom, const QString& legende) {
        QAction* a = menuIcone->addAction(legende);
        a->setObjectName(QString::fromLatin1(nom));
        return a;
    };
    iconeStart = action("iconeStart", QStringLiteral("Start"));
    connect(iconeStart, &QAction::triggered, &moteur_, &Moteur::CommandStart_Click);
    iconeFenetre = action("iconeFenetre", QStringLiteral("Afficher la fen\u00eatre"));
    connect(iconeFenetre, &QAction::triggered, this, &Tray::basculeFenetre);
    iconeAcquitte = action("iconeAcquitte", QStringLiteral("Acquitter l'alarme"));
    connect(iconeAcquitte, &QAction::triggered, &moteur_, &Moteur::acquitteAlarme);
    menuIcone->addSeparator();
    iconeQuitter = action("iconeQuitter", QStringLiteral("Quitter"));
    connect(iconeQuitter, &QAction::triggered, this, &Tray::quitte);
    connect(menuIcone, &QMenu::aboutToShow, this, [this] {
        iconeFenetre->setText(console_.isVisible() && !console_.isMinimized()
                                  ? QStringLiteral("Masquer la fen\u00eatre")
                                  : QStringLiteral("Afficher la fen\u00eatre"));
    });
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

void Tray::montreEtat()
{
    const Etat etat = moteur_.alarme() ? Alarme : moteur_.enMarche() ? Surveillance : Arrete;
    QString texte = etat == Arrete         ? QStringLiteral("Corvane : arr\u00eat\u00e9")
                    : etat == Surveillance ? QStringLiteral("Corvane : surveillance")
                                           : QStringLiteral("Corvane : l'adresse a chang\u00e9");
    if (etat != Arrete && !moteur_.adresse().isEmpty()) {
        texte += QStringLiteral("\nIP : ") + moteur_.adresse();
    }
    icone_->setIcon(images_[etat]);
    icone_->setToolTip(texte);
    iconeStart->setText(moteur_.enMarche() ? QStringLiteral("Stop") : QStringLiteral("Start"));
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
        auto* box =
            new QMessageBox(QMessageBox::Warning, kTitreApplication,
                            QStringLiteral("Lancer \u00e0 l'ouverture de session : ") + r.raison,
                            QMessageBox::Ok, &console_);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setTextFormat(Qt::PlainText);
        box->setWindowModality(Qt::NonModal);
        box->show();
    }
}

} // namespace corvane
