// The mailing service against a real SMTP server (aiosmtpd, tests/support/smtp_peer.py): the
// address loop and its report, the header as Python reads it, the queue, TLS and login. Against
// the scripted server, what a real one will not do: silence, replies split or refused, hang-ups.

#include "mail/mailing.h"
#include "support/fakes.h"
#include "support/fakesmtp.h"
#include "support/fichiers.h"
#include "support/peers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace corvane;
using test::FakeSmtp;

namespace {

const QString kUser = "veille@example.org";
const QString kMdp = "s3cret-pw";
const QString kIp = "203.0.113.7";

// What the service said in its logging category.
QStringList journalMail;
QtMessageHandler handlerQt = nullptr;
void capture(QtMsgType type, const QMessageLogContext& contexte, const QString& message)
{
    if (contexte.category && QByteArray(contexte.category) == "corvane.mail") {
        journalMail << message;
    }
    handlerQt(type, contexte, message);
}

QString bloc(int n, const QString& adresse, const QString& raison = {})
{
    return QStringLiteral("Mail N°%1\r\n%2\r\n... expe ").arg(n).arg(adresse) +
           (raison.isNull() ? "OK" : "ERREUR : " + raison) + "\r\n";
}

// The reason the report gives for its first address.
QString raisonDe(const QString& rapport)
{
    return rapport.section("ERREUR : ", 1).section("\r\n", 0, 0);
}

QStringList dix()
{
    QStringList l;
    for (int i = 1; i <= 10; ++i) {
        l << QStringLiteral("n%1@example.org").arg(i);
    }
    return l;
}

// The ten blocks of a mailing to dix() that failed for one reason, or went through.
QString dixBlocs(const QString& raison = {})
{
    QString r;
    for (int i = 1; i <= 10; ++i) {
        r += bloc(i, QStringLiteral("n%1@example.org").arg(i), raison);
    }
    return r;
}

// The service with a fake clock, its signals recorded.
struct Banc {
    test::FakeClock horloge;
    Mailing mailing{horloge};
    QSignalSpy termines{&mailing, &ServiceMail::termine};
    QSignalSpy envoyes{&mailing, &ServiceMail::mailEnvoye};
    QSignalSpy erreurs{&mailing, &ServiceMail::erreurSocket};
    ReglagesMail r;

    Banc(const QString& serveur, const QStringList& adresses)
    {
        horloge.current = QDateTime(QDate(2026, 12, 5), QTime(7, 5, 9), QTimeZone("Europe/Paris"));
        r.serveur = serveur;
        r.messageDe = "Corvane";
        r.sujet = "Adresse changée";
        for (int i = 0; i < 10; ++i) {
            r.adresses[i] = adresses.value(i);
        }
        mailing.setDelais(5000, 5000);
        journalMail.clear();
    }
    // One mailing to its end: its report.
    QString envoie(int ms = 20000)
    {
        mailing.InitSmtp(r);
        mailing.BoucleSend("Hello, voici ma nouvelle IP", kIp);
        return termines.wait(ms) ? termines.last().at(0).toString() : "<no end>";
    }
};

struct Recu {
    QByteArray eml; // envelope lines, empty line, data
    QJsonObject lu; // what Python's email package read
};

// smtp_peer.py in a folder of its own.
struct Pair {
    QTemporaryDir dossier;
    test::Peer peer;

    bool demarre(const QStringList& args = {})
    {
        const QString script = test::sourcePath("tests/support/smtp_peer.py");
        return peer.start("/usr/bin/python3",
                          QStringList{script, "--port", "{port}", "--dir", dossier.path()} + args);
    }
    QString serveur() const { return QStringLiteral("127.0.0.1:%1").arg(peer.port()); }
    QList<Recu> recus() const
    {
        QList<Recu> tous;
        for (const QString& nom : QDir(dossier.path()).entryList({"*.eml"}, QDir::Files)) {
            const QString base = dossier.filePath(nom.chopped(4));
            tous.append({test::lit(base + ".eml"),
                         QJsonDocument::fromJson(test::lit(base + ".json")).object()});
        }
        return tous;
    }
};

QByteArray helo()
{
    const QString nom = QHostInfo::localHostName();
    return "HELO " + (nom.isEmpty() ? QByteArray("localhost") : nom.toLatin1()) + "\r\n";
}

} // namespace

