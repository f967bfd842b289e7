// The mail's words and the SMTP settings' rules: the UTC stamp, the Date, the sender, the
// server setting, the body, the header lines and the bytes after DATA.

#include "mail/message.h"
#include "mail/utc.h"
#include "support/fakes.h"

#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>

#include <functional>

using namespace corvane;

class TestTexte : public QObject {
    Q_OBJECT
private slots:
    void regles_data();
    void regles();
    void contenu_data();
    void contenu();
    void entete_data();
    void entete();
    void messageId();
};

namespace {

using Regle = std::function<QString(const QStringList&)>;

QDateTime dans(const QString& zone, const QString& iso)
{
    const QDateTime t = QDateTime::fromString(iso, Qt::ISODateWithMs);
    return QDateTime(t.date(), t.time(), QTimeZone(zone.toLatin1()));
}

// Each rule gives a text from its inputs; a refused setting reads "refusé".
const QHash<QString, Regle>& parNom()
{
    static const QHash<QString, Regle> r{
        {"HeureUTC",
         [](const QStringList& e) {
             test::FakeClock clock;
             clock.current = dans(e[0], e[1]);
             return HeureUTC(clock);
         }},
        {"dateRfc5322", [](const QStringList& e) { return dateRfc5322(dans(e[0], e[1])); }},
        {"lisSecurite",
         [](const QStringList& e) {
             const std::optional<Securite> s = lisSecurite(e[0]);
             if (!s) {
                 return QStringLiteral("refusé");
             }
             // The port a server setting without one gets.
             return QString::number(lisServeurSmtp("h", portParDefaut(*s)).port);
         }},
        {"lisServeurSmtp",
         [](const QStringList& e) {
             const ServeurSmtp s = lisServeurSmtp(e[0]);
             return s.erreur.isEmpty() ? s.hote + u' ' + QString::number(s.port)
                                       : QStringLiteral("refusé");
         }},
        {"adresseEnvoi", [](const QStringList& e) { return adresseEnvoi(e[0], e[1], e[2]); }},
        {"entreChevrons", [](const QStringList& e) { return entreChevrons(e[0]); }},
        {"phraseAffichee", [](const QStringList& e) { return phraseAffichee(e[0]); }},
        {"CorpsMail", [](const QStringList& e) { return CorpsMail(e[0], e[1], e[2]); }},
    };
    return r;
}

} // namespace

void TestTexte::regles_data()
{
    QTest::addColumn<QString>("regle");
    QTest::addColumn<QStringList>("entree");
    QTest::addColumn<QString>("attendu");
    const auto row = [](const char* regle, const char* nom, const QStringList& entree,
                        const char* attendu) {
        QTest::addRow("%s: %s", regle, nom) << regle << entree << QString::fromUtf8(attendu);
    };
    // The stamp of the local time, converted with the rules in force at that instant.
    const char* utc = "HeureUTC";
    row(utc, "paris winter", {"Europe/Paris", "2026-12-05T07:05:09"}, "05/12/2026 6h05'09 UTC");
    row(utc, "before autumn change, day before", {"Europe/Paris", "2026-10-25T01:59:59"},
        "24/10/2026 23h59'59 UTC");
    const char* date = "dateRfc5322";
    row(date, "behind utc", {"America/New_York", "2026-07-04T23:05:09"},
        "Sat, 04 Jul 2026 23:05:09 -0400");
    row(date, "half hour", {"Asia/Kolkata", "2027-01-01T00:05:09"},
        "Fri, 01 Jan 2027 00:05:09 +0530");
    const char* sec = "lisSecurite";
    row(sec, "aucune, spaces and case", {" Aucune "}, "25");
    row(sec, "starttls", {"STARTTLS"}, "587");
    row(sec, "tls", {"tls"}, "refusé");
    const char* srv = "lisServeurSmtp";
    row(srv, "name", {"smtp.example.org"}, "smtp.example.org 25");
    row(srv, "bracketed v6 and port", {"[::1]:2525"}, "::1 2525");
    row(srv, "bare v6", {"fe80::1"}, "fe80::1 25");
    row(srv, "port too big", {"host:65536"}, "refusé");
    // Adresse expediteur, Utilisateur, Message de.
    const char* exp = "adresseEnvoi";
    row(exp, "set, in brackets", {"<moi@example.org>", "", ""}, "moi@example.org");
    row(exp, "login holds @", {"", "u@example.org", "Corvane"}, "u@example.org");
    row(exp, "login without @, name", {"", "u123", "Corvane"}, "");
    row(exp, "name is an address", {"", "u123", "veille@example.org"}, "veille@example.org");
    const char* chev = "entreChevrons";
    row(chev, "bare", {"a@b.c"}, "<a@b.c>");
    row(chev, "line break dropped", {"a@b.c\r\nRSET"}, "<a@b.cRSET>");
    const char* nom = "phraseAffichee";
    row(nom, "plain atoms", {"Veille IP"}, "Veille IP");
    row(nom, "specials quoted", {"Jean \"J\" (veille)"}, "\"Jean \\\"J\\\" (veille)\"");
    row("CorpsMail", "the body, byte for byte", {"Hello", "203.0.113.7", "05/12/2026 6h05'09 UTC"},
        "Hello 203.0.113.7 at 05/12/2026 6h05'09 UTC\r\n  - Bye -\r\n\r\n"
        "--------------------------------------------------------\r\n"
        "This mail sent by a robot.\r\nDon't reply at this automatic message.");
}

