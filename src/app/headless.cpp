#include "app/headless.h"

#include "app/lancement.h"
#include "app/stopsignals.h"
#include "config/fichierini.h"
#include "history/historique.h"
#include "mail/mailing.h"
#include "platform/consoleplatform.h"
#include "platform/singleinstance.h"
#include "platform/systemclock.h"
#include "publish/publication.h"
#include "reseau/differe.h"
#include "watch/moteur.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <optional>

namespace corvane {
namespace {

constexpr int kStatutEchec = 2;
// At a stop, the longest wait for the check, mailing, upload or DNS update under way: a
// service manager waits 90 s by default before it kills.
constexpr int kDelaiArretMs = 30 * 1000;
// --check waits for its change's actions, which have bounds of their own; this one is only
// there so that no run can hang.
constexpr int kDelaiActionsMs = 150 * 1000;

// The services and the engine the window has, over the console's platform layers.
struct Programme {
    ConsoleMessageBoxes boxes;
    SilentSoundPlayer sound;
    SystemClock clock;
    DetecteurDiffere detecteur;
    Mailing mailing{clock};
    Publication publication;
    Moteur moteur;         // it goes before the services it holds
    Historique historique; // beside the log, opened at its first record

    explicit Programme(const QString& config)
        : moteur(Platform{&boxes, &sound, nullptr, &clock}, config, detecteur, mailing, publication)
    {
        historique.suit(moteur, clock);
    }
};

// The single-instance lock, then where the files are and whether the settings file can be
// used, before anything runs: the exit status when the start ends here.
std::optional<int> refus(SingleInstance& instance, const QString& configNommee, Emplacements& lieux,
                         int statutSiLance)
{
    const bool seul = instance.acquire();
    if (!instance.warning().isEmpty()) {
        printLine(stderr, instance.warning());
    }
    if (!seul) {
        printLine(stderr, instance.refusal());
        return statutSiLance;
    }
    if (const QString raison = placeLeProgramme(configNommee, lieux); !raison.isEmpty()) {
        printLine(stderr, QStringLiteral("corvane : ") + raison);
        return kStatutEchec;
    }
    // The window starts from empty settings and says so in a box someone reads; unattended,
    // that would run on settings nobody chose.
    QString probleme;
    // ChargeConfig logs the reason too: said once, in the refusal's one line.
    const QtMessageHandler avant =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    ChargeConfig(lieux.config, &probleme);
    qInstallMessageHandler(avant);
    if (!probleme.isEmpty()) {
        printLine(stderr, QStringLiteral("corvane : r\u00e9glages %1 inutilisables : %2")
                              .arg(QDir::toNativeSeparators(lieux.config), probleme));
        return kStatutEchec;
    }
    return std::nullopt;
}

// The log's text as it grows, its CR LF line ends as the terminal's.
void ecritSortie(const QString& texte)
{
    const QByteArray octets =
        QString(texte).replace(QLatin1String("\r\n"), QLatin1String("\n")).toUtf8();
    std::fwrite(octets.constData(), 1, std::size_t(octets.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int surveilleSansFenetre(const QString& configNommee)
{
    SingleInstance instance(QCoreApplication::applicationDirPath());
    Emplacements lieux;
    // A second start is no failure: a service manager must not start it again and again.
    if (const std::optional<int> fin = refus(instance, configNommee, lieux, 0)) {
        return *fin;
    }
    StopSignals signaux;
    if (!signaux.ok()) {
        printLine(stderr, QStringLiteral("corvane : arr\u00eat par signal impossible : ") +
                              signaux.error());
        return kStatutEchec;
    }
    Programme p(lieux.config);
    Moteur& m = p.moteur;
    QObject::connect(&m, &Moteur::texteAjoute, &m, &ecritSortie);
    m.Form_Load();
    annonceReglagesCrees(m, lieux);
    m.setSansFenetre(true);
    m.CommandStart_Click();

    // At a stop no check follows the one under way, which ends with its change's actions;
    // the settings are saved once those have reported, or once the bound has passed.
    QTimer borne;
    borne.setSingleShot(true);
    borne.setInterval(kDelaiArretMs);
    const auto abandonne = [&m] {
        printLine(stderr, QStringLiteral("corvane : l'action en cours n'a pas fini en %1 s, "
                                         "abandonn\u00e9e")
                              .arg(kDelaiArretMs / 1000));
        m.quitteSansQuestion();
    };
    const auto finitSiLibre = [&m, &borne] {
        if (borne.isActive() && !m.actionEnCours()) {
            borne.stop();
            m.quitteSansQuestion();
        }
    };
    QObject::connect(&borne, &QTimer::timeout, &m, abandonne);
    QObject::connect(&m, &Moteur::verificationFinie, &m, finitSiLibre, Qt::QueuedConnection);
    QObject::connect(&m, &Moteur::changementTermine, &m, finitSiLibre, Qt::QueuedConnection);
    QObject::connect(&signaux, &StopSignals::received, &m, [&](int) {
        if (borne.isActive()) { // asked twice: the user does not want to wait
            borne.stop();
            abandonne();
            return;
        }
        if (m.enMarche()) {
            m.CommandStart_Click();
        }
        borne.start();
        finitSiLibre();
    });
    return QCoreApplication::exec();
}

int verificationSeule(const QString& configNommee)
{
    SingleInstance instance(QCoreApplication::applicationDirPath());
    Emplacements lieux;
    // Two runs acting on the same change would mail twice and race to save.
    if (const std::optional<int> fin = refus(instance, configNommee, lieux, kStatutEchec)) {
        return *fin;
    }
    Programme p(lieux.config);
    Moteur& m = p.moteur;
    m.Form_Load();
    if (const QString annonce = annonceReglagesCrees(m, lieux); !annonce.isEmpty()) {
        printLine(stderr, annonce); // standard output is the address alone
    }

    int statut = kStatutEchec;
    QString raison;
    QTimer borne;
    borne.setSingleShot(true);
    borne.setInterval(kDelaiActionsMs);
    const auto finitSiLibre = [&m, &borne] {
        if (borne.isActive() && !m.actionEnCours()) {
            borne.stop();
            m.quitteSansQuestion(); // the new address saved
        }
    };
    QObject::connect(&borne, &QTimer::timeout, &m, [&m] {
        printLine(stderr, QStringLiteral("corvane : les actions du changement n'ont pas fini"));
        m.quitteSansQuestion();
    });
    QObject::connect(&m, &Moteur::detectionEchouee, &m,
                     [&raison](const QString& r) { raison = r; });
    QObject::connect(&m, &Moteur::changementTermine, &m, finitSiLibre, Qt::QueuedConnection);
    QObject::connect(
        &m, &Moteur::verificationFinie, &m,
        [&](IssueVerification issue) {
            if (issue == IssueVerification::Echec) {
                printLine(stderr,
                          QStringLiteral("corvane : d\u00e9tection impossible : ") + raison);
                QCoreApplication::quit();
                return;
            }
            printLine(stdout, m.adresse());
            if (issue == IssueVerification::Inchangee) {
                statut = 0;
                QCoreApplication::quit();
                return;
            }
            statut = 1;
            borne.start();
            finitSiLibre();
        },
        Qt::QueuedConnection);
    m.verifieUneFois();
    QCoreApplication::exec();
    return statut;
}

} // namespace corvane
