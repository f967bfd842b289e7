// The mail's words and the SMTP settings' rules; the mailing against aiosmtpd (smtp_peer.py)
// and, for what a real server will not do, against FakeSmtp.

#include "mail/mailing.h"
#include "mail/message.h"
#include "mail/utc.h"
#include "support/fakes.h"
#include "support/fakesmtp.h"
#include "support/fichiers.h"
#include "support/peers.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

using namespace corvane;
using test::FakeSmtp;

namespace {

const QString kUser = "veille@example.org";
const QString kMdp = "s3cret-pw";
const QByteArray kHelo = "HELO " + QHostInfo::localHostName().toLatin1() + "\r\n";

// Report block n of a mailing; raison null: sent.
QString bloc(int n, const QString& raison = {})
{
    return QStringLiteral("Mail N°%1\r\nn%1@example.org\r\n... expe ").arg(n) +
           (raison.isNull() ? "OK" : "ERREUR : " + raison) + "\r\n";
}

// A fake clock, the signals recorded; in cases, "." an empty slot, else n<slot>@example.org.
struct Banc {
    test::FakeClock horloge;
    Mailing mailing{horloge};
    QSignalSpy termines{&mailing, &ServiceMail::termine};
    QSignalSpy envoyes{&mailing, &ServiceMail::mailEnvoye};
    QSignalSpy erreurs{&mailing, &ServiceMail::erreurSocket};
    ReglagesMail r;

    Banc(const QString& serveur, const QString& cases)
    {
        horloge.current = QDateTime(QDate(2026, 12, 5), QTime(7, 5, 9), QTimeZone("Europe/Paris"));
        r.serveur = serveur;
        for (int i = 0; i < cases.size(); ++i) {
            r.adresses[i] =
                cases[i] == u'.' ? QString() : QStringLiteral("n%1@example.org").arg(i + 1);
        }
        mailing.setDelais(5000, 5000);
    }
    QString envoie() // one mailing to its end: its report
    {
        mailing.InitSmtp(r);
        mailing.BoucleSend("Hello", "203.0.113.7");
        return termines.wait(20000) ? termines.last().at(0).toString() : "<no end>";
    }
};

} // namespace

