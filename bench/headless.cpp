// Headless driver of the watch engine, its real services and the main window, for the
// whole-program figures. Each mode prints one JSON object on stdout:
//   startup CFG                 time from the launcher's clock (CORVANE_T0_NS, CLOCK_MONOTONIC)
//                               to the main window's first paint, and resident memory then
//   soak [--no-window] URL ANSWER CHECKS [SMTPPORT [FTPHOST FTPUSER FTPPASS]]
//                               CHECKS checks through the engine's own slots; every 100th one
//                               finds a new address in the file ANSWER that the page serves.
//                               The main window is shown (offscreen) and fed unless --no-window
//   detect URL RUNS             one detection request, timed RUNS times after a warm-up
//   mail SMTPPORT RUNS [SECURITE USER PASSWORD CAFILE]
//                               one mailing to ten addresses, timed RUNS times after a warm-up;
//                               with TLS and a login when the four settings are given
// The checks wait on the event loop; nothing here changes how the program itself runs.

#include "config/fichierini.h"
#include "detect/detecteip.h"
#include "mail/mailing.h"
#include "platform/atomicfile.h"
#include "platform/memoire.h"
#include "platform/qtplatform.h"
#include "platform/singleinstance.h"
#include "platform/systemclock.h"
#include "platform/textcodec.h"
#include "publish/assemblage.h"
#include "publish/publication.h"
#include "reseau/differe.h"
#include "support/fakes.h"
#include "ui/console.h"
#include "watch/moteur.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <malloc.h>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

using namespace corvane;

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// A field of /proc/self/status in KiB ("VmRSS", "RssAnon", "RssFile").
qint64 statusKiB(const QByteArray& field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray key = field + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

qint64 residentKiB()
{
    return statusKiB("VmRSS");
}

// Resident memory split into the heap and other anonymous pages, and the pages of mapped
// files (the libraries' code and data): which of the two grows says what grew.
QJsonObject resident()
{
    return {{"rss", residentKiB()}, {"anon", statusKiB("RssAnon")}, {"file", statusKiB("RssFile")}};
}

// The same once malloc has handed its free pages back to the system: what the heap kept
// without using it. A diagnostic of the figure only; the program never trims.
QJsonObject trimmed()
{
    malloc_trim(0);
    return resident();
}

// The names of this process's threads (Qt names each QThread after its object).
QStringList threadNames()
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& id : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(id + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly)) {
            names.append(QString::fromLocal8Bit(comm.readAll().trimmed()));
        }
    }
    return names;
}

struct Descriptors {
    int all = 0;
    int sockets = 0;
    QStringList targets;
};

// Reads each link itself: a socket's target "socket:[n]" is no path.
Descriptors openDescriptorsRaw()
{
    Descriptors d;
    const QDir fd(QStringLiteral("/proc/self/fd"));
    for (const QString& name :
         fd.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[256] = {};
        const QByteArray path = fd.filePath(name).toLocal8Bit();
        const ssize_t n = readlink(path.constData(), target, sizeof target - 1);
        if (n < 0) {
            continue; // the descriptor QDir itself used, already closed
        }
        ++d.all;
        d.targets.append(QString::fromLocal8Bit(target));
        if (qstrncmp(target, "socket:", 7) == 0) {
            ++d.sockets;
        }
    }
    return d;
}

