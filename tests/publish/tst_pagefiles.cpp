// The fragment "ip_actu", the page "date.php", a page that cannot be built, and the upload URL.

#include "publish/outils.h"
#include "publish/publication.h"

#include <QtTest>

using namespace corvane;
using namespace corvane::test;

namespace {

// The sixteen items, written out independently of the product code.
QByteArray attendu(const QByteArray& adresse)
{
    return "<?php\r\necho \"<img src=\\\"http://" + adresse +
           ":81/graphs?format=jpg&starttime=$start&stoptime=$stop\\\"></img><br><br>\";\r\n?>\r\n";
}

} // namespace

class TestPageFiles : public QObject {
    Q_OBJECT
private slots:
    void page_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QByteArray>("item8");
        QTest::addColumn<QByteArray>("gabarit");
        QTest::newRow("ipv4, rtf-like template with LF only, no final line break")
            << "203.0.113.7" << QByteArray("203.0.113.7")
            << QByteArray("{\\rtf1\\ansi {\\fonttbl {\\f0 Arial;}}\nBonjour\\par\n}");
        QTest::newRow("ipv6 in brackets, windows-1252 and NUL in the template")
            << "2001:db8:85a3::8a2e:370:7334" << QByteArray("[2001:db8:85a3::8a2e:370:7334]")
            << QByteArrayLiteral("<p>\xe9t\xe9 \x80 \x81\x8d\0</p>\r\n");
        // Nothing may end the PHP string, start a variable or leave the attribute.
        QTest::newRow("hostile answer, empty template")
            << QString("1.2.3.4\"\\${x} ?><") + QChar(0)
            << QByteArray("1.2.3.4%22%5C%24%7Bx%7D%20%3F%3E%3C%00") << QByteArray();
    }

    // "date.php" is the template's bytes then the fragment's, whatever the template looks like.
    void page()
    {
        QFETCH(QString, ip);
        QFETCH(QByteArray, item8);
        QFETCH(QByteArray, gabarit);
        DossierDeTravail d;
        QVERIFY(d.ok && ecrit("date1.php", gabarit));
        Publication pub;
        Journal journal(pub);
        QVERIFY(pub.ecrit_ip_actu(ip) && pub.prepare_page(ip));
        QVERIFY(journal.entrees.isEmpty());
        QCOMPARE(lit("ip_actu"), attendu(item8));
        QCOMPARE(lit("date.php"), gabarit + attendu(item8));
        QCOMPARE(lit("date1.php"), gabarit);
    }

    void pageNonPubliee_data()
    {
        QTest::addColumn<QString>("dossier");     // the file that is a folder instead
        QTest::addColumn<QStringList>("entrees"); // the entries, or their start before a reason
        QTest::newRow("template unreadable")
            << "date1.php" << QStringList{"Page non publiée : date1.php illisible ("};
        QTest::newRow("page not writable")
            << "date.php" << QStringList{"Page non publiée : date.php non écrit ("};
        QTest::newRow("fragment not writable")
            << "ip_actu"
            << QStringList{"Fichier ip_actu non écrit : ",
                           "Page non publiée : ip_actu non écrit pour l'adresse actuelle"};
    }

    // A page that cannot be built is said, the old page stays, and nothing is sent after it.
    void pageNonPubliee()
    {
        QFETCH(QString, dossier);
        QFETCH(QStringList, entrees);
        DossierDeTravail d;
        QVERIFY(d.ok && ecrit("date.php", "ancienne page\r\n"));
        QVERIFY(ecrit("ip_actu", attendu("198.51.100.1"))); // an earlier change's
        QVERIFY(ecrit("date1.php", "gabarit\r\n"));
        QVERIFY(QFile::remove(dossier) && QDir().mkdir(dossier));

        Publication pub;
        Journal journal(pub);
        QCOMPARE(pub.ecrit_ip_actu("203.0.113.7"), dossier != u"ip_actu");
        QVERIFY(!pub.prepare_page("203.0.113.7"));
        QCOMPARE(journal.entrees.size(), entrees.size());
        for (qsizetype i = 0; i < entrees.size(); ++i) {
            QVERIFY2(journal.entrees[i].startsWith(entrees[i]), qPrintable(journal.entrees[i]));
        }
        QVERIFY(dossier == u"date.php" || lit("date.php") == "ancienne page\r\n");
        pub.envoi_ftp(DemandeFtp{});
        QVERIFY(!pub.envoi().occupe());
        QCOMPARE(journal.entrees.size(), entrees.size());
    }

    void urlFtp_data()
    {
        QTest::addColumn<QString>("hebergeur");
        QTest::addColumn<QString>("chemin");
        QTest::addColumn<QString>("url"); // empty: refused
        const auto row = [](const char* nom, const char* hebergeur, const char* chemin,
                            const char* url) { QTest::newRow(nom) << hebergeur << chemin << url; };
        row("relative path, host trimmed", " h ", "www/date.php", "ftp://h/www/date.php");
        row("url characters", "h", "/a b#c?d%e@f:g.php", "ftp://h//a%20b%23c%3fd%25e%40f%3ag.php");
        row("ipv6 bracketed port", "[::1]:2121", "/x.php", "ftp://[::1]:2121//x.php");
        row("credentials in host", "u:p@h", "/x.php", "");
        row("line break in path", "h", "/a\r\nDELE x", "");
    }

    void urlFtp()
    {
        QFETCH(QString, hebergeur);
        QFETCH(QString, chemin);
        QFETCH(QString, url);
        const UrlFtp r = construitUrlFtp(hebergeur, chemin);
        QCOMPARE(r.ok ? QString::fromLatin1(r.url) : QString(), url);
        QCOMPARE(r.erreur.isEmpty(), r.ok);
    }
};

QTEST_MAIN(TestPageFiles)
#include "tst_pagefiles.moc"
