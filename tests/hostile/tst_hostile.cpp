// Servers that misbehave: a reply of 10 MiB, a reply of NUL and unassigned Windows-1252
// bytes, a reply that comes one byte at a time and never ends, a connection reset at each
// step. Each row checks that the failure is reported where the user looks, that nothing is
// acted on or harmed, that the wait is bounded, and that the next operation against a sane
// server works.

#include "support/fakehttp.h"
#include "support/fakes.h"
#include "support/peers.h"

#include "config/parametres.h"
#include "detect/detecteip.h"
#include "mail/mailing.h"
#include "publish/publication.h"
#include "watch/moteur.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;
using namespace corvane::test;

Q_DECLARE_METATYPE(corvane::test::FakeHttp::Response)

namespace {

constexpr qint64 kDixMio = qint64(10) * 1024 * 1024;
// What every hostile row must finish within, waits of one to two seconds included.
constexpr int kBorneMs = 8000;

QByteArray lire(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

// Bytes of a literal, NULs included.
template <std::size_t N> QByteArray octets(const char (&s)[N])
{
    return QByteArray(s, N - 1);
}

bool ecrire(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A working directory of its own for the files the program writes.
struct Dossier {
    QTemporaryDir dir;
    QString ancien = QDir::currentPath();
    Dossier() { QDir::setCurrent(dir.path()); }
    ~Dossier() { QDir::setCurrent(ancien); }
    QString chemin(const QString& nom) const { return dir.filePath(nom); }
};

bool demarrePair(Peer& pair, const QString& proto, const QByteArray& mode, int etape,
                 const QString& dossier)
{
    return pair.start("/usr/bin/python3",
                      {sourcePath("tests/hostile/pair_hostile.py"), proto, "{port}",
                       QString::fromLatin1(mode), QString::number(etape), dossier});
}

} // namespace

class TestHostile : public QObject {
    Q_OBJECT
private slots:
    void detection_data();
    void detection();
    void smtp_data();
    void smtp();
    void ftp_data();
    void ftp();
};

void TestHostile::detection_data()
{
    QTest::addColumn<FakeHttp::Response>("reponse");
    QTest::newRow("flood 10 MiB") << FakeHttp::Response::flood(kDixMio, "1.2.3.4");
    QTest::newRow("flood 10 MiB, no length, error page")
        << FakeHttp::Response::flood(kDixMio, "<html>", 'y', 500);
    QTest::newRow("NUL and unassigned bytes")
        << FakeHttp::Response::ok(octets("\x00\x81\x8d\x8f\x90\x9d\xff\x00"));
    QTest::newRow("NUL in the head") << FakeHttp::Response::raw(
        octets("HTTP/1.1 2\x00\x81 OK\r\nContent-Length: 7\r\n\r\n1.2.3.4"));
    QTest::newRow("trickle, never done") << FakeHttp::Response::trickle(QByteArray(500, '7'), 20);
    QTest::newRow("reset on accept") << FakeHttp::Response::close();
    QTest::newRow("reset in the status line") << FakeHttp::Response::raw("HTTP/1.1 2");
    QTest::newRow("reset in the head")
        << FakeHttp::Response::raw("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n");
    QTest::newRow("reset in the body")
        << FakeHttp::Response::raw("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n1.2");
}

// The engine over the real detection: a hostile page is a failed check, never a change.
void TestHostile::detection()
{
    QFETCH(FakeHttp::Response, reponse);
    FakeHttp http;
    QVERIFY(http.isListening());
    // Standing, not one-shot: Qt resends a GET once when the connection dies before any
    // answer, and that second try must meet the same server.
    http.setResponse(reponse);

    Dossier d;
    const QString cfg = d.chemin("Corvane.cfg");
    QVERIFY(ecrire(cfg, "[IP]\r\nDerniere IP=1.1.1.1\r\n[OPTION]\r\nSauve Log=1\r\n"
                        "[ADRESSE HTTP]\r\nadresse de IP detect.php=" +
                            http.url().toLatin1() + "\r\n"));
    FakePlatform fp;
    DetecteIP detect;
    detect.setDelai(1000);
    detect.setTailleMax(1024);
    FakeMail mail;
    FakePublication pub;
    QStringList trace;
    pub.trace.vers = mail.trace.vers = &trace;
    Moteur m(fp.platform(), cfg, detect, mail, pub);
    m.Form_Load();

    m.CommandStart_Click();
    QTRY_VERIFY_WITH_TIMEOUT(!m.enCours(), kBorneMs);
    // Reported in the error box, nothing taken from the answer, nothing acted on.
    QCOMPARE(fp.boxes.shown.size(), 1);
    QCOMPARE(fp.boxes.shown[0].channel, "detection");
    // The usual text, then a reason that carries nothing of the answer's raw bytes.
    const QString texte = fp.boxes.shown[0].text;
    QVERIFY(texte.startsWith(kErreurDetection + "\r\n\r\n"));
    QVERIFY(!texte.contains(QChar(0)));
    QCOMPARE(m.adresse(), "1.1.1.1");
    QVERIFY(!m.alarme());
    QVERIFY(trace.isEmpty());
    const QByteArray log = lire(d.chemin("corvane.log"));
    QVERIFY(!log.contains('\0'));
    QVERIFY(log.size() < 4096);

    // The next check, against a sane answer, goes through.
    http.setResponse(FakeHttp::Response::ok("5.6.7.8"));
    fp.boxes.closeAll();
    m.CommandStart_Click(); // Stop
    m.CommandStart_Click(); // Start: checks at once
    QTRY_VERIFY_WITH_TIMEOUT(!m.enCours(), kBorneMs);
    QCOMPARE(m.adresse(), "5.6.7.8");
    QCOMPARE(trace, QStringList{"ecrit 5.6.7.8"});
    QCOMPARE(fp.boxes.shown.size(), 1);
}

void TestHostile::smtp_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<int>("etape");
    // Steps: 0 greeting, 1 HELO, 2 MAIL FROM, 3 RCPT TO, 4 DATA, 5 end of data, 6 QUIT.
    QTest::newRow("flood greeting") << QByteArray("flood") << 0;
    QTest::newRow("flood RCPT") << QByteArray("flood") << 3;
    QTest::newRow("NUL greeting") << QByteArray("nul") << 0;
    QTest::newRow("NUL DATA") << QByteArray("nul") << 4;
    QTest::newRow("trickle greeting") << QByteArray("trickle") << 0;
    QTest::newRow("trickle end of data") << QByteArray("trickle") << 5;
    for (int etape = 0; etape <= 5; ++etape) {
        QTest::addRow("reset at step %d", etape) << QByteArray("reset") << etape;
    }
    // Found by fuzzing: an empty line as the reply to HELO left the report without a reason.
    QTest::newRow("empty HELO reply") << QByteArray("empty") << 1;
}

void TestHostile::smtp()
{
    QFETCH(QByteArray, mode);
    QFETCH(int, etape);
    Dossier d;
    Peer pair;
    QVERIFY2(demarrePair(pair, "smtp", mode, etape, d.dir.path()), qPrintable(pair.error()));

    FakeClock clock;
    Mailing mailing(clock);
    mailing.setDelais(1500, 1500);
    ReglagesMail r;
    r.serveur = QStringLiteral("127.0.0.1:%1").arg(pair.port());
    r.messageDe = "moi@example.org";
    r.sujet = "Changement IP";
    r.adresses[0] = "toi@example.org";
    mailing.InitSmtp(r);
    QStringList rapports;
    connect(&mailing, &ServiceMail::termine, this, [&](const QString& t) { rapports.append(t); });

    mailing.BoucleSend("Nouvelle adresse", "5.6.7.8");
    QTRY_COMPARE_WITH_TIMEOUT(rapports.size(), 1, kBorneMs);
    QVERIFY2(QRegularExpression("expe ERREUR : \\S").match(rapports[0]).hasMatch(),
             qPrintable(rapports[0].left(300))); // a failed mail says why
    QVERIFY(rapports[0].size() < 70000);         // a flood is not copied into the console
    QVERIFY(!mailing.enCours());
    QVERIFY(!QFile::exists(d.chemin("mail-1.txt")) || etape > 4);

    // The next mailing, the server now sane, is sent.
    mailing.BoucleSend("Nouvelle adresse", "5.6.7.8");
    QTRY_COMPARE_WITH_TIMEOUT(rapports.size(), 2, kBorneMs);
    QVERIFY2(rapports[1].contains("... expe OK"), qPrintable(rapports[1]));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(d.chemin("mail-2.txt")), 2000);
    QVERIFY(lire(d.chemin("mail-2.txt")).contains("Nouvelle adresse"));
}

