// The mail's words and the SMTP settings' rules, from the UTC stamp to the bytes after DATA.

#include "mail/message.h"
#include "mail/utc.h"

#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>

using namespace corvane;

class TestTexte : public QObject {
    Q_OBJECT
private slots:
    void regles_data()
    {
        QTest::addColumn<QString>("obtenu");
        QTest::addColumn<QString>("attendu");
        const auto row = [](const char* nom, const QString& obtenu, const QString& attendu) {
            QTest::newRow(nom) << obtenu << attendu;
        };
        const auto dans = [](const char* zone, const char* iso) {
            QDateTime t = QDateTime::fromString(iso, Qt::ISODate);
            t.setTimeZone(QTimeZone(zone));
            return t;
        };
        const auto donnees = [](const QString& corps) { // after the headers, as Windows-1252 bytes
            const QByteArray m = contenuMessage({}, corps);
            return QString::fromLatin1(m.mid(m.indexOf("\r\n\r\n") + 4));
        };
        const auto serveur = [](const char* valeur) {
            const ServeurSmtp s = lisServeurSmtp(valeur);
            return s.erreur.isEmpty() ? s.hote + u' ' + QString::number(s.port) : "refusé";
        };
        // Message-ID: the UTC time, 16 hex digits (unique), the sender's domain or localhost.
        const QDateTime t(QDate(2026, 12, 5), QTime(6, 45), QTimeZone("Europe/Paris"));
        const auto id = [&t](const char* adresse) {
            static const QRegularExpression hasard("\\.[0-9a-f]{16}@");
            return nouveauMessageId(adresse, t).replace(hasard, ".H@");
        };
        // Lines of 76 at most, RFC 2047 read back word by word: a cut character would not return.
        const auto relu = [](const QString& valeur) {
            static const QRegularExpression mot("^=\\?UTF-8\\?B\\?([A-Za-z0-9+/=]*)\\?=$");
            const QString l = ligneEntete("Subject", valeur);
            QString lu;
            for (const QString& m : l.mid(9).split(QRegularExpression("\\s+"))) {
                const auto r = mot.match(m);
                lu += r.hasMatch()
                          ? QString::fromUtf8(QByteArray::fromBase64(r.captured(1).toLatin1()))
                          : "<not an encoded word: " + m + '>';
            }
            for (const QString& ligne : l.split("\r\n")) {
                lu += ligne.size() > 76 ? "<too long: " + ligne + '>' : "";
            }
            return lu;
        };
        // Converted with the rules in force at that instant (winter, single digits: tst_mailing).
        row("utc: before autumn change, day before",
            FormateUTC(dans("Europe/Paris", "2026-10-25T01:59:59")), "24/10/2026 23h59'59 UTC");
        row("date: behind utc", dateRfc5322(dans("America/New_York", "2026-07-04T23:05:09")),
            "Sat, 04 Jul 2026 23:05:09 -0400");
        row("date: half hour", dateRfc5322(dans("Asia/Kolkata", "2027-01-01T00:05:09")),
            "Fri, 01 Jan 2027 00:05:09 +0530");
        row("securite: aucune, spaces and case, port 25",
            QString::number(portParDefaut(lisSecurite(" Aucune ").value_or(Securite::Ssl))), "25");
        row("serveur: bracketed v6 and port", serveur("[::1]:2525"), "::1 2525");
        row("serveur: bare v6, port 25", serveur("fe80::1"), "fe80::1 25");
        row("serveur: port too big", serveur("host:65536"), "refusé");
        // Adresse expediteur, Utilisateur, Message de.
        row("envoi: set, in brackets", adresseEnvoi("<moi@example.org>", "", ""),
            "moi@example.org");
        row("envoi: login holds @", adresseEnvoi("", "u@example.org", "Corvane"), "u@example.org");
        row("envoi: login without @, name", adresseEnvoi("", "u123", "Corvane"), "");
        row("envoi: name is an address", adresseEnvoi("", "u123", "veille@example.org"),
            "veille@example.org");
        row("chevrons: line break dropped", entreChevrons("a@b.c\r\nRSET"), "<a@b.cRSET>");
        row("nom: specials quoted", phraseAffichee("Jean \"J\" (veille)"),
            "\"Jean \\\"J\\\" (veille)\"");
        row("id: sender's domain", id("veille@mail.example.org"),
            "<20261205054500.H@mail.example.org>");
        row("id: domain cleaned", id("x@a b>\r\n"), "<20261205054500.H@ab>");
        row("id: unique", QString::number(nouveauMessageId("a@b", t) == nouveauMessageId("a@b", t)),
            "0");
        row("corps, byte for byte", CorpsMail("Hello", "203.0.113.7", "05/12/2026 6h05'09 UTC"),
            "Hello 203.0.113.7 at 05/12/2026 6h05'09 UTC\r\n  - Bye -\r\n\r\n"
            "--------------------------------------------------------\r\n"
            "This mail sent by a robot.\r\nDon't reply at this automatic message.");
        row("data: lone LF and lone CR", donnees("a\nb\rc\r\n\nd"),
            "a\r\nb\r\nc\r\n\r\nd\r\n\r\n.\r\n");
        row("data: dot lines stuffed", donnees("a\n.\n.x"), "a\r\n..\r\n..x\r\n\r\n.\r\n");
        row("data: windows-1252", donnees("é € ÿ"),
            QString::fromLatin1("\xe9 \x80 \xff\r\n\r\n.\r\n"));
        row("header: line breaks dropped", ligneEntete("Subject", "a\r\nBcc: x"),
            "Subject: aBcc: x");
        row("header: long ascii folded at spaces",
            ligneEntete("Subject", QStringLiteral("mot ").repeated(40).trimmed()),
            "Subject: " + QStringLiteral("mot ").repeated(17).trimmed() + "\r\n " +
                QStringLiteral("mot ").repeated(19).trimmed() + "\r\n mot mot mot mot");
        const QString emojis = QStringLiteral("é😀x").repeated(60);
        row("header: looks encoded", relu("=?UTF-8?B?eA==?="), "=?UTF-8?B?eA==?=");
        row("header: long, emoji across words", relu(emojis), emojis);
        row("header: 2000 ascii, no space", relu(QString(2000, u'x')), QString(2000, u'x'));
    }

    void regles()
    {
        QFETCH(QString, obtenu);
        QFETCH(QString, attendu);
        QCOMPARE(obtenu, attendu);
    }
};

QTEST_GUILESS_MAIN(TestTexte)
#include "tst_texte.moc"