void print(const QJsonObject& o)
{
    std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int fail(const QString& why)
{
    std::fprintf(stderr, "corvane_headless: %s\n", qPrintable(why));
    return 2;
}

QByteArray configFile(const QList<std::pair<QString, QString>>& keys)
{
    // Grouped by section, in the order given.
    QString text;
    QString section;
    for (const auto& [sk, value] : keys) {
        const QString s = sk.section(QLatin1Char('/'), 0, 0);
        const QString k = sk.section(QLatin1Char('/'), 1);
        if (s != section) {
            section = s;
            text += QLatin1Char('[') + s + QStringLiteral("]\r\n");
        }
        text += k + QLatin1Char('=') + value + QStringLiteral("\r\n");
    }
    return toAnsi(text);
}

// ---------------------------------------------------------------------------------------------

int startup(QApplication& app, const QString& cfg)
{
    const qint64 t0 = qEnvironmentVariable("CORVANE_T0_NS").toLongLong();
    // As the program's entry does: the instance lock, the Qt platform layers, the engine and
    // its services, the window.
    SingleInstance instance(QFileInfo(cfg).absolutePath());
    if (!instance.acquire()) {
        return fail(QStringLiteral("another instance holds the folder"));
    }
    QtMessageBoxes boxes;
    QtSoundPlayer sound;
    QtLinkOpener links;
    SystemClock clock;
    DetecteurDiffere detecteur;
    Mailing mailing(clock);
    Publication publication;
    Moteur moteur(Platform{&boxes, &sound, &links, &clock}, cfg, detecteur, mailing, publication);
    Console console(moteur, mailing, publication, links);
    boxes.setOwner(&console);
    const qint64 built = monotonicNs();

    struct FirstPaint : QObject {
        qint64 at = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint && at == 0) {
                at = monotonicNs();
                QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            }
            return false;
        }
    } firstPaint;
    console.installEventFilter(&firstPaint);
    console.Form_Load();
    console.show();
    moteur.demarrageAuto();
    QTimer::singleShot(10000, &app, &QCoreApplication::quit); // bounded: no paint is a failure
    QApplication::exec();
    if (firstPaint.at == 0) {
        return fail(QStringLiteral("the main window was never painted"));
    }
    print({{"startup_ms", t0 > 0 ? double(firstPaint.at - t0) / 1e6 : -1.0},
           {"construct_ms", t0 > 0 ? double(built - t0) / 1e6 : -1.0},
           {"rss_kib", residentKiB()}});
    // Closing the window would ask the exit question on a real, unanswerable box: the
    // figures are out, so leave without tearing down.
    std::_Exit(0);
}

// ---------------------------------------------------------------------------------------------

class Soak : public QObject {
public:
    Soak(Moteur& moteur, QString answerFile, int checks)
        : moteur_(moteur), answerFile_(std::move(answerFile)), checks_(checks)
    {
        poll_.setInterval(0);
        connect(&poll_, &QTimer::timeout, this, &Soak::poll);
    }

    void begin()
    {
        rssStart_ = residentKiB();
        splitStart_ = resident();
        threadsStart_ = threadNames();
        fdStart_ = openDescriptorsRaw();
        setAnswer(0);
        moteur_.CommandStart_Click(); // the Start check
        // Only this driver ticks the cycle, so the count of checks is exact.
        if (auto* timer = moteur_.findChild<QTimer*>(QStringLiteral("Timer1"))) {
            timer->stop();
        } else {
            result = {{"error", QStringLiteral("the engine's Timer1 was not found")}};
            QCoreApplication::quit();
            return;
        }
        clock_.start();
        poll_.start();
    }

    QJsonObject result;

private:
    void setAnswer(int change)
    {
        writeFileAtomically(answerFile_, QStringLiteral("198.51.%1.%2")
                                             .arg(100 + change / 250)
                                             .arg(change % 250 + 1)
                                             .toLatin1());
    }