void TestHostile::ftp_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<int>("etape");
    // Steps: 0 greeting, then the replies in the order curl asks (USER, PASS, PWD, CWD or
    // EPSV, TYPE, STOR ...).
    QTest::newRow("flood greeting") << QByteArray("flood") << 0;
    QTest::newRow("flood PASS") << QByteArray("flood") << 2;
    QTest::newRow("NUL greeting") << QByteArray("nul") << 0;
    QTest::newRow("NUL USER") << QByteArray("nul") << 1;
    QTest::newRow("trickle greeting") << QByteArray("trickle") << 0;
    QTest::newRow("trickle PWD") << QByteArray("trickle") << 3;
    for (int etape = 0; etape <= 6; ++etape) {
        QTest::addRow("reset at step %d", etape) << QByteArray("reset") << etape;
    }
}

void TestHostile::ftp()
{
    QFETCH(QByteArray, mode);
    QFETCH(int, etape);
    Dossier d;
    QTemporaryDir distant;
    Peer pair;
    QVERIFY2(demarrePair(pair, "ftp", mode, etape, distant.path()), qPrintable(pair.error()));

    const QByteArray modele = "<?php $start = 1; $stop = 2; ?>\r\n<p>page</p>\r\n";
    QVERIFY(ecrire(d.chemin("date1.php"), modele));
    Parametres p;
    p.NomDomaine = "webmaster";
    p.MotDePasseFtp = "secret-pw";
    p.FtpHebergeur = QStringLiteral("127.0.0.1:%1").arg(pair.port());
    p.FichierATransferer = "date.php";
    p.EmplacementFichier = "/date.php";
    DemandeFtp demande = demandeFtp(p);
    demande.delaiConnexionSec = demande.delaiBlocageSec = 2;
    Publication pub;
    QStringList entrees;
    QString console;
    connect(&pub, &ServicePublication::entree, this, [&](const QString& e) {
        entrees.append(e);
        console += e;
    });
    connect(&pub, &ServicePublication::texte, this, [&](const QString& t) { console += t; });
    const auto changement = [&](const QString& ip) {
        QVERIFY(pub.ecrit_ip_actu(ip));
        QVERIFY(pub.prepare_page(ip));
        pub.envoi_ftp(demande);
    };

    changement("5.6.7.8");
    QTRY_VERIFY_WITH_TIMEOUT(!entrees.isEmpty() && !pub.envoi().occupe(), kBorneMs);
    QCOMPARE(entrees.size(), 1);
    QVERIFY2(entrees[0].startsWith("Erreur de connexion : ") ||
                 entrees[0].startsWith("Erreur fichier ftp! : "),
             qPrintable(entrees[0]));
    QVERIFY(!console.contains("secret-pw"));
    QVERIFY(!pub.envoi().derniereErreur().contains("secret-pw"));
    QCOMPARE(lire(d.chemin("date1.php")), modele);
    QVERIFY(lire(d.chemin("date.php")).contains("http://5.6.7.8:81/"));

    // The next upload, the server now sane, arrives whole.
    changement("9.9.9.9");
    QTRY_VERIFY_WITH_TIMEOUT(entrees.size() == 2 && !pub.envoi().occupe(), kBorneMs);
    QCOMPARE(entrees[1], "Transfert : OK");
    const QByteArray nouvelle = lire(d.chemin("date.php"));
    QVERIFY(nouvelle.contains("http://9.9.9.9:81/"));
    QCOMPARE(lire(distant.filePath("date.php")), nouvelle);
}

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