class TestMailing : public QObject {
    Q_OBJECT
    QTemporaryDir certDir_;
    test::Certificats certs_;

private slots:
    void initTestCase()
    {
        certs_ = test::fabriqueCertificats(certDir_.path());
        QVERIFY2(certs_.erreur.isEmpty(), qPrintable(certs_.erreur));
    }

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
        // Converted with the rules in force at that instant (winter, single digits: envoi).
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
        row("header: 2000 ascii, no space", relu(QString(2000, u'x')), QString(2000, u'x'));
    }

    void regles()
    {
        QFETCH(QString, obtenu);
        QFETCH(QString, attendu);
        QCOMPARE(obtenu, attendu);
    }

    void envoi_data()
    {
        QTest::addColumn<QStringList>("pair");     // smtp_peer.py's mode and login
        QTest::addColumn<QString>("cases");        // as Banc's
        QTest::addColumn<QStringList>("reglages"); // Securite, password of kUser, Certificat (CA)
        QTest::addColumn<QString>("raison");       // what fails the first address; empty: nothing
        const auto row = [](const char* nom, const QStringList& pair, const char* cases,
                            const QStringList& reglages, const char* raison = "") {
            QTest::newRow(nom) << pair << cases << reglages << QString::fromUtf8(raison);
        };
        const QStringList login{"--user", kUser, "--password", kMdp};
        const QStringList starttls = QStringList{"--mode", "starttls"} + login;
        const QStringList ssl = QStringList{"--mode", "ssl"} + login;
        row("empty slots skipped, numbers kept", {}, ".x.x.....x", {});
        row("no address: no dialogue, the empty report", {}, "", {});
        row("starttls, AUTH PLAIN", starttls, "xx", {"starttls", kMdp});
        row("starttls, AUTH LOGIN", starttls + QStringList{"--auth", "LOGIN"}, "xx",
            {"STARTTLS", kMdp});
        row("ssl, AUTH", ssl, "xx", {"ssl", kMdp});
        row("wrong password", starttls, "xx", {"starttls", "faux-mdp"},
            "^authentification refusée : 535 5\\.7\\.8 ");
        row("certificate of an unknown authority", ssl, "xx", {"ssl", kMdp, certs_.autreCa},
            "^certificat du serveur non reconnu : \\S");
        row("STARTTLS not offered", {"--mode", "nostarttls"}, "xx", {"starttls", kMdp},
            "^le serveur ne propose pas STARTTLS$");
        // Settings that stop the mail.
        row("login with aucune", {}, "xx", {"aucune", kMdp},
            "^identifiant défini mais Securite=aucune : le mot de passe ne part jamais en clair$");
        row("CR in the password", {}, "xx", {"starttls", "pw\rRSET"},
            "^le mot de passe contient un retour à la ligne");
    }

    void envoi()
    {
        QFETCH(QStringList, pair);
        QFETCH(QString, cases);
        QFETCH(QStringList, reglages);
        QFETCH(QString, raison);
        QTemporaryDir dossier;
        test::Peer peer;
        QVERIFY2(peer.start("/usr/bin/python3",
                            QStringList{test::sourcePath("tests/support/smtp_peer.py"), "--port",
                                        "{port}", "--dir", dossier.path(), "--cert", certs_.cert,
                                        "--key", certs_.cle} +
                                pair),
                 qPrintable(peer.error()));
        Banc b(QStringLiteral("127.0.0.1:%1").arg(peer.port()), cases);
        b.r.securite = reglages.value(0);
        b.r.motDePasse = reglages.value(1);
        b.r.utilisateur = b.r.motDePasse.isEmpty() ? QString() : kUser;
        b.r.certificat = reglages.value(2, certs_.ca);
        // A sender and a subject to encode and fold, as Python's email package reads them back.
        b.r.messageDe = "Véronique « veille » Dupré";
        b.r.sujet = "Adresse IP changée 😀 " + QStringLiteral("très longue ").repeated(30);
        b.r.adresseExpediteur = kUser;
        const auto recus = [&dossier] { // what Python's email package read in each mail, in order
            QList<QJsonObject> tous;
            for (const QString& nom : QDir(dossier.path()).entryList({"*.json"}, QDir::Files)) {
                tous << QJsonDocument::fromJson(test::lit(dossier.filePath(nom))).object();
            }
            return tous;
        };
        QList<qsizetype> recusALaFin; // the mails on the server at each end of mailing
        connect(&b.mailing, &ServiceMail::termine, this, [&] { recusALaFin << recus().size(); });
        b.mailing.InitSmtp(b.r);
        b.mailing.BoucleSend("Hello", "203.0.113.7");
        // A second change while the first mailing runs: its own address and stamp, taken now.
        b.horloge.current = b.horloge.current.addSecs(61);
        b.mailing.BoucleSend("Hello", "198.51.100.9");
        QVERIFY(b.termines.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(b.termines.size(), 2, 20000);
        const QString vue =
            b.termines[0].at(0).toString().section("ERREUR : ", 1).section("\r\n", 0, 0);
        QVERIFY2(QRegularExpression(raison).match(vue).hasMatch(), qPrintable(vue));
        // The login or the TLS of the first address would fail the others the same way.
        QString rapport;
        QStringList destinataires;
        for (int i = 0; i < cases.size(); ++i) {
            if (cases[i] != u'.') {
                rapport += bloc(i + 1, raison.isEmpty() ? QString() : vue);
                destinataires << b.r.adresses[i];
            }
        }
        for (const QList<QVariant>& fin : b.termines) {
            QCOMPARE(fin.at(0).toString(), rapport);
        }
        QCOMPARE(b.envoyes.size(), 2 * (raison.isEmpty() ? destinataires.size() : 1));
        const qsizetype n = raison.isEmpty() ? destinataires.size() : 0;
        QCOMPARE(recusALaFin, (QList<qsizetype>{n, 2 * n}));
        const QList<QJsonObject> mails = recus();
        for (qsizetype i = 0; i < mails.size(); ++i) {
            const QJsonObject attendu{
                {"to", destinataires[i % n]},
                {"from_name", b.r.messageDe},
                {"from_addr", kUser},
                {"mail_from", kUser},
                {"subject", b.r.sujet},
                {"defects", QJsonValue(QJsonValue::Array)},
                {"long_lines", 0},
                {"tls", !b.r.securite.isEmpty()},
                {"login", b.r.utilisateur.isEmpty() ? QJsonValue() : kUser},
                {"first_line", i < n ? "Hello 203.0.113.7 at 05/12/2026 6h05'09 UTC"
                                     : "Hello 198.51.100.9 at 05/12/2026 6h06'10 UTC"}};
            QVERIFY2(mails[i] == attendu, QJsonDocument(mails[i]).toJson().constData());
        }
        // Nothing of the login is shown or logged: not the password, not its base64.
        const QByteArray mdp = b.r.motDePasse.toUtf8();
        const QByteArray plain = QByteArray(1, '\0') + kUser.toUtf8() + '\0' + mdp; // AUTH PLAIN's
        for (const QString& secret : {QString::fromUtf8(mdp), QString::fromLatin1(mdp.toBase64()),
                                      QString::fromLatin1(plain.toBase64())}) {
            QVERIFY(mdp.isEmpty() || !(b.mailing.texteLog() + rapport).contains(secret));
        }
    }

    void dialogue_data()
    {
        // n1 of ten meets the script, the others kAccepte; arret: a failed connection ends it all.
        QTest::addColumn<QByteArrayList>("script");
        QTest::addColumn<QByteArray>("envoye"); // what n1's server receives; null: not checked
        QTest::addColumn<QString>("raison");    // null: sent
        QTest::addColumn<bool>("arret");
        const auto row = [](const char* nom, const QByteArrayList& script, const QByteArray& envoye,
                            const char* raison, bool arret) {
            QTest::newRow(nom) << script << envoye << QString::fromUtf8(raison) << arret;
        };
        const QByteArray bye = "221 bye\r\n";
        const QByteArray mailFrom = kHelo + "MAIL FROM:<>\r\n";
        FakeSmtp::Script s = FakeSmtp::kAccepte;
        s[1] = "250-fake.test\r\n25|0 HELP\r\n";
        s[2] = "2|50 ok\n"; // a bare LF ends a line too
        row("replies split over packets", s, {}, nullptr, false);
        s = FakeSmtp::kAccepte;
        s[5] = "452-4.3.1 insufficient\r\n452 4.3.1 storage\r\n";
        row("end of data refused, multi-line", s, {}, "452 4.3.1 storage", false);
        // A refusal: nothing of the message after it, then QUIT, answered (no time-out).
        row("refused greeting", {"554 5.3.2 no service\r\n", bye}, "QUIT\r\n",
            "554 5.3.2 no service", true);
        row("refused HELO", {s[0], "501 5.5.4 bad HELO\r\n", bye}, kHelo + "QUIT\r\n",
            "501 5.5.4 bad HELO", true);
        row("refused DATA", {s[0], s[1], s[2], s[3], "554 5.5.1 no valid recipients\r\n", bye},
            mailFrom + "RCPT TO:<n1@example.org>\r\nDATA\r\nQUIT\r\n",
            "554 5.5.1 no valid recipients", false);
        row("refused MAIL FROM", {s[0], s[1], "553 5.1.8 sender refused\r\n", bye},
            mailFrom + "QUIT\r\n", "553 5.1.8 sender refused", false);
        row("refused RCPT TO", {s[0], s[1], s[2], "550 5.1.1 recipient refused\r\n", bye},
            mailFrom + "RCPT TO:<n1@example.org>\r\nQUIT\r\n", "550 5.1.1 recipient refused",
            false);
        row("421 to RCPT TO", {s[0], s[1], s[2], "421 4.3.2 shutting down\r\n", bye},
            mailFrom + "RCPT TO:<n1@example.org>\r\nQUIT\r\n", "421 4.3.2 shutting down", true);
        // The server hangs up: before MAIL FROM, every address would meet it.
        row("server closes on HELO", {s[0], FakeSmtp::kFerme}, kHelo,
            "connexion fermée par le serveur", true);
        // A greeting never ended: nothing is said before it, its bytes do not draw the wait out.
        row("greeting trickling past the wait", {"220-x" + QByteArray("|x").repeated(40)}, "",
            "pas de réponse du serveur en 0.5 s", true);
        row("connection refused", {}, {}, "10061 : Connection refused", true); // nobody listens
    }

    void dialogue()
    {
        QFETCH(QByteArrayList, script);
        QFETCH(QByteArray, envoye);
        QFETCH(QString, raison);
        QFETCH(bool, arret);
        FakeSmtp fake;
        QVERIFY(fake.ecoute());
        fake.ajouteScript(script);
        fake.ajouteScript(FakeSmtp::kAccepte);
        const bool personne = raison.startsWith("10061");
        Banc b(personne ? QStringLiteral("127.0.0.1:%1").arg(test::freePort()) : fake.adresse(),
               "xxxxxxxxxx");
        b.mailing.setDelais(2000, 500);
        const QDeadlineTimer uneAttente(1500);
        const QString rapport = b.envoie();
        QVERIFY2(!arret || !uneAttente.hasExpired(), "one wait at most, not one per address");
        QString attendu = bloc(1, raison);
        for (int i = 2; i <= 10; ++i) {
            attendu += bloc(i, arret ? raison : QString());
        }
        QCOMPARE(rapport, attendu);
        QCOMPARE(b.envoyes.size(), arret ? 1 : 10);
        QCOMPARE(fake.connexions.size(), !arret ? 10 : personne ? 0 : 1);
        QCOMPARE(b.erreurs.size(), personne ? 1 : 0); // the socket error box
        if (!envoye.isNull()) {
            // The last bytes may still be on their way when the mailing is over.
            QVERIFY(QTest::qWaitFor([&] { return fake.connexions[0].fermee; }, 5000));
            QCOMPARE(fake.connexions[0].recu, envoye);
        }
        const QString log = b.mailing.texteLog();
        // An expired wait leaves its line in the log; a refusal's QUIT is answered, not waited out.
        const bool delai = raison.startsWith("pas de");
        QCOMPARE(log.contains("Délai dépassé"), delai);
        QVERIFY(!delai || log.contains(raison));
    }

    void journalBorne()
    {
        // A greeting flooded at each mailing: the log keeps its end, from a line start, bounded.
        FakeSmtp serveur;
        QVERIFY(serveur.ecoute());
        serveur.ajouteScript({("220-" + QByteArray(74, 'x') + "\r\n").repeated(1400)});
        Banc b(serveur.adresse(), "x");
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(b.envoie(), bloc(1, "réponse du serveur trop longue"));
        }
        const QString log = b.mailing.texteLog();
        QVERIFY2(log.size() > Mailing::kLogMax / 2 && log.size() <= Mailing::kLogMax,
                 qPrintable(QString::number(log.size())));
        QVERIFY(log.startsWith("\r\n"));
    }
};

QTEST_MAIN(TestMailing)
#include "tst_mailing.moc"
