// Headless driver of the real windows for the whole-program figures. Each mode prints one JSON
// object on stdout:
//   startup CFG                 time from the launcher's clock (CORVANE_T0_NS, CLOCK_MONOTONIC)
//                               to the main window's first paint, and resident memory then
//   soak URL ANSWER CHECKS [SMTPPORT [FTPHOST FTPUSER FTPPASS]]
//                               CHECKS checks through the cycle's own slots; every 100th one
//                               finds a new address in the file ANSWER that the page serves
//   detect URL RUNS             one detection request, timed RUNS times after a warm-up
//   mail SMTPPORT RUNS [SECURITE USER PASSWORD CAFILE]
//                               one mailing to ten addresses, timed RUNS times after a warm-up;
//                               with TLS and a login when the four settings are given
// The checks wait on the event loop; nothing here changes how the program itself runs.

#include "config/fichierini.h"
#include "detect/detecteip.h"
#include "platform/atomicfile.h"
#include "platform/qtplatform.h"
#include "platform/singleinstance.h"
#include "platform/textcodec.h"
#include "publish/assemblage.h"
#include "support/fakes.h"
#include "ui/console.h"
#include "ui/smtpwindow.h"

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
#include <memory>
#include <unistd.h>

namespace {

using namespace corvane;

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// VmRSS of this process, in KiB.
qint64 residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
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
    // As the program's entry does: the instance lock, the Qt platform layers, the window.
    SingleInstance instance(QFileInfo(cfg).absolutePath());
    if (!instance.acquire()) {
        return fail(QStringLiteral("another instance holds the folder"));
    }
    QtMessageBoxes boxes;
    QtSoundPlayer sound;
    QtLinkOpener links;
    SystemClock clock;
    Console console(Platform{&boxes, &sound, &links, &clock}, cfg);
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
    Soak(Console& console, QString answerFile, int checks)
        : console_(console), answerFile_(std::move(answerFile)), checks_(checks)
    {
        poll_.setInterval(0);
        connect(&poll_, &QTimer::timeout, this, &Soak::poll);
    }

    void begin()
    {
        rssStart_ = residentKiB();
        fdStart_ = openDescriptorsRaw();
        setAnswer(0);
        console_.CommandStart_Click(); // the Start check
        // Only this driver ticks the cycle, so the count of checks is exact.
        console_.Timer1->stop();
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
        if (console_.enCours()) {
            return;
        }
        ++done_;
        if (done_ == 1) {
            rssFirst_ = residentKiB();
            fdAfterFirst_ = openDescriptorsRaw();
        }
        if (done_ == 100) {
            rssWarm_ = residentKiB();
            fdWarm_ = openDescriptorsRaw();
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
        const qint32 avant = console_.compteur();
        for (int i = 0; i < CheckCycle::kIntervalles[0] && !console_.enCours(); ++i) {
            console_.Timer1_Timer();
        }
        if (!console_.enCours()) {
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
            const QString log = console_.log().texte();
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
                      {"rss_end_kib", residentKiB()},
                      {"fd_start", fdStart_.all},
                      {"sock_start", fdStart_.sockets},
                      {"fd_first", fdAfterFirst_.all},
                      {"sock_first", fdAfterFirst_.sockets},
                      {"fd_warm", fdWarm_.all},
                      {"sock_warm", fdWarm_.sockets},
                      {"fd_end", fdEnd.all},
                      {"sock_end", fdEnd.sockets},
                      {"fd_start_targets", QJsonArray::fromStringList(fdStart_.targets)},
                      {"fd_end_targets", QJsonArray::fromStringList(fdEnd.targets)}};
            QCoreApplication::quit();
        });
    }

    Console& console_;
    QString answerFile_;
    int checks_;
    int done_ = 0;
    QTimer poll_;
    QElapsedTimer clock_;
    qint64 rssStart_ = 0, rssFirst_ = 0, rssWarm_ = 0;
    Descriptors fdStart_, fdAfterFirst_, fdWarm_;
};

int soak(QApplication& app, const QStringList& args)
{
    if (args.size() < 3) {
        return fail(QStringLiteral("soak URL ANSWER CHECKS [SMTPPORT [FTPHOST FTPUSER FTPPASS]]"));
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

    test::FakePlatform fakes;
    Console console(fakes.platform(), cfg);
    console.Form_Load();
    console.show();
    Soak s(console, args[1], args[2].toInt());
    QTimer::singleShot(200, &s, &Soak::begin); // after the first paint
    QApplication::exec();
    QJsonObject r = s.result;
    r.insert(QStringLiteral("boxes"), static_cast<int>(fakes.boxes.shown.size()));
    r.insert(QStringLiteral("sounds"), static_cast<int>(fakes.sound.played.size()));
    QJsonArray boxTexts;
    for (const auto& b : fakes.boxes.shown) {
        boxTexts.append(b.kind + QStringLiteral(": ") + b.text);
    }
    r.insert(QStringLiteral("box_texts"), boxTexts);
    print(r);
    (void)app;
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
    test::FakePlatform fakes;
    test::FakeConsole console;
    console.mail = true;
    console.ip = QStringLiteral("198.51.100.7");
    Parametres& p = console.params;
    p.ServeurSmtp = QStringLiteral("127.0.0.1:") + args[0];
    p.MessageDe = QStringLiteral("corvane@example.org");
    p.Sujet = QStringLiteral("Changement IP");
    p.Message = QStringLiteral("Hello, voici ma Nouvelle IP");
    for (std::size_t i = 0; i < p.Adresses.size(); ++i) {
        p.Adresses[i] = QStringLiteral("dest%1@example.org").arg(i + 1);
    }
    if (args.size() >= 6) {
        p.SecuriteSmtp = args[2];
        p.UtilisateurSmtp = args[3];
        p.MotDePasseSmtp = args[4];
        p.CertificatSmtp = args[5];
    }
    SmtpWindow smtp(console, fakes.platform());
    smtp.InitSmtp();
    timeRuns(QStringLiteral("mail_ms"), 1, args[1].toInt(), [&smtp, &console](auto f) {
        const auto before = console.text.count(QStringLiteral("... expe OK"));
        smtp.BoucleSend([f, &console, before] {
            f(console.text.count(QStringLiteral("... expe OK")) - before == 10);
        });
    });
    QTimer::singleShot(600000, qApp, &QCoreApplication::quit);
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
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
        return soak(app, args);
    }
    if (mode == QLatin1String("detect")) {
        return detect(args);
    }
    if (mode == QLatin1String("mail")) {
        return mail(args);
    }
    return fail(QStringLiteral("unknown mode ") + mode);
}