class TestMailing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void liste_data();
    void liste();
    void fileAttente();
    void securite_data();
    void securite();
    void arret_data();
    void arret();
    void refus_data();
    void refus();
    void journalBorne();

private:
    QTemporaryDir certDir_;
    test::Certificats certs_;
};

void TestMailing::initTestCase()
{
    handlerQt = qInstallMessageHandler(capture);
    QVERIFY(certDir_.isValid());
    certs_ = test::fabriqueCertificats(certDir_.path());
    QVERIFY2(certs_.erreur.isEmpty(), qPrintable(certs_.erreur));
}

void TestMailing::liste_data()
{
    QTest::addColumn<QStringList>("adresses");
    QTest::addColumn<QString>("refuse"); // the address the server refuses
    QTest::addColumn<QString>("rapport");
    QTest::newRow("empty slots skipped, numbers kept")
        << QStringList{"", "b@x.org", "", "d@x.org", "", "", "", "", "", "j@x.org"} << QString()
        << bloc(2, "b@x.org") + bloc(4, "d@x.org") + bloc(10, "j@x.org");
    QTest::newRow("a refused recipient, the loop goes on")
        << QStringList{"a@x.org", "b@x.org", "c@x.org"} << "b@x.org"
        << bloc(1, "a@x.org") + bloc(2, "b@x.org", "550 5.1.1 recipient refused") +
               bloc(3, "c@x.org");
    QTest::newRow("no address: no dialogue, the empty report")
        << QStringList{} << QString() << QString();
}

void TestMailing::liste()
{
    QFETCH(QStringList, adresses);
    QFETCH(QString, refuse);
    QFETCH(QString, rapport);
    Pair p;
    QVERIFY2(p.demarre(refuse.isEmpty() ? QStringList{} : QStringList{"--refuse", refuse}),
             qPrintable(p.peer.error()));
    Banc b(p.serveur(), adresses);
    // A sender and a subject to encode and fold, as Python's email package reads them back.
    b.r.messageDe = "Véronique « veille » Dupré";
    b.r.sujet = "Adresse IP changée 😀 " + QStringLiteral("très longue ").repeated(30);
    b.r.adresseExpediteur = "veille@example.org";
    QCOMPARE(b.envoie(), rapport);
    adresses.removeAll(QString());
    QCOMPARE(b.envoyes.size(), adresses.size()); // one sound per dialogue
    adresses.removeAll(refuse);
    QStringList destinataires;
    for (const Recu& m : p.recus()) {
        destinataires << m.lu["to"].toString();
        QCOMPARE(m.lu["from_name"].toString(), b.r.messageDe);
        QCOMPARE(m.lu["from_addr"].toString(), b.r.adresseExpediteur);
        QCOMPARE(m.lu["subject"].toString(), b.r.sujet);
        QVERIFY(m.lu["defects"].toArray().isEmpty());
        QVERIFY(m.lu["longest_line"].toInt() <= 78);
    }
    QCOMPARE(destinataires, adresses);
    QCOMPARE(b.termines.size(), 1);
    QCOMPARE(b.mailing.NumMail(), 0);
    QCOMPARE(b.mailing.Rapport(), QString());
}

