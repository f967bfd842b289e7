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

// Exit code (-1 when it hung) and output of the PHP command line.
QPair<int, QByteArray> php(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("php"), QStringList{QStringLiteral("-n")} + args);
    if (p.waitForFinished(20000)) {
        return {p.exitCode(), p.readAllStandardOutput()};
    }
    p.kill();
    p.waitForFinished(3000);
    return {-1, {}};
}

} // namespace

class TestPageFiles : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void ipActu_data();
    void ipActu();
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
    const auto row = [](const char* nom, const QString& ip, const char* item8) {
        QTest::newRow(nom) << ip << QByteArray(item8);
    };
    row("ipv4", QStringLiteral("203.0.113.7"), "203.0.113.7");
    row("ipv6 in brackets", QStringLiteral("2001:db8:85a3::8a2e:370:7334"),
        "[2001:db8:85a3::8a2e:370:7334]");
    // Any other text stays escaped, so nothing can end the PHP string or the attribute.
    row("double quote", QStringLiteral("1.2.3.4\" onerror=\"alert(1)"),
        "1.2.3.4%22%20onerror%3D%22alert%281%29");
    row("backslash", QStringLiteral("1.2.3.4\\"), "1.2.3.4%5C");
    row("dollar", QStringLiteral("${phpinfo()}$x"), "%24%7Bphpinfo%28%29%7D%24x");
    row("php close", QStringLiteral("1.2.3.4?><?php echo 1;"),
        "1.2.3.4%3F%3E%3C%3Fphp%20echo%201%3B");
    row("NUL byte", QStringLiteral("1.2.3.4") + QChar(0) + QStringLiteral("x"), "1.2.3.4%00x");
    row("windows-1252", QStringLiteral("é€"), "%E9%80");
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
    QCOMPARE(php({QStringLiteral("-l"), QStringLiteral("page.php")}).first, 0);
    const auto [code, sortie] = php({QStringLiteral("page.php")});
    QCOMPARE(code, 0);
    static const QRegularExpression forme(
        QStringLiteral(R"re(^<img src="([^"]*)"></img><br><br>$)re"));
    const QRegularExpressionMatch m = forme.match(QString::fromLatin1(sortie));
    QVERIFY2(m.hasMatch(), sortie.constData());
    QCOMPARE(m.captured(1), QStringLiteral("http://") + QString::fromLatin1(item8) +
                                QStringLiteral(":81/graphs?format=jpg&starttime=11&stoptime=22"));
}

void TestPageFiles::datePhp_data()
{
    QTest::addColumn<QByteArray>("gabarit");
    QTest::addColumn<bool>("debug");
    QTest::newRow("LF only") << QByteArray("<?php\n$start = 1;\n$stop = 2;\n?>\n") << false;
    QTest::newRow("no final line break") << QByteArray("<p>Adresse du jour</p>") << true;
    QTest::newRow("windows-1252") << QByteArray("<p>\xe9t\xe9 \x80 \x93\x94 \x81\x8d</p>\r\n")
                                  << false;
    QTest::newRow("rtf") << QByteArray(
                                "{\\rtf1\\ansi\\deff0 {\\fonttbl {\\f0 Arial;}} Bonjour\\par\r\n}")
                         << true;
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
    QCOMPARE(lit(QStringLiteral("date.php")), "v2\r\n" + attendu("[2001:db8::1]"));
}

void TestPageFiles::pageNonPubliee_data()
{
    QTest::addColumn<QString>("dossier"); // the file that is a folder instead, if any
    QTest::addColumn<bool>("gabarit");    // "date1.php" is there
    QTest::addColumn<bool>("upload");
    // An entry expected whole, or, when it ends in a blank or "(", followed by a reason.
    QTest::addColumn<QStringList>("entrees");

    const auto row = [](const char* nom, const char* dossier, bool gabarit, bool upload,
                        const QStringList& entrees) {
        QTest::newRow(nom) << QString::fromLatin1(dossier) << gabarit << upload << entrees;
    };
    row("template missing", "", false, true,
        {QStringLiteral("Page non publiée : date1.php absent")});
    row("template unreadable", "date1.php", false, true,
        {QStringLiteral("Page non publiée : date1.php illisible (")});
    row("page not writable", "date.php", true, true,
        {QStringLiteral("Page non publiée : date.php non écrit (")});
    row("fragment not writable", "ip_actu", true, true,
        {QStringLiteral("Fichier ip_actu non écrit : "),
         QStringLiteral("Page non publiée : ip_actu non écrit pour l'adresse actuelle")});
    row("upload off", "", false, false, {});
}

// A page that cannot be built is said in the console, the old page stays, nothing is sent.
void TestPageFiles::pageNonPubliee()
{
    QFETCH(QString, dossier);
    QFETCH(bool, gabarit);
    QFETCH(bool, upload);
    QFETCH(QStringList, entrees);

    const QByteArray ancienne = "ancienne page\r\n";
    ecrit(QStringLiteral("date.php"), ancienne);
    ecrit(QStringLiteral("ip_actu"), attendu("198.51.100.1")); // from an earlier change
    if (gabarit) {
        ecrit(QStringLiteral("date1.php"), "gabarit\r\n");
    }
    if (!dossier.isEmpty()) {
        QFile::remove(dossier);
        QVERIFY(QDir().mkdir(dossier));
    }

    FakeConsole console;
    console.ip = QStringLiteral("203.0.113.7");
    console.upload = upload;
    console.params.FtpHebergeur = QStringLiteral("127.0.0.1:1");
    console.params.FichierATransferer = QStringLiteral("date.php");
    console.params.EmplacementFichier = QStringLiteral("/date.php");
    PagePublisher pub(console);
    QCOMPARE(pub.ecrit_ip_actu(), dossier != u"ip_actu");
    QCOMPARE(pub.prepare_page(), entrees.isEmpty());
    QCOMPARE(console.entries.size(), entrees.size());
    for (qsizetype i = 0; i < entrees.size(); ++i) {
        const QString& e = console.entries[i];
        if (entrees[i].endsWith(u' ') || entrees[i].endsWith(u'(')) {
            QVERIFY2(e.startsWith(entrees[i]) && e.size() > entrees[i].size(), qPrintable(e));
        } else {
            QCOMPARE(e, entrees[i]);
        }
    }
    if (dossier != u"date.php") {
        QCOMPARE(lit(QStringLiteral("date.php")), ancienne);
    }
    pub.envoi_ftp();
    QVERIFY(!pub.envoi().occupe());
    QCOMPARE(console.entries.size(), entrees.size());
}

// Made once, hidden until asked for; a closed window is made anew on next use.
void TestPageFiles::fenetre()
{
    FakeConsole console;
    QWidget parent;
    PagePublisher pub(console, &parent);
    ReadFileTxtWindow* w = pub.read_file_txt();
    QCOMPARE(w->windowTitle(), QStringLiteral("LOG - Debug assemblage fichier "));
    QVERIFY(w->isWindow() && !w->isVisible());
    QCOMPARE(pub.read_file_txt(), w);

    // A new window may get the old one's address: watch the old one go, then ask again.
    w->show();
    QPointer<ReadFileTxtWindow> ancienne(w);
    QVERIFY(w->close());
    QTRY_VERIFY_WITH_TIMEOUT(ancienne.isNull(), 5000);
    ReadFileTxtWindow* nouvelle = pub.read_file_txt();
    QVERIFY(nouvelle != nullptr && !nouvelle->isVisible());
}

void TestPageFiles::urlFtp_data()
{
    QTest::addColumn<QString>("hebergeur");
    QTest::addColumn<QString>("chemin");
    QTest::addColumn<QByteArray>("url"); // empty: refused

    const auto row = [](const char* nom, const char* hebergeur, const char* chemin,
                        const char* url) {
        QTest::newRow(nom) << QString::fromUtf8(hebergeur) << QString::fromUtf8(chemin)
                           << QByteArray(url);
    };
    row("host, root path", "ftp.example.org", "/ma_page/date.php",
        "ftp://ftp.example.org//ma_page/date.php");
    row("relative path", "ftp.example.org", "www/date.php", "ftp://ftp.example.org/www/date.php");
    row("port", "127.0.0.1:2121", "/date.php", "ftp://127.0.0.1:2121//date.php");
    row("spaces", "h", "/mon site/date du jour.php", "ftp://h//mon%20site/date%20du%20jour.php");
    row("url characters", "h", "/a#b?c%d@e:f.php", "ftp://h//a%23b%3fc%25d%40e%3af.php");
    row("ipv6 bracketed port", "[::1]:21", "/x.php", "ftp://[::1]:21//x.php");
    row("ipv6 bare", "2001:db8::1", "/x.php", "ftp://[2001:db8::1]//x.php");
    row("spaces around host", "  h  ", "/x.php", "ftp://h//x.php");
    row("empty host", "", "/x.php", "");
    row("port zero", "h:0", "/x.php", "");
    row("port too big", "h:65536", "/x.php", "");
    row("port not a number", "h:2x", "/x.php", "");
    row("empty port", "h:", "/x.php", "");
    row("credentials in host", "u:p@h", "/x.php", "");
    row("space in host", "a b", "/x.php", "");
    row("no file name", "h", "/dossier/", "");
    row("empty path", "h", "", "");
    row("line break in path", "h", "/a\r\nDELE x", "");
}

void TestPageFiles::urlFtp()
{
    QFETCH(QString, hebergeur);
    QFETCH(QString, chemin);
    QFETCH(QByteArray, url);

    const UrlFtp r = construitUrlFtp(hebergeur, chemin);
    QCOMPARE(r.ok, !url.isEmpty());
    QCOMPARE(r.ok ? r.url : QByteArray(), url);
    QCOMPARE(r.erreur.isEmpty(), r.ok);
}

void TestPageFiles::rapportEtats_data()
{
    QTest::addColumn<QList<int>>("etats");
    QTest::addColumn<QStringList>("morceaux"); // dots shown, then the outcome entered, in turn

    const auto row = [](const char* nom, const QList<int>& etats, const QStringList& morceaux) {
        QTest::newRow(nom) << etats << morceaux;
    };
    row("transfer", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12},
        {QStringLiteral("..Transfert ftp ........."), QStringLiteral("Transfert : OK")});
    row("refused", {1, 2, 3, 0},
        {QStringLiteral("..Transfert ftp ..."), QStringLiteral("Erreur de connexion")});
    row("store refused", {1, 2, 3, 4, 5, 11},
        {QStringLiteral("..Transfert ftp ....."), QStringLiteral("Erreur fichier ftp!")});
    row("completed only", {12}, {QString(), QStringLiteral("Transfert : OK")});
    row("two uploads", {3, 12, 3, 11},
        {QStringLiteral("Transfert ftp .."), QStringLiteral("Transfert : OK"),
         QStringLiteral("Transfert ftp ..."), QStringLiteral("Erreur fichier ftp!")});
}

void TestPageFiles::rapportEtats()
{
    QFETCH(QList<int>, etats);
    QFETCH(QStringList, morceaux);
    QString texte;
    QStringList entrees;
    for (qsizetype i = 0; i + 1 < morceaux.size(); i += 2) {
        texte += morceaux[i] + u'\n' + morceaux[i + 1] +
                 QStringLiteral("\r\n<stamp>\r\nIP = 203.0.113.7\r\n");
        entrees.append(morceaux[i + 1]);
    }

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
