// Corvane: watches the machine's public address and reports its changes.

#include "app/headless.h"
#include "app/lancement.h"
#include "app/lignecommande.h"
#include "detect/detecteip.h"
#include "mail/mailing.h"
#include "platform/consoleplatform.h"
#include "platform/qtplatform.h"
#include "platform/singleinstance.h"
#include "platform/systemclock.h"
#include "publish/publication.h"
#include "ui/console.h"
#include "watch/moteur.h"

#include <QApplication>
#include <QMessageBox>

namespace {

// Said on standard error, and in a box when there is a screen to show it on: a box nobody sees
// would never be closed.
void ditAuDemarrage(const QString& texte)
{
    corvane::printLine(stderr, texte);
    const QString ecran = QGuiApplication::platformName();
    if (ecran != QLatin1String("offscreen") && ecran != QLatin1String("minimal")) {
        QMessageBox::information(nullptr, corvane::kTitreApplication, texte);
    }
}

int avecFenetre(int argc, char** argv, const QString& configNommee)
{
    QApplication app(argc, argv);
    // A second start while one runs from the same folder ends at once, before it touches any
    // file.
    corvane::SingleInstance instance(QCoreApplication::applicationDirPath());
    const bool seul = instance.acquire();
    if (!instance.warning().isEmpty()) {
        corvane::printLine(stderr, instance.warning());
    }
    if (!seul) {
        ditAuDemarrage(instance.refusal());
        return 0;
    }
    corvane::Emplacements lieux;
    if (const QString raison = corvane::placeLeProgramme(configNommee, lieux); !raison.isEmpty()) {
        ditAuDemarrage(QStringLiteral("corvane : ") + raison);
        return 2;
    }

    corvane::QtMessageBoxes boxes;
    corvane::QtSoundPlayer sound;
    corvane::QtLinkOpener links;
    corvane::SystemClock clock;
    corvane::DetecteIP detecteur;
    corvane::Mailing mailing(clock);
    corvane::Publication publication;
    corvane::Moteur moteur(corvane::Platform{&boxes, &sound, &links, &clock}, lieux.config,
                           detecteur, mailing, publication);
    corvane::Console console(moteur, mailing, publication, links);
    boxes.setOwner(&console);
    console.Form_Load();
    corvane::annonceReglagesCrees(moteur, lieux);
    console.show();
    moteur.demarrageAuto();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.05"));

    // Read before any application object: the mode decides whether a display is needed.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    corvane::LigneCommande ligne;
    if (!ligne.analyse(arguments)) {
        corvane::printLine(stderr, QStringLiteral("corvane : ") + ligne.erreur());
        return 2;
    }
    using Mode = corvane::LigneCommande::Mode;
    if (ligne.mode() == Mode::Fenetre) {
        return avecFenetre(argc, argv, ligne.config());
    }
    QCoreApplication app(argc, argv);
    switch (ligne.mode()) {
    case Mode::Aide: {
        const QByteArray aide = ligne.aide().toUtf8();
        std::fwrite(aide.constData(), 1, std::size_t(aide.size()), stdout);
        return 0;
    }
    case Mode::Version:
        corvane::printLine(stdout, QCoreApplication::applicationName() + u' ' +
                                       QCoreApplication::applicationVersion());
        return 0;
    case Mode::Fenetre:
    case Mode::SansFenetre:
    case Mode::Verification:
        break;
    }
    return ligne.mode() == Mode::Verification ? corvane::verificationSeule(ligne.config())
                                              : corvane::surveilleSansFenetre(ligne.config());
}
