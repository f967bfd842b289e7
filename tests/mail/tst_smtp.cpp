// The SMTP dialogue and the mailing loop of the smtp window, against the scripted fake server:
// the exact bytes of the plain dialogue, replies framed oddly, refusals at each step, and the
// failures that end a whole mailing at once. Real servers (TLS, login, headers) are in
// tst_mailpeer.cpp.

#include "support/fakes.h"
#include "support/fakesmtp.h"
#include "support/peers.h"
#include "ui/smtpwindow.h"

#include <QHostInfo>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

#include <memory>

using namespace corvane;
using test::FakeSmtp;

Q_DECLARE_METATYPE(FakeSmtp::Script)

namespace {

// 06:45 in Paris on 5 December 2026.
const QByteArray kStamp = "05/12/2026 5h45'00 UTC";

QByteArray helo()
{
    const QString nom = QHostInfo::localHostName();
    return "HELO " + (nom.isEmpty() ? QByteArray("localhost") : nom.toLatin1()) + "\r\n";
}

// The bytes of one complete plain dialogue with the bench's settings, sent to one address;
// the random Message-ID as "<id>".
QByteArray dialogue(const QByteArray& adresse)
{
    return helo() + "MAIL FROM:<>\r\nRCPT TO:<" + adresse + ">\r\nDATA\r\n" +
           "Date: Sat, 05 Dec 2026 06:45:00 +0100\r\nMessage-ID: <id>\r\nFrom: Corvane <>\r\n"
           "To: " +
           adresse +
           "\r\nSubject: =?UTF-8?B?QWRyZXNzZSBjaGFuZ8OpZQ==?=\r\n"
           "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=windows-1252\r\n"
           "Content-Transfer-Encoding: 8bit\r\n\r\n"
           "Hello, voici ma nouvelle IP 203.0.113.7 at " +
           kStamp + "\r\n  - Bye -\r\n\r\n" + QByteArray(56, '-') +
           "\r\nThis mail sent by a robot.\r\nDon't reply at this automatic message.\r\n"
           "\r\n.\r\nQUIT\r\n";
}

QByteArray sansId(QByteArray recu)
{
    static const QRegularExpression id(QStringLiteral("Message-ID: <[^>\r\n]*>"));
    return QString::fromLatin1(recu).replace(id, QStringLiteral("Message-ID: <id>")).toLatin1();
}

QString bloc(int n, const QString& adresse, const QString& raison = {})
{
    return QStringLiteral("Mail N°%1\r\n%2\r\n... expe ").arg(n).arg(adresse) +
           (raison.isNull() ? QStringLiteral("OK") : QStringLiteral("ERREUR : ") + raison) +
           QStringLiteral("\r\n");
}

// One smtp window with recording fakes around it, pointed at a server.
struct Banc {
    test::FakePlatform plateforme;
    test::FakeConsole console;
    std::unique_ptr<SmtpWindow> fenetre;
    int termines = 0;

    explicit Banc(const QString& serveur, const QStringList& adresses = {"ami@example.org"})
    {
        console.mail = true;
        console.ip = QStringLiteral("203.0.113.7");
        Parametres& p = console.params;
        p.ServeurSmtp = serveur;
        p.MessageDe = QStringLiteral("Corvane");
        p.Sujet = QStringLiteral("Adresse changée");
        p.Message = QStringLiteral("Hello, voici ma nouvelle IP");
        for (int i = 0; i < adresses.size() && i < 10; ++i) {
            p.Adresses[i] = adresses[i];
        }
        plateforme.clock.current =
            QDateTime(QDate(2026, 12, 5), QTime(6, 45), QTimeZone("Europe/Paris"));
        fenetre = std::make_unique<SmtpWindow>(console, plateforme.platform());
        fenetre->setDelais(5000, 5000);
        fenetre->InitSmtp();
    }
    bool envoie(int ms = 15000)
    {
        // The dialogue's own event loop: QTest::qWaitFor's naps would add ~50 ms to each reply.
        fenetre->InitSmtp();
        QEventLoop boucle;
        QTimer::singleShot(ms, &boucle, &QEventLoop::quit);
        fenetre->BoucleSend([this, p = QPointer<QEventLoop>(&boucle)] {
            ++termines;
            if (p) {
                p->quit();
            }
        });
        if (termines == 0) {
            boucle.exec();
        }
        return termines >= 1;
    }
    QString log() const { return fenetre->texteLog(); }
    QString text1() const
    {
        return fenetre->findChild<QLineEdit*>(QStringLiteral("text1"))->text();
    }
};

// The last bytes may still be on their way when the mailing is over.
bool fermee(const FakeSmtp& serveur, int i = 0)
{
    return QTest::qWaitFor([&] { return serveur.connexions[i].fermee; }, 5000);
}

QStringList dix()
{
    QStringList l;
    for (int i = 1; i <= 10; ++i) {
        l << QStringLiteral("n%1@example.org").arg(i);
    }
    return l;
}

} // namespace

