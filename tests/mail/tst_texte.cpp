// The mail's words: the UTC stamp, the body, the header lines, the bytes after DATA and the
// settings (server, security, sender address).

#include "mail/message.h"
#include "mail/utc.h"
#include "support/fakes.h"

#include <QRegularExpression>
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
    void entete_data();
    void entete();
    void nomAffiche();
    void date_data();
    void date();
    void messageId();
    void securite();
    void expediteur_data();
    void expediteur();
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
    QTest::newRow("paris summer") << QByteArray("Europe/Paris") << at(2026, 7, 14, 12, 0, 0)
                                  << "14/07/2026 10h00'00 UTC";
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
    QTest::newRow("new york winter evening, next year")
        << QByteArray("America/New_York") << at(2026, 12, 31, 20, 15, 7)
        << "01/01/2027 1h15'07 UTC";
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
    const EnteteMail e{QDateTime(QDate(2026, 12, 5), QTime(6, 45), QTimeZone("Europe/Paris")),
                       QStringLiteral("<1.2@example.org>"),
                       QStringLiteral("Corvane"),
                       {},
                       QStringLiteral("ami@example.org"),
                       QStringLiteral("Nouvelle IP")};
    const QByteArray tete =
        "Date: Sat, 05 Dec 2026 06:45:00 +0100\r\nMessage-ID: <1.2@example.org>\r\n"
        "From: Corvane <>\r\nTo: ami@example.org\r\nSubject: Nouvelle IP\r\n"
        "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=windows-1252\r\n"
        "Content-Transfer-Encoding: 8bit\r\n\r\n";
    QCOMPARE(contenuMessage(e, corps), tete + attendu);
}

namespace {

// RFC 2047 read back: a header value (after "Nom:") made only of encoded words, unfolded.
QString decode(const QString& valeur)
{
    static const QRegularExpression mot(QStringLiteral("^=\\?UTF-8\\?B\\?([A-Za-z0-9+/=]*)\\?=$"));
    QByteArray utf8;
    for (const QString& m :
         valeur.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        const auto r = mot.match(m);
        if (!r.hasMatch()) {
            return QStringLiteral("<not an encoded word: ") + m + QLatin1Char('>');
        }
        utf8 += QByteArray::fromBase64(r.captured(1).toLatin1());
    }
    return QString::fromUtf8(utf8);
}

} // namespace

void TestTexte::entete_data()
{
    QTest::addColumn<QString>("valeur");
    QTest::addColumn<QString>("ligne"); // null: encoded words, checked by reading them back
    const QString longAscii = QStringLiteral("mot ").repeated(40).trimmed();
    QTest::newRow("ascii") << "Nouvelle IP"
                           << "Subject: Nouvelle IP";
    QTest::newRow("empty") << ""
                           << "Subject:";
    QTest::newRow("line breaks dropped") << "a\r\nBcc: x"
                                         << "Subject: aBcc: x";
    QTest::newRow("long ascii folded at spaces")
        << longAscii
        << "Subject: " + QStringLiteral("mot ").repeated(17).trimmed() + "\r\n " +
               QStringLiteral("mot ").repeated(19).trimmed() + "\r\n " +
               QStringLiteral("mot ").repeated(4).trimmed();
    QTest::newRow("looks encoded") << "=?UTF-8?B?eA==?=" << QString();
    QTest::newRow("accents") << QStringLiteral("Adresse changée") << QString();
    QTest::newRow("long, emoji across words") << QStringLiteral("é😀x").repeated(60) << QString();
    QTest::newRow("2000 ascii, no space") << QString(2000, QLatin1Char('x')) << QString();
}

void TestTexte::entete()
{
    QFETCH(QString, valeur);
    QFETCH(QString, ligne);
    const QString l = ligneEntete(QStringLiteral("Subject"), valeur);
    if (!ligne.isNull()) {
        QCOMPARE(l, ligne);
        return;
    }
    QVERIFY(l.startsWith(QStringLiteral("Subject: =?UTF-8?B?")));
    for (const QString& physique : l.split(QStringLiteral("\r\n"))) {
        QVERIFY2(physique.size() <= 76, qPrintable(physique));
    }
    QCOMPARE(decode(l.mid(8)), valeur);
    // Each word holds whole characters: none decodes to broken UTF-8.
    for (const QString& mot : l.mid(9).split(QRegularExpression(QStringLiteral("\\s+")))) {
        QVERIFY(!decode(mot).contains(QChar::ReplacementCharacter));
    }
}