void TestTexte::regles()
{
    QFETCH(QString, regle);
    QFETCH(QStringList, entree);
    QFETCH(QString, attendu);
    const Regle r = parNom().value(regle);
    QVERIFY2(r, qPrintable(regle));
    QCOMPARE(r(entree), attendu);
}

void TestTexte::contenu_data()
{
    QTest::addColumn<QString>("corps");
    QTest::addColumn<QByteArray>("attendu"); // what follows the empty line after the headers
    QTest::newRow("lone dot line") << "a\r\n.\r\nb" << QByteArray("a\r\n..\r\nb\r\n\r\n.\r\n");
    QTest::newRow("lone LF and lone CR")
        << "a\nb\rc\r\n\nd" << QByteArray("a\r\nb\r\nc\r\n\r\nd\r\n\r\n.\r\n");
    QTest::newRow("dot after lone LF") << "a\n.\n.x" << QByteArray("a\r\n..\r\n..x\r\n\r\n.\r\n");
    QTest::newRow("windows-1252") << "é € ÿ" << QByteArray("\xe9 \x80 \xff\r\n\r\n.\r\n");
}

void TestTexte::contenu()
{
    QFETCH(QString, corps);
    QFETCH(QByteArray, attendu);
    EnteteMail e;
    e.date = QDateTime(QDate(2026, 12, 5), QTime(6, 45));
    const QByteArray m = contenuMessage(e, corps);
    QCOMPARE(m.mid(m.indexOf("\r\n\r\n") + 4), attendu);
}

namespace {

// RFC 2047 read back: a header value (after "Nom:") made only of encoded words, unfolded.
QString decode(const QString& valeur)
{
    static const QRegularExpression mot("^=\\?UTF-8\\?B\\?([A-Za-z0-9+/=]*)\\?=$");
    QByteArray utf8;
    for (const QString& m : valeur.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts)) {
        const auto r = mot.match(m);
        if (!r.hasMatch()) {
            return "<not an encoded word: " + m + QLatin1Char('>');
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
    QTest::newRow("line breaks dropped") << "a\r\nBcc: x"
                                         << "Subject: aBcc: x";
    QTest::newRow("long ascii folded at spaces")
        << longAscii
        << "Subject: " + QStringLiteral("mot ").repeated(17).trimmed() + "\r\n " +
               QStringLiteral("mot ").repeated(19).trimmed() + "\r\n " +
               QStringLiteral("mot ").repeated(4).trimmed();
    QTest::newRow("looks encoded") << "=?UTF-8?B?eA==?=" << QString();
    QTest::newRow("long, emoji across words") << QStringLiteral("é😀x").repeated(60) << QString();
    QTest::newRow("2000 ascii, no space") << QString(2000, QLatin1Char('x')) << QString();
}

void TestTexte::entete()
{
    QFETCH(QString, valeur);
    QFETCH(QString, ligne);
    const QString l = ligneEntete("Subject", valeur);
    if (!ligne.isNull()) {
        QCOMPARE(l, ligne);
        return;
    }
    QVERIFY(l.startsWith("Subject: =?UTF-8?B?"));
    for (const QString& physique : l.split("\r\n")) {
        QVERIFY2(physique.size() <= 76, qPrintable(physique));
    }
    QCOMPARE(decode(l.mid(8)), valeur);
    // Each word holds whole characters: none decodes to broken UTF-8.
    for (const QString& mot : l.mid(9).split(QRegularExpression("\\s+"))) {
        QVERIFY(!decode(mot).contains(QChar::ReplacementCharacter));
    }
}

void TestTexte::messageId()
{
    const QDateTime t(QDate(2026, 12, 5), QTime(6, 45), QTimeZone("Europe/Paris"));
    const QString a = nouveauMessageId("veille@mail.example.org", t);
    QVERIFY2(QRegularExpression("^<20261205054500\\.[0-9a-f]{16}@mail\\.example\\.org>$")
                 .match(a)
                 .hasMatch(),
             qPrintable(a));
    QVERIFY(a != nouveauMessageId("veille@mail.example.org", t));
    QVERIFY(nouveauMessageId(QString(), t).endsWith("@localhost>"));
    QVERIFY(nouveauMessageId("x@a b>\r\n", t).endsWith("@ab>"));
}

QTEST_GUILESS_MAIN(TestTexte)
#include "tst_texte.moc"