class TestSmtp : public QObject {
    Q_OBJECT
private slots:
    void unMailOctetPourOctet();
    void dialogues_data();
    void dialogues();
    void mailingArrete_data();
    void mailingArrete();
    void sansDialogue_data();
    void sansDialogue();
};

void TestSmtp::unMailOctetPourOctet()
{
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    const QByteArray attendu = dialogue("ami@example.org");
    serveur.ajouteScript(FakeSmtp::scriptPour(attendu));
    Banc b(serveur.adresse());
    QVERIFY(b.envoie());
    QVERIFY2(serveur.echecs().isEmpty(), qPrintable(serveur.echecs()));
    QCOMPARE(serveur.connexions.size(), 1);
    QVERIFY(fermee(serveur));
    QCOMPARE(sansId(serveur.connexions[0].recu), attendu);
    QCOMPARE(b.console.entries, QStringList{bloc(1, "ami@example.org")});
    // Seven replies, one arrival each: greeting, HELO, MAIL, RCPT, DATA, end of data, QUIT.
    QCOMPARE(b.text1(), QStringLiteral("l") + QStringLiteral("ll").repeated(7));
    QCOMPARE(b.log(), QStringLiteral("\r\nConnexion au serveur réalisée"
                                     "\r\n220 fake.test ESMTP\r\n\r\n250 ok\r\n\r\n250 ok\r\n"
                                     "\r\n250 ok\r\n\r\n354 end with .\r\n"
                                     "\r\n250 2.0.0 queued\r\n\r\n221 bye\r\n"));
    QCOMPARE(b.fenetre->NumMail(), 0);
    QCOMPARE(b.fenetre->Rapport(), QString());
    QVERIFY(b.plateforme.boxes.shown.isEmpty());
}

void TestSmtp::dialogues_data()
{
    // Two addresses; the first meets the script, the second a server that takes it. A
    // failure of the connection (arret) ends the mailing: the second gets the same reason.
    QTest::addColumn<FakeSmtp::Script>("script");
    QTest::addColumn<QByteArray>("envoye");
    QTest::addColumn<QString>("raison"); // null: sent
    QTest::addColumn<bool>("arret");
    const QByteArray tout = dialogue("a@example.org");
    const auto row = [&](const char* nom, const FakeSmtp::Script& s, const char* raison = nullptr,
                         bool arret = false, const QByteArray& envoye = {}) {
        QTest::newRow(nom) << s << (envoye.isNull() ? tout : envoye)
                           << (raison ? QString::fromUtf8(raison) : QString()) << arret;
    };
    FakeSmtp::Script s = FakeSmtp::scriptPour(tout);
    s[0].reponse = "220-fake.test ESMTP\r\n220-no UCE\r\n220 ready\r\n";
    s[1].reponse = "250-fake.test\r\n250-SIZE 1000000\r\n250 HELP\r\n";
    row("multi-line greeting and HELO reply", s);
    s = FakeSmtp::scriptPour(tout);
    s[0].reponse = "220 fake.test ESMTP\r\n250 hello\r\n";
    s[1].reponse = {};
    row("greeting and HELO reply in one packet", s);
    s = FakeSmtp::scriptPour(tout);
    s[s.size() - 2].reponse = "250 queued\r\n221 bye\r\n";
    s[s.size() - 1].reponse = {};
    row("end of data and QUIT replies in one packet", s);
    s = FakeSmtp::scriptPour(tout);
    s[1].reponse = "250-fake.test\r\n25";
    s[1].suite = "0-SIZE 1000\r\n250 HELP\r\n";
    s[2].reponse = "2";
    s[2].suite = "50 ok\n"; // a bare LF ends a line too
    row("replies split over packets", s);
    s = FakeSmtp::scriptPour(tout);
    s[s.size() - 2].reponse = "452-4.3.1 insufficient\r\n452 4.3.1 storage\r\n";
    row("end of data refused, multi-line", s, "452 4.3.1 storage");

    // A refusal: nothing of the message after it, then QUIT, answered (no time-out).
    const QByteArray mailFrom = "MAIL FROM:<>\r\n";
    const QByteArray rcpt = "RCPT TO:<a@example.org>\r\n";
    const auto refus = [&](const char* nom, const QByteArray& refusee, const char* reponse,
                           const QByteArray& envoye, bool arret) {
        FakeSmtp::Script r = FakeSmtp::scriptPour(
            envoye, {{refusee, FakeSmtp::Pas{refusee, QByteArray(reponse) + "\r\n"}}});
        if (refusee.isNull()) {
            r[0].reponse = QByteArray(reponse) + "\r\n";
        }
        row(nom, r, reponse, arret, envoye);
    };
    refus("refused greeting", {}, "554 5.3.2 no service", "QUIT\r\n", true);
    refus("refused HELO", helo().chopped(2), "501 5.5.4 bad name", helo() + "QUIT\r\n", true);
    refus("refused MAIL FROM", mailFrom.chopped(2), "553 5.1.8 sender refused",
          helo() + mailFrom + "QUIT\r\n", false);
    refus("refused RCPT TO", rcpt.chopped(2), "550 5.1.1 no such user",
          helo() + mailFrom + rcpt + "QUIT\r\n", false);
    refus("421 to RCPT TO", rcpt.chopped(2), "421 4.3.2 shutting down",
          helo() + mailFrom + rcpt + "QUIT\r\n", true);
    refus("refused DATA", "DATA", "503 5.5.1 no valid recipients",
          helo() + mailFrom + rcpt + "DATA\r\nQUIT\r\n", false);

    // The server hangs up on a command: before MAIL FROM, every address would meet it.
    s = FakeSmtp::scriptPour(helo() + mailFrom + rcpt);
    s.last() = {s.last().attendu, {}, true};
    row("server closes on RCPT TO", s, "connexion fermée par le serveur", false,
        helo() + mailFrom + rcpt);
    s = FakeSmtp::scriptPour(helo());
    s.last() = {s.last().attendu, {}, true};
    row("server closes on HELO", s, "connexion fermée par le serveur", true, helo());
}

