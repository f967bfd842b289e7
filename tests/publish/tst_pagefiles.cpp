// The fragment "ip_actu", the page "date.php", the debug window and the console report of the
// upload stages. Runs in a fresh working directory per test, as the program does.

#include "platform/textcodec.h"
#include "publish/ftpenvoi.h"
#include "support/fakes.h"
#include "ui/pagepublisher.h"
#include "ui/readfiletxtwindow.h"
#include "ui/richtextview.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace corvane;
using corvane::test::FakeConsole;

namespace {

QByteArray lit(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void ecrit(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(data), data.size());
}

// The sixteen items, written out independently of the product code.
QByteArray attendu(const QByteArray& adresse)
{
    return QByteArray("<?php") + "\r\n" + "echo " + '"' + "<img src=\\" + '"' + "http://" +
           adresse + ":81/graphs?format=jpg&starttime=$start&stoptime=$stop\\" + '"' +
           "></img><br><br>" + '"' + ";" + "\r\n" + "?>" + "\r\n";
}

struct Php {
    int code = -1;
    QByteArray out;
};

Php php(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("php"), QStringList{QStringLiteral("-n")} + args);
    Php r;
    if (p.waitForFinished(20000)) {
        r.code = p.exitCode();
        r.out = p.readAllStandardOutput();
    } else {
        p.kill();
        p.waitForFinished(3000);
    }
    return r;
}

} // namespace

class TestPageFiles : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void ipActu_data();
    void ipActu();
    void ipActuNonEcrit();

    void datePhp_data();
    void datePhp();
    void pageNonPubliee_data();
    void pageNonPubliee();
    void fenetre();

    void urlFtp_data();
    void urlFtp();

    void rapportEtats_data();
    void rapportEtats();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString ancien_;
};

void TestPageFiles::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    ancien_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_->path()));
}

void TestPageFiles::cleanup()
{
    QDir::setCurrent(ancien_);
    dir_.reset();
}

void TestPageFiles::ipActu_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QByteArray>("item8");

    QTest::newRow("ipv4") << "203.0.113.7" << QByteArray("203.0.113.7");
    QTest::newRow("ipv4 short") << "1.2.3.4" << QByteArray("1.2.3.4");
    QTest::newRow("ipv6") << "2001:db8:85a3::8a2e:370:7334"
                          << QByteArray("2001:db8:85a3::8a2e:370:7334");
    QTest::newRow("ipv6 mapped") << "::ffff:192.0.2.1" << QByteArray("::ffff:192.0.2.1");
    QTest::newRow("empty answer") << "" << QByteArray("");
    QTest::newRow("trailing LF") << "203.0.113.7\n" << QByteArray("203.0.113.7%0A");
    QTest::newRow("trailing CR LF") << "203.0.113.7\r\n" << QByteArray("203.0.113.7%0D%0A");
    QTest::newRow("double quote") << "1.2.3.4\" onerror=\"alert(1)"
                                  << QByteArray("1.2.3.4%22%20onerror%3D%22alert%281%29");
    QTest::newRow("backslash") << "1.2.3.4\\" << QByteArray("1.2.3.4%5C");
    QTest::newRow("dollar") << "${phpinfo()}$x" << QByteArray("%24%7Bphpinfo%28%29%7D%24x");
    QTest::newRow("html") << "<script>x</script>" << QByteArray("%3Cscript%3Ex%3C%2Fscript%3E");
    QTest::newRow("php close") << "1.2.3.4?><?php echo 1;"
                               << QByteArray("1.2.3.4%3F%3E%3C%3Fphp%20echo%201%3B");
    QTest::newRow("NUL byte") << QStringLiteral("1.2.3.4") + QChar(0) + QStringLiteral("x")
                              << QByteArray("1.2.3.4%00x");
    QTest::newRow("windows-1252") << QStringLiteral("é€") << QByteArray("%E9%80");
}