void TestTexte::nomAffiche()
{
    // A display name as plain atoms, quoted when it holds specials, encoded when not ASCII.
    QCOMPARE(phraseAffichee(QStringLiteral("Veille IP")), QStringLiteral("Veille IP"));
    QCOMPARE(phraseAffichee(QStringLiteral("Jean \"J\" (veille)")),
             QStringLiteral("\"Jean \\\"J\\\" (veille)\""));
    QCOMPARE(decode(phraseAffichee(QStringLiteral("Véronique"))), QStringLiteral("Véronique"));
}

void TestTexte::date_data()
{
    QTest::addColumn<QDateTime>("instant");
    QTest::addColumn<QString>("attendu");
    const auto at = [](int y, int mo, int d, int h, const char* zone) {
        return QDateTime(QDate(y, mo, d), QTime(h, 5, 9), QTimeZone(zone));
    };
    QTest::newRow("paris winter") << at(2026, 12, 5, 7, "Europe/Paris")
                                  << "Sat, 05 Dec 2026 07:05:09 +0100";
    QTest::newRow("new york summer")
        << at(2026, 7, 4, 23, "America/New_York") << "Sat, 04 Jul 2026 23:05:09 -0400";
    QTest::newRow("kolkata half hour")
        << at(2027, 1, 1, 0, "Asia/Kolkata") << "Fri, 01 Jan 2027 00:05:09 +0530";
    QTest::newRow("utc") << at(2026, 3, 30, 12, "UTC") << "Mon, 30 Mar 2026 12:05:09 +0000";
}

void TestTexte::date()
{
    QFETCH(QDateTime, instant);
    QFETCH(QString, attendu);
    QCOMPARE(dateRfc5322(instant), attendu);
}

void TestTexte::messageId()
{
    const QDateTime t(QDate(2026, 12, 5), QTime(6, 45), QTimeZone("Europe/Paris"));
    const QString a = nouveauMessageId(QStringLiteral("veille@mail.example.org"), t);
    QVERIFY2(
        QRegularExpression(QStringLiteral("^<20261205054500\\.[0-9a-f]{16}@mail\\.example\\.org>$"))
            .match(a)
            .hasMatch(),
        qPrintable(a));
    QVERIFY(a != nouveauMessageId(QStringLiteral("veille@mail.example.org"), t));
    QVERIFY(nouveauMessageId(QString(), t).endsWith(QStringLiteral("@localhost>")));
    QVERIFY(nouveauMessageId(QStringLiteral("x@a b>\r\n"), t).endsWith(QStringLiteral("@ab>")));
}

void TestTexte::securite()
{
    const QList<std::pair<QString, std::optional<Securite>>> cas{
        {"", Securite::Aucune}, {" Aucune ", Securite::Aucune}, {"STARTTLS", Securite::StartTls},
        {"ssl", Securite::Ssl}, {"tls", std::nullopt},          {"oui", std::nullopt}};
    for (const auto& [valeur, attendu] : cas) {
        QCOMPARE(lisSecurite(valeur), attendu);
    }
    QCOMPARE(lisServeurSmtp(QStringLiteral("h"), portParDefaut(Securite::StartTls)).port, 587);
    QCOMPARE(lisServeurSmtp(QStringLiteral("h"), portParDefaut(Securite::Ssl)).port, 465);
    QCOMPARE(lisServeurSmtp(QStringLiteral("[::1]:2525"), portParDefaut(Securite::Ssl)).port, 2525);
}

void TestTexte::expediteur_data()
{
    QTest::addColumn<QString>("adresse");
    QTest::addColumn<QString>("utilisateur");
    QTest::addColumn<QString>("messageDe");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("set") << "moi@example.org"
                         << "u@example.org"
                         << "x@y"
                         << "moi@example.org";
    QTest::newRow("set, in brackets") << "<moi@example.org>"
                                      << ""
                                      << ""
                                      << "moi@example.org";
    QTest::newRow("login holds @") << ""
                                   << "u@example.org"
                                   << "Corvane"
                                   << "u@example.org";
    QTest::newRow("login without @, name") << ""
                                           << "u123"
                                           << "Corvane"
                                           << "";
    QTest::newRow("name is an address") << ""
                                        << "u123"
                                        << "veille@example.org"
                                        << "veille@example.org";
    QTest::newRow("name with a space") << ""
                                       << ""
                                       << "Veille <v@x.org>"
                                       << "";
}

void TestTexte::expediteur()
{
    QFETCH(QString, adresse);
    QFETCH(QString, utilisateur);
    QFETCH(QString, messageDe);
    QFETCH(QString, attendu);
    QCOMPARE(adresseEnvoi(adresse, utilisateur, messageDe), attendu);
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