void TestSmtp::dialogues()
{
    QFETCH(FakeSmtp::Script, script);
    QFETCH(QByteArray, envoye);
    QFETCH(QString, raison);
    QFETCH(bool, arret);
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    serveur.ajouteScript(script);
    serveur.ajouteScript(FakeSmtp::scriptPour(dialogue("b@example.org")));
    Banc b(serveur.adresse(), {"a@example.org", "b@example.org"});
    QVERIFY(b.envoie());
    QVERIFY2(serveur.echecs().isEmpty(), qPrintable(serveur.echecs()));
    QCOMPARE(serveur.connexions.size(), arret ? 1 : 2);
    QVERIFY(fermee(serveur));
    QCOMPARE(sansId(serveur.connexions[0].recu), envoye);
    QCOMPARE(b.console.entries, QStringList{bloc(1, "a@example.org", raison) +
                                            bloc(2, "b@example.org", arret ? raison : QString())});
    QVERIFY(!b.log().contains(QStringLiteral("Délai dépassé")));
    QVERIFY(b.plateforme.boxes.shown.isEmpty());
}

void TestSmtp::mailingArrete_data()
{
    // Ten addresses; what stops the first stops them all, with one wait at most.
    QTest::addColumn<QString>("serveur"); // "fake": the scripted server; "libre": nobody there
    QTest::addColumn<int>("pasMuet");     // with the fake: the step never answered (0: greeting)
    QTest::addColumn<QString>("securite");
    QTest::addColumn<QString>("utilisateur");
    QTest::addColumn<QString>("motDePasse");
    QTest::addColumn<QString>("certificat"); // "absent", "vide" or empty
    QTest::addColumn<QString>("raison");     // a regular expression
    QTest::newRow("silent server") << "fake" << 0 << ""
                                   << ""
                                   << ""
                                   << ""
                                   << "^pas de réponse du serveur en 0.3 s$";
    QTest::newRow("no reply to MAIL FROM") << "fake" << 2 << ""
                                           << ""
                                           << ""
                                           << ""
                                           << "^pas de réponse du serveur en 0.3 s$";
    QTest::newRow("connection refused") << "libre" << 0 << ""
                                        << ""
                                        << ""
                                        << ""
                                        << "^10061 : Connection refused$";
    QTest::newRow("no server") << "" << 0 << ""
                               << ""
                               << ""
                               << ""
                               << "^serveur smtp non renseigné$";
    QTest::newRow("unknown Securite") << "fake" << 0 << "tls"
                                      << ""
                                      << ""
                                      << ""
                                      << "^valeur de Securite inconnue : \"tls\"";
    QTest::newRow("login with aucune")
        << "fake" << 0 << "aucune"
        << "moi@example.org"
        << "secret-pw"
        << ""
        << "^identifiant défini mais Securite=aucune : le mot de passe ne part jamais en clair$";
    QTest::newRow("CR in the password") << "fake" << 0 << "starttls"
                                        << "moi"
                                        << "pw\rRSET"
                                        << ""
                                        << "^le mot de passe contient un retour à la ligne";
    QTest::newRow("LF in the user") << "fake" << 0 << "ssl"
                                    << "moi\nRSET"
                                    << "secret-pw"
                                    << ""
                                    << "^l'identifiant contient un retour à la ligne";
    QTest::newRow("Certificat missing") << "fake" << 0 << "starttls"
                                        << ""
                                        << ""
                                        << "absent"
                                        << "^fichier Certificat illisible : .*absent.pem";
    QTest::newRow("Certificat not PEM") << "fake" << 0 << "ssl"
                                        << ""
                                        << ""
                                        << "vide"
                                        << "^fichier Certificat sans certificat PEM valide";
}