    void poll()
    {
        if (moteur_.enCours()) {
            return;
        }
        ++done_;
        if (done_ == 1) {
            rssFirst_ = residentKiB();
            splitFirst_ = resident();
            fdFirst_ = openDescriptorsRaw();
        }
        if (done_ == 100) {
            rssWarm_ = residentKiB();
            fdWarm_ = openDescriptorsRaw();
        }
        if (done_ == checks_ / 2 + 1) {
            rssMiddle_ = residentKiB();
            fdMiddle_ = openDescriptorsRaw();
        }
        if (done_ % 100 == 1) { // just after each change's check
            rssCurve_.append(residentKiB());
        }
        if (done_ > checks_) { // the Start check plus checks_ timed ones
            poll_.stop();
            finish();
            return;
        }
        if (done_ % 100 == 0) {
            setAnswer(done_ / 100);
        }
        // One interval of "2'": the check comes due on its last tick.
        const qint32 avant = moteur_.compteur();
        for (int i = 0; i < CheckCycle::kIntervalles[0] && !moteur_.enCours(); ++i) {
            moteur_.Timer1_Timer();
        }
        if (!moteur_.enCours()) {
            poll_.stop();
            result = {{"error", QStringLiteral("no check came due (counter %1)").arg(avant)}};
            QCoreApplication::quit();
        }
    }

    void finish()
    {
        const double secs = double(clock_.nsecsElapsed()) / 1e9;
        // Let closed sockets and finished uploads be reaped before counting.
        QTimer::singleShot(500, this, [this, secs] {
            const Descriptors fdEnd = openDescriptorsRaw();
            const QString log = moteur_.log().texte();
            result = {{"checks", checks_},
                      {"seconds", secs},
                      {"changes", log.count(QStringLiteral("\nChangement IP\r\n"))},
                      {"mail_reports", log.count(QStringLiteral("... expe OK"))},
                      {"mail_errors", log.count(QStringLiteral("... expe ERREUR"))},
                      {"uploads_ok", log.count(QStringLiteral("Transfert : OK"))},
                      {"log_chars", log.size()},
                      {"rss_start_kib", rssStart_},
                      {"rss_first_kib", rssFirst_},
                      {"rss_warm_kib", rssWarm_},
                      {"rss_middle_kib", rssMiddle_},
                      {"rss_end_kib", residentKiB()},
                      {"rss_after_each_change_kib", rssCurve_},
                      {"split_start_kib", splitStart_},
                      {"split_first_kib", splitFirst_},
                      {"split_end_kib", resident()},
                      {"split_end_trimmed_kib", trimmed()},
                      {"fd_start", fdStart_.all},
                      {"sock_start", fdStart_.sockets},
                      {"fd_first", fdFirst_.all},
                      {"sock_first", fdFirst_.sockets},
                      {"fd_warm", fdWarm_.all},
                      {"sock_warm", fdWarm_.sockets},
                      {"fd_middle", fdMiddle_.all},
                      {"sock_middle", fdMiddle_.sockets},
                      {"fd_end", fdEnd.all},
                      {"sock_end", fdEnd.sockets},
                      {"fd_start_targets", QJsonArray::fromStringList(fdStart_.targets)},
                      {"fd_middle_targets", QJsonArray::fromStringList(fdMiddle_.targets)},
                      {"fd_end_targets", QJsonArray::fromStringList(fdEnd.targets)},
                      {"threads_start", QJsonArray::fromStringList(threadsStart_)},
                      {"threads_end", QJsonArray::fromStringList(threadNames())}};
            QCoreApplication::quit();
        });
    }

    Moteur& moteur_;
    QString answerFile_;
    int checks_;
    int done_ = 0;
    QTimer poll_;
    QElapsedTimer clock_;
    qint64 rssStart_ = 0, rssFirst_ = 0, rssWarm_ = 0, rssMiddle_ = 0;
    QJsonArray rssCurve_;
    QJsonObject splitStart_, splitFirst_;
    QStringList threadsStart_;
    Descriptors fdStart_, fdFirst_, fdWarm_, fdMiddle_;
};