// "ip_actu" byte for byte, and what PHP makes of it behind a template that sets $start/$stop.
void TestPageFiles::ipActu()
{
    QFETCH(QString, ip);
    QFETCH(QByteArray, item8);

    FakeConsole console;
    console.ip = ip;
    PagePublisher pub(console);
    QVERIFY(pub.ecrit_ip_actu());
    QVERIFY(console.entries.isEmpty());
    const QByteArray fragment = lit(QStringLiteral("ip_actu"));
    QCOMPARE(fragment, attendu(item8));

    ecrit(QStringLiteral("page.php"), "<?php $start = 11; $stop = 22; ?>\r\n" + fragment);
    const Php lint = php({QStringLiteral("-l"), QStringLiteral("page.php")});
    QCOMPARE(lint.code, 0);
    const Php run = php({QStringLiteral("page.php")});
    QCOMPARE(run.code, 0);
    const QString out = QString::fromLatin1(run.out);
    QCOMPARE(out.count(QStringLiteral("<img")), 1);
    static const QRegularExpression forme(
        QStringLiteral(R"re(^<img src="([^"]*)"></img><br><br>$)re"));
    const QRegularExpressionMatch m = forme.match(out);
    QVERIFY2(m.hasMatch(), run.out.constData());
    QCOMPARE(m.captured(1), QStringLiteral("http://") + QString::fromLatin1(item8) +
                                QStringLiteral(":81/graphs?format=jpg&starttime=11&stoptime=22"));
}

void TestPageFiles::ipActuNonEcrit()
{
    QVERIFY(QDir().mkdir(QStringLiteral("ip_actu"))); // a folder where the file should go
    FakeConsole console;
    console.ip = QStringLiteral("203.0.113.7");
    PagePublisher pub(console);
    QVERIFY(!pub.ecrit_ip_actu());
    QCOMPARE(console.entries.size(), 1);
    QVERIFY2(console.entries[0].startsWith(QStringLiteral("Fichier ip_actu non écrit : ")),
             qPrintable(console.entries[0]));
    QVERIFY(console.entries[0].size() > QStringLiteral("Fichier ip_actu non écrit : ").size());
}

void TestPageFiles::datePhp_data()
{
    QTest::addColumn<QByteArray>("gabarit");
    QTest::addColumn<bool>("debug");

    QTest::newRow("CR LF") << QByteArray(
                                  "<?php\r\n$start = 1;\r\n$stop = 2;\r\n?>\r\n<h1>IP</h1>\r\n")
                           << false;
    QTest::newRow("LF only") << QByteArray("<?php\n$start = 1;\n$stop = 2;\n?>\n") << false;
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << false;
    QTest::newRow("no final line break") << QByteArray("<p>Adresse du jour</p>") << true;
    QTest::newRow("windows-1252") << QByteArray("<p>\xe9t\xe9 \x80 \x93\x94 \x81\x8d</p>\r\n")
                                  << false;
    QTest::newRow("rtf") << QByteArray(
                                "{\\rtf1\\ansi\\deff0 {\\fonttbl {\\f0 Arial;}} Bonjour\\par\r\n}")
                         << true;
    QTest::newRow("html") << QByteArray("<html><body><b>gras</b>\r\n") << false;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("NUL byte") << QByteArray("a\0b\r\n", 5) << false;
}

// "date.php" is the template's bytes then the fragment's, whatever the template looks like.
void TestPageFiles::datePhp()
{
    QFETCH(QByteArray, gabarit);
    QFETCH(bool, debug);

    ecrit(QStringLiteral("date1.php"), gabarit);
    FakeConsole console;
    console.ip = QStringLiteral("203.0.113.7");
    console.upload = true;
    console.debug = debug;
    PagePublisher pub(console);
    QVERIFY(pub.ecrit_ip_actu());
    QVERIFY(pub.prepare_page());
    QVERIFY(console.entries.isEmpty());

    const QByteArray fragment = attendu("203.0.113.7");
    QCOMPARE(lit(QStringLiteral("date.php")), gabarit + fragment);
    QCOMPARE(lit(QStringLiteral("date1.php")), gabarit);

    ReadFileTxtWindow* w = pub.read_file_txt();
    QCOMPARE(w->isVisible(), debug);
    if (!debug) {
        QVERIFY(w->RichTextBox1->text().isEmpty()); // a hidden window fills its boxes when shown
        w->show();
    }
    QCOMPARE(w->RichTextBox1->text(), fromAnsi(gabarit));
    QCOMPARE(w->RichTextBox2->text(), fromAnsi(fragment));
    QCOMPARE(w->RichTextBox3->text(), fromAnsi(gabarit + fragment));

    // The template changes between two changes of address: the page follows it.
    ecrit(QStringLiteral("date1.php"), "v2\r\n");
    console.ip = QStringLiteral("2001:db8::1");
    QVERIFY(pub.ecrit_ip_actu());
    QVERIFY(pub.prepare_page());
    QCOMPARE(lit(QStringLiteral("date.php")), "v2\r\n" + attendu("2001:db8::1"));
}

void TestPageFiles::pageNonPubliee_data()
{
    QTest::addColumn<QString>("cas");
    QTest::addColumn<bool>("upload");
    QTest::addColumn<bool>("resultat");
    QTest::addColumn<QStringList>("debutsEntrees");

    QTest::newRow("template missing")
        << "gabarit absent" << true << false
        << QStringList{QStringLiteral("Page non publiée : date1.php absent")};
    QTest::newRow("template unreadable")
        << "gabarit dossier" << true << false
        << QStringList{QStringLiteral("Page non publiée : date1.php illisible (")};
    QTest::newRow("page not writable")
        << "page dossier" << true << false
        << QStringList{QStringLiteral("Page non publiée : date.php non écrit (")};
    QTest::newRow("fragment not writable")
        << "fragment dossier" << true << false
        << QStringList{QStringLiteral("Fichier ip_actu non écrit : "),
                       QStringLiteral("Page non publiée : ip_actu non écrit pour l'adresse "
                                      "actuelle")};
    QTest::newRow("upload off") << "gabarit absent" << false << true << QStringList{};
}

// A page that cannot be built is said in the console, the old page stays, nothing is sent.
void TestPageFiles::pageNonPubliee()
{
    QFETCH(QString, cas);
    QFETCH(bool, upload);
    QFETCH(bool, resultat);
    QFETCH(QStringList, debutsEntrees);

    const QByteArray ancienne = "ancienne page\r\n";
    if (cas == QStringLiteral("page dossier")) {
        QVERIFY(QDir().mkdir(QStringLiteral("date.php")));
    } else {
        ecrit(QStringLiteral("date.php"), ancienne);
    }
    if (cas == QStringLiteral("gabarit dossier")) {
        QVERIFY(QDir().mkdir(QStringLiteral("date1.php")));
    } else if (cas != QStringLiteral("gabarit absent")) {
        ecrit(QStringLiteral("date1.php"), "gabarit\r\n");
    }
    if (cas == QStringLiteral("fragment dossier")) {
        QVERIFY(QDir().mkdir(QStringLiteral("ip_actu")));
    } else {
        ecrit(QStringLiteral("ip_actu"), attendu("198.51.100.1")); // from an earlier change
    }

    FakeConsole console;
    console.ip = QStringLiteral("203.0.113.7");
    console.upload = upload;
    console.params.FtpHebergeur = QStringLiteral("127.0.0.1:1");
    console.params.FichierATransferer = QStringLiteral("date.php");
    console.params.EmplacementFichier = QStringLiteral("/date.php");
    PagePublisher pub(console);
    pub.ecrit_ip_actu();
    QCOMPARE(pub.prepare_page(), resultat);
    QCOMPARE(console.entries.size(), debutsEntrees.size());
    for (qsizetype i = 0; i < debutsEntrees.size(); ++i) {
        QVERIFY2(console.entries[i].startsWith(debutsEntrees[i]), qPrintable(console.entries[i]));
    }
    if (cas != QStringLiteral("page dossier")) {
        QCOMPARE(lit(QStringLiteral("date.php")), ancienne);
    }
    pub.envoi_ftp();
    QVERIFY(!pub.envoi().occupe());
    QCOMPARE(console.entries.size(), debutsEntrees.size());
}

void TestPageFiles::fenetre()
{
    FakeConsole console;
    QWidget parent;
    PagePublisher pub(console, &parent);
    ReadFileTxtWindow* w = pub.read_file_txt();
    QCOMPARE(w->objectName(), QStringLiteral("read_file_txt"));
    QCOMPARE(w->windowTitle(), QStringLiteral("LOG - Debug assemblage fichier "));
    QVERIFY(w->isWindow());
    QVERIFY(!w->isVisible());
    QCOMPARE(pub.read_file_txt(), w);

    w->resize(600, 500);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const auto* b1 = w->findChild<RichTextView*>(QStringLiteral("RichTextBox1"));
    const auto* b2 = w->findChild<RichTextView*>(QStringLiteral("RichTextBox2"));
    const auto* b3 = w->findChild<RichTextView*>(QStringLiteral("RichTextBox3"));
    QVERIFY(b1 && b2 && b3);
    QVERIFY(b2->geometry().bottom() < b1->geometry().top());
    QVERIFY(b1->geometry().bottom() < b3->geometry().top());
    QVERIFY(b2->height() < b1->height());
    for (const auto* b : {b1, b2, b3}) {
        QVERIFY(b->width() >= w->width() - 10);
    }

    // Closed windows are created anew on next use.
    // (A new window may get the old one's address: watch the old one go, then ask again.)
    QPointer<ReadFileTxtWindow> ancienne(w);
    QVERIFY(w->close());
    QTRY_VERIFY_WITH_TIMEOUT(ancienne.isNull(), 5000);
    ReadFileTxtWindow* nouvelle = pub.read_file_txt();
    QVERIFY(nouvelle != nullptr);
    QVERIFY(!nouvelle->isVisible());
}

void TestPageFiles::urlFtp_data()
{
    QTest::addColumn<QString>("hebergeur");
    QTest::addColumn<QString>("chemin");
    QTest::addColumn<QByteArray>("url"); // empty: refused

    QTest::newRow("host, root path")
        << "ftp.example.org"
        << "/ma_page/date.php" << QByteArray("ftp://ftp.example.org//ma_page/date.php");
    QTest::newRow("relative path")
        << "ftp.example.org"
        << "www/date.php" << QByteArray("ftp://ftp.example.org/www/date.php");
    QTest::newRow("port") << "127.0.0.1:2121"
                          << "/date.php" << QByteArray("ftp://127.0.0.1:2121//date.php");
    QTest::newRow("spaces") << "h"
                            << "/mon site/date du jour.php"
                            << QByteArray("ftp://h//mon%20site/date%20du%20jour.php");
    QTest::newRow("url characters")
        << "h"
        << "/a#b?c%d@e:f.php" << QByteArray("ftp://h//a%23b%3fc%25d%40e%3af.php");
    QTest::newRow("ipv6 bracketed port") << "[::1]:21"
                                         << "/x.php" << QByteArray("ftp://[::1]:21//x.php");
    QTest::newRow("ipv6 bare") << "2001:db8::1"
                               << "/x.php" << QByteArray("ftp://[2001:db8::1]//x.php");
    QTest::newRow("ipv6 ending in ::") << "2001:db8::"
                                       << "/x.php" << QByteArray("ftp://[2001:db8::]//x.php");
    QTest::newRow("ipv6 bracketed, empty port") << "[::1]:"
                                                << "/x.php" << QByteArray();
    QTest::newRow("spaces around host") << "  h  "
                                        << "/x.php" << QByteArray("ftp://h//x.php");
    QTest::newRow("empty host") << ""
                                << "/x.php" << QByteArray();
    QTest::newRow("port zero") << "h:0"
                               << "/x.php" << QByteArray();
    QTest::newRow("port too big") << "h:65536"
                                  << "/x.php" << QByteArray();
    QTest::newRow("port not a number") << "h:2x"
                                       << "/x.php" << QByteArray();
    QTest::newRow("empty port") << "h:"
                                << "/x.php" << QByteArray();
    QTest::newRow("credentials in host") << "u:p@h"
                                         << "/x.php" << QByteArray();
    QTest::newRow("space in host") << "a b"
                                   << "/x.php" << QByteArray();
    QTest::newRow("no file name") << "h"
                                  << "/dossier/" << QByteArray();
    QTest::newRow("empty path") << "h"
                                << "" << QByteArray();
    QTest::newRow("line break in path") << "h"
                                        << "/a\r\nDELE x" << QByteArray();
}

void TestPageFiles::urlFtp()
{
    QFETCH(QString, hebergeur);
    QFETCH(QString, chemin);
    QFETCH(QByteArray, url);

    const UrlFtp r = construitUrlFtp(hebergeur, chemin);
    QCOMPARE(r.ok, !url.isEmpty());
    if (r.ok) {
        QCOMPARE(r.url, url);
    } else {
        QVERIFY(!r.erreur.isEmpty());
    }
}

void TestPageFiles::rapportEtats_data()
{
    QTest::addColumn<QList<int>>("etats");
    QTest::addColumn<QString>("texte");
    QTest::addColumn<QStringList>("entrees");

    const QString ok = QStringLiteral("\nTransfert : OK\r\n<stamp>\r\nIP = 203.0.113.7\r\n");
    const QString cnx = QStringLiteral("\nErreur de connexion\r\n<stamp>\r\nIP = 203.0.113.7\r\n");
    const QString fic = QStringLiteral("\nErreur fichier ftp!\r\n<stamp>\r\nIP = 203.0.113.7\r\n");

    QTest::newRow("transfer") << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12}
                              << QStringLiteral("..Transfert ftp .........") + ok
                              << QStringList{QStringLiteral("Transfert : OK")};
    QTest::newRow("refused") << QList<int>{1, 2, 3, 0}
                             << QStringLiteral("..Transfert ftp ...") + cnx
                             << QStringList{QStringLiteral("Erreur de connexion")};
    QTest::newRow("store refused")
        << QList<int>{1, 2, 3, 4, 5, 11} << QStringLiteral("..Transfert ftp .....") + fic
        << QStringList{QStringLiteral("Erreur fichier ftp!")};
    QTest::newRow("completed only")
        << QList<int>{12} << ok << QStringList{QStringLiteral("Transfert : OK")};
    QTest::newRow("two uploads") << QList<int>{3, 12, 3, 11}
                                 << QStringLiteral("Transfert ftp ..") + ok +
                                        QStringLiteral("Transfert ftp ...") + fic
                                 << QStringList{QStringLiteral("Transfert : OK"),
                                                QStringLiteral("Erreur fichier ftp!")};
}

void TestPageFiles::rapportEtats()
{
    QFETCH(QList<int>, etats);
    QFETCH(QString, texte);
    QFETCH(QStringList, entrees);

    FakeConsole console;
    console.ip = QStringLiteral("203.0.113.7");
    PagePublisher pub(console);
    for (const int e : etats) {
        pub.Inet1_StateChanged(e);
    }
    QCOMPARE(console.text, texte);
    QCOMPARE(console.entries, entrees);
}

QTEST_MAIN(TestPageFiles)
#include "tst_pagefiles.moc"