void TestMailing::fileAttente()
{
    Pair p;
    QVERIFY2(p.demarre(), qPrintable(p.peer.error()));
    Banc b(p.serveur(), {"a@x.org", "b@x.org"});
    QList<qsizetype> recusALaFin; // the mails on the server at each end of mailing
    connect(&b.mailing, &ServiceMail::termine, this, [&] { recusALaFin << p.recus().size(); });
    b.mailing.InitSmtp(b.r);
    b.mailing.BoucleSend("Hello", kIp);
    // A second change while the first mailing runs: its own address and stamp, taken now.
    b.horloge.current = b.horloge.current.addSecs(61);
    b.mailing.BoucleSend("Hello", "198.51.100.9");
    QVERIFY(b.termines.isEmpty());
    QCOMPARE(b.mailing.enAttente(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(b.termines.size(), 2, 20000);
    QCOMPARE(recusALaFin, (QList<qsizetype>{2, 4}));
    for (const QList<QVariant>& fin : b.termines) {
        QCOMPARE(fin.at(0).toString(), bloc(1, "a@x.org") + bloc(2, "b@x.org"));
    }
    const QList<Recu> recus = p.recus();
    QCOMPARE(recus.size(), 4);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(recus[i].eml.contains(i < 2 ? "Hello 203.0.113.7 at 05/12/2026 6h05'09 UTC\r\n"
                                            : "Hello 198.51.100.9 at 05/12/2026 6h06'10 UTC\r\n"));
    }
}

void TestMailing::securite_data()
{
    QTest::addColumn<QStringList>("pair"); // smtp_peer.py's mode and login
    QTest::addColumn<QString>("securite");
    QTest::addColumn<QString>("motDePasse"); // with user kUser; null: no login
    QTest::addColumn<QString>("certificat"); // "ca", "autre" or empty
    QTest::addColumn<QString>("raison");     // empty: both sent; else a regular expression
    const auto row = [](const char* nom, const QStringList& pair, const char* securite,
                        const QString& mdp, const char* certificat, const char* raison = "") {
        QTest::newRow(nom) << pair << securite << mdp << certificat << QString::fromUtf8(raison);
    };
    const QStringList login{"--user", kUser, "--password", kMdp};
    const QStringList starttls = QStringList{"--mode", "starttls"} + login;
    const QStringList ssl = QStringList{"--mode", "ssl"} + login;
    const QString sans; // no login
    row("starttls, AUTH PLAIN", starttls, "starttls", kMdp, "ca");
    row("starttls, AUTH LOGIN", starttls + QStringList{"--auth", "LOGIN"}, "STARTTLS", kMdp, "ca");
    row("ssl, AUTH", ssl, "ssl", kMdp, "ca");
    row("wrong password", starttls, "starttls", "faux-mdp", "ca",
        "^authentification refusée : 535 5\\.7\\.8 ");
    row("certificate of an unknown authority", ssl, "ssl", kMdp, "autre",
        "^certificat du serveur non reconnu : \\S");
    row("STARTTLS not offered", {"--mode", "nostarttls"}, "starttls", kMdp, "ca",
        "^le serveur ne propose pas STARTTLS$");
    row("ssl against a plain server", {}, "ssl", sans, "ca", "^échec de la négociation TLS : \\S");
}

void TestMailing::securite()
{
    QFETCH(QStringList, pair);
    QFETCH(QString, securite);
    QFETCH(QString, motDePasse);
    QFETCH(QString, certificat);
    QFETCH(QString, raison);
    Pair p;
    QVERIFY2(p.demarre(pair + QStringList{"--cert", certs_.cert, "--key", certs_.cle}),
             qPrintable(p.peer.error()));
    Banc b(p.serveur(), {"a@example.org", "b@example.org"});
    b.r.securite = securite;
    if (!motDePasse.isNull()) {
        b.r.utilisateur = kUser;
        b.r.motDePasse = motDePasse;
    }
    b.r.certificat = certificat == QLatin1String("ca")      ? certs_.ca
                     : certificat == QLatin1String("autre") ? certs_.autreCa
                                                            : QString();
    const QString r = b.envoie();
    const QList<Recu> recus = p.recus();
    const QString log = b.mailing.texteLog();
    if (raison.isEmpty()) {
        QCOMPARE(r, bloc(1, "a@example.org") + bloc(2, "b@example.org"));
        QCOMPARE(recus.size(), 2);
        for (const Recu& m : recus) {
            QVERIFY(m.lu["tls"].toBool());
            QCOMPARE(m.lu["login"].toString(), kUser);
            QCOMPARE(m.lu["mail_from"].toString(), kUser);
        }
        QCOMPARE(log.count("\r\nChiffrement TLS établi (TLS 1."), 2);
    } else {
        const QString vue = raisonDe(r);
        QVERIFY2(QRegularExpression(raison).match(vue).hasMatch(), qPrintable(r));
        // The login or the TLS of the first address would fail the second the same way.
        QCOMPARE(r, bloc(1, "a@example.org", vue) + bloc(2, "b@example.org", vue));
        QCOMPARE(recus.size(), 0);
    }
    QCOMPARE(b.envoyes.size(), raison.isEmpty() ? 2 : 1);
    // Nothing of the login is shown or logged: not the password, not its base64.
    const QByteArray mdp = motDePasse.toUtf8();
    const QString journal = journalMail.join(u'\n');
    for (const QString& secret :
         {QString::fromUtf8(mdp), QString::fromLatin1(mdp.toBase64()),
          QString::fromLatin1(("\0" + kUser.toUtf8() + '\0' + mdp).toBase64())}) {
        QVERIFY(mdp.isEmpty() ||
                (!log.contains(secret) && !r.contains(secret) && !journal.contains(secret)));
    }
}

void TestMailing::arret_data()
{
    // Ten addresses; what stops the first stops them all, with one wait at most.
    QTest::addColumn<QString>("serveur");       // "fake" or "libre" (nobody there)
    QTest::addColumn<QByteArrayList>("script"); // the fake's replies
    QTest::addColumn<QStringList>("reglages");  // Securite, user, password, Certificat
    QTest::addColumn<QString>("raison");        // a regular expression
    const auto row = [](const char* nom, const char* serveur, const QByteArrayList& script,
                        const QStringList& reglages, const char* raison) {
        QTest::newRow(nom) << QString::fromUtf8(serveur) << script << reglages
                           << QString::fromUtf8(raison);
    };
    row("silent server", "fake", {}, {}, "^pas de réponse du serveur en 0.3 s$");
    // Each byte that comes is no reply: the wait is not drawn out by them.
    row("greeting trickling past the wait", "fake", {"220-x" + QByteArray("|x").repeated(40)}, {},
        "^pas de réponse du serveur en 0.3 s$");
    row("connection refused", "libre", {}, {}, "^10061 : Connection refused$");
    row("login with aucune", "fake", {}, {"aucune", "moi@example.org", "secret-pw"},
        "^identifiant défini mais Securite=aucune : le mot de passe ne part jamais en clair$");
    row("CR in the password", "fake", {}, {"starttls", "moi", "pw\rRSET"},
        "^le mot de passe contient un retour à la ligne");
    row("Certificat missing", "fake", {}, {"starttls", "", "", "absent"},
        "^fichier Certificat illisible : .*absent.pem");
}

void TestMailing::arret()
{
    QFETCH(QString, serveur);
    QFETCH(QByteArrayList, script);
    QFETCH(QStringList, reglages);
    QFETCH(QString, raison);
    FakeSmtp fake;
    QVERIFY(fake.ecoute());
    fake.ajouteScript(script);
    QTemporaryDir dossier;
    const QString libre = QStringLiteral("127.0.0.1:%1").arg(test::freePort());
    Banc b(serveur == u"fake" ? fake.adresse() : libre, dix());
    b.r.securite = reglages.value(0);
    b.r.utilisateur = reglages.value(1);
    b.r.motDePasse = reglages.value(2);
    if (!reglages.value(3).isEmpty()) {
        b.r.certificat = dossier.filePath(reglages[3] + ".pem");
    }
    b.mailing.setDelais(2000, 300);
    QElapsedTimer chrono;
    chrono.start();
    const QString rapport = b.envoie(5000);
    QVERIFY2(chrono.elapsed() < 1500, "one wait at most, not one per address");
    const QString vue = raisonDe(rapport);
    QVERIFY2(QRegularExpression(raison).match(vue).hasMatch(), qPrintable(rapport));
    QCOMPARE(rapport, dixBlocs(vue));
    QCOMPARE(b.envoyes.size(), 1);
    // Only the waits met a server: settings that stop the mail stop it before connecting.
    QCOMPARE(fake.connexions.size(), raison.startsWith(QLatin1String("^pas de")) ? 1 : 0);
    QCOMPARE(b.erreurs.size(), serveur == u"libre" ? 1 : 0);
    const QString journal = journalMail.join(u'\n');
    QVERIFY(b.mailing.texteLog().contains(vue));
    QVERIFY2(journal.contains(vue), qPrintable(journal));
    const QString mdp = b.r.motDePasse;
    QVERIFY(mdp.isEmpty() || (!b.mailing.texteLog().contains(mdp) && !journal.contains(mdp)));
}

void TestMailing::refus_data()
{
    // Addresses a and b; a meets the script, b a server that takes it. A failure of the
    // connection (arret) ends the mailing: b gets the same reason, with no dialogue.
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<QByteArray>("envoye"); // what a's server receives; null: a whole dialogue
    QTest::addColumn<QString>("raison");    // null: sent
    QTest::addColumn<bool>("arret");
    const QByteArray mailRcpt = helo() + "MAIL FROM:<>\r\nRCPT TO:<a@example.org>\r\n";
    const QByteArray ferme = FakeSmtp::kFerme;
    FakeSmtp::Script s = FakeSmtp::accepte();
    s[1] = "250-fake.test\r\n25|0 HELP\r\n";
    s[2] = "2|50 ok\n"; // a bare LF ends a line too
    QTest::newRow("replies split over packets") << s << QByteArray() << QString() << false;
    s = FakeSmtp::accepte();
    s[5] = "452-4.3.1 insufficient\r\n452 4.3.1 storage\r\n";
    QTest::newRow("end of data refused, multi-line")
        << s << QByteArray() << "452 4.3.1 storage" << false;
    // A refusal: nothing of the message after it, then QUIT, answered (no time-out).
    const QByteArray bye = "221 bye\r\n";
    QTest::newRow("refused greeting") << FakeSmtp::Script{"554 5.3.2 no service\r\n", bye}
                                      << QByteArray("QUIT\r\n") << "554 5.3.2 no service" << true;
    QTest::newRow("refused MAIL FROM")
        << FakeSmtp::Script{s[0], s[1], "553 5.1.8 sender refused\r\n", bye}
        << helo() + "MAIL FROM:<>\r\nQUIT\r\n"
        << "553 5.1.8 sender refused" << false;
    QTest::newRow("421 to RCPT TO")
        << FakeSmtp::Script{s[0], s[1], s[2], "421 4.3.2 shutting down\r\n", bye}
        << mailRcpt + "QUIT\r\n"
        << "421 4.3.2 shutting down" << true;
    // The server hangs up: before MAIL FROM, every address would meet it.
    QTest::newRow("server closes on HELO")
        << FakeSmtp::Script{s[0], ferme} << helo() << "connexion fermée par le serveur" << true;
}

void TestMailing::refus()
{
    QFETCH(QByteArrayList, script);
    QFETCH(QByteArray, envoye);
    QFETCH(QString, raison);
    QFETCH(bool, arret);
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    serveur.ajouteScript(script);
    serveur.ajouteScript(FakeSmtp::accepte());
    Banc b(serveur.adresse(), {"a@example.org", "b@example.org"});
    QCOMPARE(b.envoie(), bloc(1, "a@example.org", raison) +
                             bloc(2, "b@example.org", arret ? raison : QString()));
    QCOMPARE(serveur.connexions.size(), arret ? 1 : 2);
    // The last bytes may still be on their way when the mailing is over.
    QVERIFY(QTest::qWaitFor([&] { return serveur.connexions[0].fermee; }, 5000));
    const QByteArray recu = serveur.connexions[0].recu;
    if (envoye.isNull()) {
        QVERIFY(recu.startsWith(helo() + "MAIL FROM:<>\r\nRCPT TO:<a@example.org>\r\nDATA\r\n"));
        QVERIFY(recu.endsWith("\r\n\r\n.\r\nQUIT\r\n")); // the text itself is tst_texte's
    } else {
        QCOMPARE(recu, envoye);
    }
    QVERIFY(!b.mailing.texteLog().contains("Délai dépassé"));
}

void TestMailing::journalBorne()
{
    // A server that floods its greeting, mailing after mailing: the log keeps its end, from a
    // line start, within its bound.
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    serveur.ajouteScript({("220-" + QByteArray(74, 'x') + "\r\n").repeated(1400)});
    Banc b(serveur.adresse(), {"a@example.org"});
    for (int i = 0; i < 4; ++i) {
        QVERIFY(b.envoie().contains("réponse du serveur trop longue"));
    }
    const QString log = b.mailing.texteLog();
    QVERIFY2(log.size() > Mailing::kLogMax / 2 && log.size() <= Mailing::kLogMax,
             qPrintable(QString::number(log.size())));
    QVERIFY(log.startsWith("\r\n"));
}

QTEST_MAIN(TestMailing)
#include "tst_mailing.moc"
