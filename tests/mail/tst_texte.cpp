// The mail's words: the UTC stamp, the body, the bytes after DATA and the server setting.

#include "mail/message.h"
#include "mail/utc.h"
#include "support/fakes.h"

#include <QTest>
#include <QTimeZone>

using namespace corvane;

class TestTexte : public QObject {
    Q_OBJECT
private slots:
    void stampUtc_data();
    void stampUtc();
    void corpsMail();
    void contenu_data();
    void contenu();
    void chevrons_data();
    void chevrons();
    void serveur_data();
    void serveur();
};

void TestTexte::stampUtc_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("local"); // wall-clock time, read in the zone
    QTest::addColumn<QString>("attendu");

    const auto at = [](int y, int mo, int d, int h, int mi, int s, int ms = 0) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
    };
    QTest::newRow("paris winter, the example")
        << QByteArray("Europe/Paris") << at(2026, 12, 5, 7, 5, 9) << "05/12/2026 6h05'09 UTC";
    QTest::newRow("paris two-digit day")
        << QByteArray("Europe/Paris") << at(2026, 12, 25, 18, 0, 0) << "25/12/2026 17h00'00 UTC";
    QTest::newRow("paris summer") << QByteArray("Europe/Paris") << at(2026, 7, 14, 12, 0, 0)
                                  << "14/07/2026 10h00'00 UTC";
    QTest::newRow("paris single digits")
        << QByteArray("Europe/Paris") << at(2026, 2, 3, 10, 4, 5) << "03/02/2026 9h04'05 UTC";
    QTest::newRow("paris midnight utc")
        << QByteArray("Europe/Paris") << at(2026, 12, 5, 1, 0, 0) << "05/12/2026 0h00'00 UTC";
    QTest::newRow("paris fractions dropped")
        << QByteArray("Europe/Paris") << at(2026, 12, 5, 7, 5, 9, 999) << "05/12/2026 6h05'09 UTC";
    QTest::newRow("paris before spring change")
        << QByteArray("Europe/Paris") << at(2026, 3, 29, 1, 59, 59) << "29/03/2026 0h59'59 UTC";
    QTest::newRow("paris after spring change")
        << QByteArray("Europe/Paris") << at(2026, 3, 29, 3, 0, 0) << "29/03/2026 1h00'00 UTC";
    QTest::newRow("paris before autumn change")
        << QByteArray("Europe/Paris") << at(2026, 10, 25, 1, 59, 59) << "24/10/2026 23h59'59 UTC";
    QTest::newRow("paris after autumn change")
        << QByteArray("Europe/Paris") << at(2026, 10, 25, 3, 0, 0) << "25/10/2026 2h00'00 UTC";
    QTest::newRow("paris new year, previous day and year")
        << QByteArray("Europe/Paris") << at(2027, 1, 1, 0, 30, 0) << "31/12/2026 23h30'00 UTC";
    QTest::newRow("new york winter evening, next year")
        << QByteArray("America/New_York") << at(2026, 12, 31, 20, 15, 7)
        << "01/01/2027 1h15'07 UTC";
    QTest::newRow("new york summer")
        << QByteArray("America/New_York") << at(2026, 7, 4, 9, 8, 7) << "04/07/2026 13h08'07 UTC";
    QTest::newRow("new york month end")
        << QByteArray("America/New_York") << at(2026, 4, 30, 22, 0, 1) << "01/05/2026 2h00'01 UTC";
    QTest::newRow("new york before spring change")
        << QByteArray("America/New_York") << at(2026, 3, 8, 1, 59, 0) << "08/03/2026 6h59'00 UTC";
    QTest::newRow("new york after spring change")
        << QByteArray("America/New_York") << at(2026, 3, 8, 3, 0, 0) << "08/03/2026 7h00'00 UTC";
}

void TestTexte::stampUtc()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, local);
    QFETCH(QString, attendu);
    const QTimeZone tz(zone);
    QVERIFY2(tz.isValid(), zone.constData());
    test::FakeClock clock;
    clock.current = QDateTime(local.date(), local.time(), tz);
    QCOMPARE(HeureUTC(clock), attendu);
}

void TestTexte::corpsMail()
{
    const QString corps =
        CorpsMail(QStringLiteral("Hello, voici ma nouvelle IP"), QStringLiteral("203.0.113.7"),
                  QStringLiteral("05/12/2026 6h05'09 UTC"));
    QCOMPARE(corps, QStringLiteral("Hello, voici ma nouvelle IP 203.0.113.7 at 05/12/2026 "
                                   "6h05'09 UTC\r\n  - Bye -\r\n\r\n"
                                   "--------------------------------------------------------\r\n"
                                   "This mail sent by a robot.\r\n"
                                   "Don't reply at this automatic message."));
}

