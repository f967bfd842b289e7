// The program with its window: built into the module that main loads for this mode.

#include "app/fenetre.h"

#include "app/lancement.h"
#include "history/historique.h"
#include "mail/mailing.h"
#include "platform/consoleplatform.h"
#include "platform/qtplatform.h"
#include "platform/singleinstance.h"
#include "platform/systemclock.h"
#include "platform/trousseau.h"
#include "publish/publication.h"
#include "reseau/differe.h"
#include "ui/console.h"
#include "ui/langue.h"
#include "watch/moteur.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>

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

// Runs ensuite once, from the event loop, after the widget's first paint has reached the screen
// (the paint and its flush are one step of the loop), or after kAuPlusTard if it is not painted.
void apresPremierePeinture(QWidget& fenetre, std::function<void()> ensuite)
{
    constexpr int kAuPlusTard = 1000; // ms
    class Guet : public QObject {
    public:
        Guet(QWidget& w, std::function<void()> f) : QObject(&w), f_(std::move(f))
        {
            w.installEventFilter(this);
            QTimer::singleShot(kAuPlusTard, this, &Guet::lance);
        }
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Paint) {
                o->removeEventFilter(this);
                QTimer::singleShot(0, this, &Guet::lance);
            }
            return false;
        }

    private:
        void lance()
        {
            if (f_) {
                const auto f = std::move(f_);
                f_ = nullptr;
                f();
                deleteLater();
            }
        }
        std::function<void()> f_;
    };
    new Guet(fenetre, std::move(ensuite));
}

int avecFenetre(int& argc, char** argv, const QString& configNommee)
{
    // While watching, Qt's steady drawing is small: the alarm's two labels once a second (the
    // indicator is filled by the X server). Through X shared memory each paint first waits on a
    // round trip to the server; sent over the connection, it does not (a third less CPU per
    // watched hour while Qt still painted the indicator). A user's own choice stays.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
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

    corvane::installeLangue(lieux.config);
    corvane::QtMessageBoxes boxes;
    corvane::QtSoundPlayer sound;
    corvane::QtLinkOpener links;
    corvane::SystemClock clock;
    corvane::DetecteurDiffere detecteur;
    corvane::Mailing mailing(clock);
    corvane::Publication publication;
    corvane::Moteur moteur(corvane::Platform{&boxes, &sound, &links, &clock}, lieux.config,
                           detecteur, mailing, publication);
    corvane::Historique historique; // beside the log, opened at its first record
    historique.suit(moteur, clock);
    corvane::Console console(moteur, mailing, publication, links);
    boxes.setOwner(&console);
    console.Form_Load();
    corvane::Trousseau trousseau(lieux.config);
    corvane::annonceReglagesCrees(moteur, lieux);
    // A watch started at launch waits for the keyring's passwords, so its first mail has them.
    // The bus is asked only once the window is on screen: connecting to it may start a bus
    // daemon, and a bus that hangs would hold the window back by its whole timeout. Set before
    // show(), which paints at once on some platforms.
    apresPremierePeinture(console, [&] {
        corvane::Trousseau::disponible(&moteur, [&](bool present) {
            if (present) {
                corvane::chargeSecrets(trousseau, moteur, [&moteur] { moteur.demarrageAuto(); });
            } else {
                moteur.demarrageAuto();
            }
        });
    });
    console.show();
    return QApplication::exec();
}

} // namespace

int corvane_fenetre(int* argc, char** argv, const QString* configNommee)
{
    return avecFenetre(*argc, argv, *configNommee);
}