void TestSmtp::mailingArrete()
{
    QFETCH(QString, serveur);
    QFETCH(int, pasMuet);
    QFETCH(QString, securite);
    QFETCH(QString, utilisateur);
    QFETCH(QString, motDePasse);
    QFETCH(QString, certificat);
    QFETCH(QString, raison);
    FakeSmtp fake;
    QVERIFY(fake.ecoute());
    if (pasMuet > 0) {
        FakeSmtp::Script s = FakeSmtp::scriptPour(helo() + "MAIL FROM:<>\r\n");
        s[pasMuet].reponse = {};
        fake.ajouteScript(s);
    }
    QTemporaryDir dossier;
    const QString adresse = serveur == QLatin1String("fake") ? fake.adresse()
                            : serveur.isEmpty()
                                ? QString()
                                : QStringLiteral("127.0.0.1:%1").arg(test::freePort());
    Banc b(adresse, dix());
    Parametres& p = b.console.params;
    p.SecuriteSmtp = securite;
    p.UtilisateurSmtp = utilisateur;
    p.MotDePasseSmtp = motDePasse;
    if (!certificat.isEmpty()) {
        p.CertificatSmtp = dossier.filePath(certificat + QStringLiteral(".pem"));
        if (certificat == QLatin1String("vide")) {
            QFile f(p.CertificatSmtp);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not a certificate\n") > 0);
        }
    }
    b.fenetre->setDelais(2000, 300);
    QElapsedTimer chrono;
    chrono.start();
    QVERIFY(b.envoie(5000));
    QVERIFY2(chrono.elapsed() < 1500, "one wait at most, not one per address");
    QCOMPARE(b.console.entries.size(), 1);
    const QString rapport = b.console.entries[0];
    const QRegularExpression bloc1(QStringLiteral("^Mail N°1\r\nn1@example.org\r\n"
                                                  "\\.\\.\\. expe ERREUR : ([^\r\n]*)\r\n"));
    const auto m = bloc1.match(rapport);
    QVERIFY2(m.hasMatch(), qPrintable(rapport));
    QVERIFY2(QRegularExpression(raison).match(m.captured(1)).hasMatch(), qPrintable(m.captured(1)));
    QString attendu;
    for (int i = 1; i <= 10; ++i) {
        attendu += bloc(i, QStringLiteral("n%1@example.org").arg(i), m.captured(1));
    }
    QCOMPARE(rapport, attendu);
    // Only the waits met a server: settings that stop the mail stop it before connecting.
    QCOMPARE(fake.connexions.size(), raison.startsWith(QLatin1String("^pas de")) ? 1 : 0);
    QCOMPARE(b.plateforme.boxes.shown.size(), serveur == QLatin1String("libre") ? 1 : 0);
    QVERIFY(b.log().contains(m.captured(1)));
    QVERIFY(motDePasse.isEmpty() || !b.log().contains(motDePasse));
}

void TestSmtp::sansDialogue_data()
{
    QTest::addColumn<bool>("mail");
    QTest::addColumn<QStringList>("adresses");
    // "Mail auto" off: done at once, nothing reported. No address: the empty report.
    QTest::newRow("mail off") << false << QStringList{"ami@example.org"};
    QTest::newRow("no address") << true << QStringList{};
}

void TestSmtp::sansDialogue()
{
    QFETCH(bool, mail);
    QFETCH(QStringList, adresses);
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    Banc b(serveur.adresse(), adresses);
    b.console.mail = mail;
    b.console.audio = true;
    QVERIFY(b.envoie(0));
    QCOMPARE(b.console.entries, mail ? QStringList{QString()} : QStringList{});
    QTest::qWait(100);
    QCOMPARE(serveur.connexions.size(), 0);
    QVERIFY(b.plateforme.sound.played.isEmpty());
    QCOMPARE(b.fenetre->NumMail(), 0);
    QCOMPARE(b.fenetre->Rapport(), QString());
    QVERIFY(!b.fenetre->mailingEnCours());
}

QTEST_MAIN(TestSmtp)
#include "tst_smtp.moc"