void TestTexte::contenu_data()
{
    QTest::addColumn<QString>("corps");
    QTest::addColumn<QByteArray>("attendu"); // what follows the empty line after the headers

    QTest::newRow("plain") << "a\r\nb" << QByteArray("a\r\nb\r\n\r\n.\r\n");
    QTest::newRow("lone dot line") << "a\r\n.\r\nb" << QByteArray("a\r\n..\r\nb\r\n\r\n.\r\n");
    QTest::newRow("line starting with a dot") << ".x\r\ny" << QByteArray("..x\r\ny\r\n\r\n.\r\n");
    QTest::newRow("dot not at line start") << "a.b\r\n x." << QByteArray("a.b\r\n x.\r\n\r\n.\r\n");
    QTest::newRow("lone LF and lone CR")
        << "a\nb\rc\r\n\nd" << QByteArray("a\r\nb\r\nc\r\n\r\nd\r\n\r\n.\r\n");
    QTest::newRow("dot after lone LF") << "a\n.\n.x" << QByteArray("a\r\n..\r\n..x\r\n\r\n.\r\n");
    QTest::newRow("windows-1252") << QStringLiteral("é € ÿ")
                                  << QByteArray("\xe9 \x80 \xff\r\n\r\n.\r\n");
}

void TestTexte::contenu()
{
    QFETCH(QString, corps);
    QFETCH(QByteArray, attendu);
    const QByteArray tete = "To:ami@example.org\r\nFrom: Corvane <>\r\nSubject:Nouvelle IP\r\n\r\n";
    QCOMPARE(contenuMessage(QStringLiteral("ami@example.org"), QStringLiteral("Corvane"),
                            QStringLiteral("Nouvelle IP"), corps),
             tete + attendu);
}

void TestTexte::chevrons_data()
{
    QTest::addColumn<QString>("adresse");
    QTest::addColumn<QString>("attendu");
    const auto row = [](const char* nom, const char* adresse, const char* attendu) {
        QTest::newRow(nom) << QString::fromUtf8(adresse) << QString::fromUtf8(attendu);
    };
    row("bare", "a@b.c", "<a@b.c>");
    row("already", "<a@b.c>", "<a@b.c>");
    row("empty", "", "<>");
    row("only an opening one", "<a@b.c", "<<a@b.c>");
    row("line break dropped", "a@b.c\r\nRSET", "<a@b.cRSET>");
}

void TestTexte::chevrons()
{
    QFETCH(QString, adresse);
    QFETCH(QString, attendu);
    QCOMPARE(entreChevrons(adresse), attendu);
}

void TestTexte::serveur_data()
{
    QTest::addColumn<QString>("valeur");
    QTest::addColumn<QString>("hote"); // empty: refused
    QTest::addColumn<int>("port");
    const auto row = [](const char* nom, const char* valeur, const char* hote = "", int port = 0) {
        QTest::newRow(nom) << QString::fromUtf8(valeur) << QString::fromUtf8(hote) << port;
    };
    row("name", "smtp.example.org", "smtp.example.org", 25);
    row("name and port", "127.0.0.1:2525", "127.0.0.1", 2525);
    row("bracketed v6 and port", "[::1]:2525", "::1", 2525);
    row("bracketed v6", "[::1]", "::1", 25);
    row("bare v6", "fe80::1", "fe80::1", 25);
    row("spaces around", " mail.example.org ", "mail.example.org", 25);
    row("empty", "");
    row("port not a number", "host:smtp");
    row("port zero", "host:0");
    row("port too big", "host:65536");
    row("empty port", "host:");
    row("no host", ":25");
    row("unclosed bracket", "[::1:25");
}

void TestTexte::serveur()
{
    QFETCH(QString, valeur);
    QFETCH(QString, hote);
    QFETCH(int, port);
    const ServeurSmtp s = lisServeurSmtp(valeur);
    QCOMPARE(s.erreur.isEmpty(), !hote.isEmpty());
    if (!hote.isEmpty()) {
        QCOMPARE(s.hote, hote);
        QCOMPARE(int(s.port), port);
    }
}

QTEST_GUILESS_MAIN(TestTexte)
#include "tst_texte.moc"