int soak(QStringList args)
{
    const bool window = !args.removeAll(QStringLiteral("--no-window"));
    if (args.size() < 3) {
        return fail(QStringLiteral(
            "soak [--no-window] URL ANSWER CHECKS [SMTPPORT [FTPHOST FTPUSER FTPPASS]]"));
    }
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const bool mail = args.size() >= 4;
    const bool upload = args.size() >= 7;
    QList<std::pair<QString, QString>> keys{
        {QStringLiteral("IP/Derniere IP"), QStringLiteral("xxx.xxx.xxx.xxx")},
        {QStringLiteral("ADRESSE HTTP/adresse de IP detect.php"), args[0]},
        {QStringLiteral("OPTION/Sauve Log"), QStringLiteral("1")},
        {QStringLiteral("OPTION/Bip changement IP"), QStringLiteral("1")},
        {QStringLiteral("OPTION/Mail Auto"), mail ? QStringLiteral("1") : QStringLiteral("0")},
        {QStringLiteral("OPTION/Upload fichier"),
         upload ? QStringLiteral("1") : QStringLiteral("0")},
        {QStringLiteral("REGLAGE/Valeur_Bouton_Tempo"), QStringLiteral("0")},
    };
    if (mail) {
        keys.append({QStringLiteral("SMTP/Serveur smtp"), QStringLiteral("127.0.0.1:") + args[3]});
        keys.append({QStringLiteral("SMTP/Message de"), QStringLiteral("corvane@example.org")});
        keys.append({QStringLiteral("SMTP/Sujet"), QStringLiteral("Changement IP")});
        keys.append({QStringLiteral("SMTP/Message"), QStringLiteral("Nouvelle IP")});
        keys.append({QString::fromUtf8("SMTP/Adresse N°1"), QStringLiteral("owner@example.org")});
    }
    if (upload) {
        keys.append({QStringLiteral("ADRESSE FTP/ftp hebergeur"), args[4]});
        keys.append({QStringLiteral("ADRESSE FTP/Nom de domaine"), args[5]});
        keys.append({QStringLiteral("ADRESSE FTP/Mot de passe"), args[6]});
        keys.append(
            {QString::fromUtf8("ADRESSE FTP/fichier à transferer"), QStringLiteral("date.php")});
        keys.append(
            {QStringLiteral("ADRESSE FTP/emplacement et fichier"), QStringLiteral("/date.php")});
        writeFileAtomically(kFichierGabarit, QByteArray("<html><body>Ma page</body></html>\r\n"));
    }
    const QString cfg = dir.filePath(kNomConfig);
    writeFileAtomically(cfg, configFile(keys));

    // The real services over the local peers; boxes and sounds are recorded, not shown.
    test::FakePlatform fakes;
    QStringList sons;
    fakes.sound.trace.vers = &sons;
    DetecteurDiffere detecteur;
    Mailing mailing(fakes.clock);
    Publication publication;
    Moteur moteur(fakes.platform(), cfg, detecteur, mailing, publication);
    std::optional<Console> console;
    if (window) {
        console.emplace(moteur, mailing, publication, fakes.links);
        console->Form_Load();
        console->show();
    } else {
        moteur.Form_Load();
    }
    Soak s(moteur, args[1], args[2].toInt());
    QTimer::singleShot(200, &s, &Soak::begin); // after the first paint
    QApplication::exec();
    QJsonObject r = s.result;
    r.insert(QStringLiteral("window"), window);
    // The two texts kept for the whole run: the SMTP dialogue log is bounded, the console log
    // is not.
    r.insert(QStringLiteral("mail_log_chars"), mailing.texteLog().size());
    r.insert(QStringLiteral("boxes"), static_cast<int>(fakes.boxes.shown.size()));
    r.insert(QStringLiteral("sounds"), static_cast<int>(sons.size()));
    QJsonArray boxTexts;
    for (const auto& b : fakes.boxes.shown) {
        boxTexts.append(b.kind + QStringLiteral(": ") + b.text);
    }
    r.insert(QStringLiteral("box_texts"), boxTexts);
    print(r);
    return r.contains(QStringLiteral("error")) ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------

// Runs `one` (which calls its argument when done) warm + runs times in a row, from the event
// loop, and prints the timed runs in milliseconds.
void timeRuns(const QString& name, int warm, int runs,
              std::function<void(std::function<void(bool)>)> one)
{
    auto times = std::make_shared<QJsonArray>();
    auto failures = std::make_shared<int>(0);
    auto n = std::make_shared<int>(0);
    auto clock = std::make_shared<QElapsedTimer>();
    auto next = std::make_shared<std::function<void()>>();
    *next = [=] {
        if (*n == warm + runs) {
            print({{name, *times}, {"failures", *failures}});
            QCoreApplication::quit();
            return;
        }
        clock->start();
        one([=](bool ok) {
            const double ms = double(clock->nsecsElapsed()) / 1e6;
            if (!ok) {
                ++*failures;
            }
            if ((*n)++ >= warm) {
                times->append(ms);
            }
            QTimer::singleShot(0, qApp, [next] { (*next)(); });
        });
    };
    QTimer::singleShot(0, qApp, [next] { (*next)(); });
}

int detect(const QStringList& args)
{
    if (args.size() < 2) {
        return fail(QStringLiteral("detect URL RUNS"));
    }
    DetecteIP d;
    auto done = std::make_shared<std::function<void(bool)>>();
    QObject::connect(&d, &DetecteIP::termine, &d, [done](const ResultatDetection& r) {
        auto f = std::move(*done);
        f(r.ok);
    });
    timeRuns(QStringLiteral("detect_ms"), 5, args[1].toInt(), [&d, done, url = args[0]](auto f) {
        *done = std::move(f);
        d.demarre(url);
    });
    QTimer::singleShot(600000, qApp, &QCoreApplication::quit);
    return QApplication::exec();
}

int mail(const QStringList& args)
{
    if (args.size() < 2) {
        return fail(QStringLiteral("mail SMTPPORT RUNS [SECURITE USER PASSWORD CAFILE]"));
    }
    ReglagesMail r;
    r.serveur = QStringLiteral("127.0.0.1:") + args[0];
    r.messageDe = QStringLiteral("corvane@example.org");
    r.sujet = QStringLiteral("Changement IP");
    for (std::size_t i = 0; i < r.adresses.size(); ++i) {
        r.adresses[i] = QStringLiteral("dest%1@example.org").arg(i + 1);
    }
    if (args.size() >= 6) {
        r.securite = args[2];
        r.utilisateur = args[3];
        r.motDePasse = args[4];
        r.certificat = args[5];
    }
    test::FakeClock clock;
    Mailing mailing(clock);
    mailing.InitSmtp(r);
    auto done = std::make_shared<std::function<void(bool)>>();
    QObject::connect(&mailing, &ServiceMail::termine, &mailing, [done](const QString& rapport) {
        auto f = std::move(*done);
        f(rapport.count(QStringLiteral("... expe OK")) == 10);
    });
    timeRuns(QStringLiteral("mail_ms"), 1, args[1].toInt(), [&mailing, done](auto f) {
        *done = std::move(f);
        mailing.BoucleSend(QStringLiteral("Hello, voici ma Nouvelle IP"),
                           QStringLiteral("198.51.100.7"));
    });
    QTimer::singleShot(600000, qApp, &QCoreApplication::quit);
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    corvane::uneSeuleArene(); // as the program's own main does
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        return fail(QStringLiteral("mode: startup | soak | detect | mail"));
    }
    const QString mode = args.takeFirst();
    if (mode == QLatin1String("startup") && !args.isEmpty()) {
        return startup(app, args[0]);
    }
    if (mode == QLatin1String("soak")) {
        return soak(args);
    }
    if (mode == QLatin1String("detect")) {
        return detect(args);
    }
    if (mode == QLatin1String("mail")) {
        return mail(args);
    }
    return fail(QStringLiteral("unknown mode ") + mode);
}
