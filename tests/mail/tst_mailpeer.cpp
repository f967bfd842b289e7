// The mailing against a real SMTP server (aiosmtpd, tests/support/smtp_peer.py): plain,
// STARTTLS and implicit TLS with a login, the failures a real server causes, the header as
// Python's email package reads it, and the address list.

#include "support/fakes.h"
#include "support/peers.h"
#include "ui/smtpwindow.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

using namespace corvane;

namespace {

const QString kUser = QStringLiteral("veille@example.org");
const QString kMdp = QStringLiteral("s3cret-pw");

struct Recu {
    QByteArray eml; // envelope lines, empty line, data
    QJsonObject lu; // what Python's email package read
};

QList<Recu> lisMessages(const QString& dossier)
{
    QList<Recu> tous;
    const QDir dir(dossier);
    for (const QString& nom : dir.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name)) {
        QFile eml(dir.filePath(nom));
        QFile json(dir.filePath(nom.chopped(4) + QStringLiteral(".json")));
        if (eml.open(QIODevice::ReadOnly) && json.open(QIODevice::ReadOnly)) {
            tous.append({eml.readAll(), QJsonDocument::fromJson(json.readAll()).object()});
        }
    }
    return tous;
}

// The smtp window, recording fakes around it, and a real server in a folder of its own.
struct Banc {
    QTemporaryDir dossier;
    test::Peer pair;
    test::FakePlatform plateforme;
    test::FakeConsole console;
    std::unique_ptr<SmtpWindow> fenetre;
    int termines = 0;

    bool demarre(const QStringList& args)
    {
        if (!pair.start(QStringLiteral("/usr/bin/python3"),
                        QStringList{test::sourcePath(QStringLiteral("tests/support/smtp_peer.py")),
                                    QStringLiteral("--port"), QStringLiteral("{port}"),
                                    QStringLiteral("--dir"), dossier.path()} +
                            args)) {
            qWarning() << pair.error();
            return false;
        }
        console.mail = true;
        console.ip = QStringLiteral("203.0.113.7");
        Parametres& p = console.params;
        p.ServeurSmtp = QStringLiteral("127.0.0.1:%1").arg(pair.port());
        p.MessageDe = QStringLiteral("Corvane");
        p.Sujet = QStringLiteral("Nouvelle IP");
        p.Message = QStringLiteral("Hello, voici ma nouvelle IP");
        plateforme.clock.current =
            QDateTime(QDate(2026, 12, 5), QTime(7, 5, 9), QTimeZone("Europe/Paris"));
        fenetre = std::make_unique<SmtpWindow>(console, plateforme.platform());
        fenetre->setDelais(5000, 5000);
        return true;
    }
    bool envoie(const QStringList& adresses)
    {
        for (int i = 0; i < 10; ++i) {
            console.params.Adresses[i] = adresses.value(i);
        }
        fenetre->InitSmtp();
        QEventLoop boucle;
        QTimer::singleShot(20000, &boucle, &QEventLoop::quit);
        const int avant = termines;
        fenetre->BoucleSend([this, p = QPointer<QEventLoop>(&boucle)] {
            ++termines;
            if (p) {
                p->quit();
            }
        });
        boucle.exec();
        return termines > avant;
    }
};

QString rapport(const QStringList& adresses, const QString& refuse, const QString& raison)
{
    QString r;
    for (int i = 0; i < adresses.size(); ++i) {
        if (!adresses[i].isEmpty()) {
            r +=
                QStringLiteral("Mail N°%1\r\n%2\r\n... expe ").arg(i + 1).arg(adresses[i]) +
                (raison.isEmpty() && adresses[i] != refuse ? QStringLiteral("OK")
                                                           : QStringLiteral("ERREUR : ") + raison) +
                QStringLiteral("\r\n");
        }
    }
    return r;
}

} // namespace

class TestMailPeer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void securite_data();
    void securite();
    void entetes();
    void listeAdresses_data();
    void listeAdresses();
    void mailingPendantUnMailing();

private:
    QTemporaryDir certDir_;
    test::Certificats certs_;
};

void TestMailPeer::initTestCase()
{
    QVERIFY(certDir_.isValid());
    certs_ = test::fabriqueCertificats(certDir_.path());
    QVERIFY2(certs_.erreur.isEmpty(), qPrintable(certs_.erreur));
}

void TestMailPeer::securite_data()
{
    QTest::addColumn<QStringList>("pair"); // smtp_peer.py's mode and login
    QTest::addColumn<QString>("securite");
    QTest::addColumn<QString>("motDePasse"); // with user kUser; null: no login
    QTest::addColumn<QString>("certificat"); // "ca", "autre" or empty
    QTest::addColumn<QString>("raison");     // empty: both sent; else a regular expression
    const auto pair = [](const char* mode,
                         const QStringList& plus = {"--user", kUser, "--password", kMdp}) {
        return QStringList{"--mode", mode} + plus;
    };
    QTest::newRow("plain") << pair("plain", {}) << "" << QString() << ""
                           << "";
    QTest::newRow("starttls, AUTH PLAIN") << pair("starttls") << "starttls" << kMdp << "ca"
                                          << "";
    QTest::newRow("starttls, AUTH LOGIN")
        << pair("starttls", {"--user", kUser, "--password", kMdp, "--auth", "LOGIN"}) << "STARTTLS"
        << kMdp << "ca"
        << "";
    QTest::newRow("ssl, AUTH") << pair("ssl") << "ssl" << kMdp << "ca"
                               << "";
    QTest::newRow("wrong password") << pair("starttls") << "starttls"
                                    << "faux-mdp"
                                    << "ca"
                                    << "^authentification refusée : 535 5\\.7\\.8 ";
    QTest::newRow("certificate of an unknown authority")
        << pair("ssl") << "ssl" << kMdp << "autre"
        << "^certificat du serveur non reconnu : \\S";
    QTest::newRow("no Certificat: the system's authorities only")
        << pair("starttls") << "starttls" << kMdp << ""
        << "^certificat du serveur non reconnu : \\S";
    QTest::newRow("STARTTLS not offered") << pair("nostarttls", {}) << "starttls" << kMdp << "ca"
                                          << "^le serveur ne propose pas STARTTLS$";
    QTest::newRow("ssl against a plain server") << pair("plain", {}) << "ssl" << QString() << "ca"
                                                << "^échec de la négociation TLS : \\S";
}

void TestMailPeer::securite()
{
    QFETCH(QStringList, pair);
    QFETCH(QString, securite);
    QFETCH(QString, motDePasse);
    QFETCH(QString, certificat);
    QFETCH(QString, raison);
    Banc b;
    QVERIFY(b.demarre(pair + QStringList{"--cert", certs_.cert, "--key", certs_.cle}));
    Parametres& p = b.console.params;
    p.SecuriteSmtp = securite;
    if (!motDePasse.isNull()) {
        p.UtilisateurSmtp = kUser;
        p.MotDePasseSmtp = motDePasse;
    }
    p.CertificatSmtp = certificat == QLatin1String("ca")      ? certs_.ca
                       : certificat == QLatin1String("autre") ? certs_.autreCa
                                                              : QString();
    const QStringList adresses{"a@example.org", "b@example.org"};
    QVERIFY(b.envoie(adresses));
    QCOMPARE(b.console.entries.size(), 1);
    const QString& r = b.console.entries[0];
    const QList<Recu> recus = lisMessages(b.dossier.path());
    const QString log = b.fenetre->texteLog();
    if (raison.isEmpty()) {
        QCOMPARE(r, rapport(adresses, {}, {}));
        QCOMPARE(recus.size(), 2);
        const bool tls = !securite.isEmpty();
        for (const Recu& m : recus) {
            QCOMPARE(m.lu[QStringLiteral("tls")].toBool(), tls);
            QCOMPARE(m.lu[QStringLiteral("login")].toString(), tls ? kUser : QString());
            QCOMPARE(m.lu[QStringLiteral("mail_from")].toString(),
                     tls ? kUser : QStringLiteral("<>"));
        }
        QCOMPARE(log.count(QStringLiteral("\r\nChiffrement TLS établi (TLS 1.")), tls ? 2 : 0);
    } else {
        const auto m = QRegularExpression(QStringLiteral("^Mail N°1\r\na@example.org\r\n\\.\\.\\. "
                                                         "expe ERREUR : ([^\r]*)\r\n"))
                           .match(r);
        QVERIFY2(m.hasMatch() && QRegularExpression(raison).match(m.captured(1)).hasMatch(),
                 qPrintable(r));
        QCOMPARE(r, rapport(adresses, {}, m.captured(1)));
        QCOMPARE(recus.size(), 0);
    }
    QVERIFY(log.startsWith(QStringLiteral("\r\nConnexion au serveur réalisée")));
    // Nothing of the login reaches the log: not the password, not its base64.
    const QByteArray mdp = motDePasse.toUtf8();
    for (const QString& secret :
         {QString::fromUtf8(mdp), QString::fromLatin1(mdp.toBase64()),
          QString::fromLatin1(("\0" + kUser.toUtf8() + '\0' + mdp).toBase64())}) {
        QVERIFY(mdp.isEmpty() || (!log.contains(secret) && !r.contains(secret)));
    }
}

void TestMailPeer::entetes()
{
    Banc b;
    QVERIFY(b.demarre({"--mode", "plain"}));
    Parametres& p = b.console.params;
    p.MessageDe = QStringLiteral("Véronique « veille » Dupré");
    p.Sujet = QStringLiteral("Adresse IP changée 😀 ") + QStringLiteral("très longue ").repeated(30);
    p.AdresseExpediteur = QStringLiteral("veille@example.org");
    p.Message = QStringLiteral("Voilà l'adresse");
    QVERIFY(b.envoie({"ami@example.org"}));
    const QList<Recu> recus = lisMessages(b.dossier.path());
    QCOMPARE(recus.size(), 1);
    const QJsonObject& lu = recus[0].lu;
    const QList<std::pair<const char*, QString>> attendu{
        {"headers", "Date Message-ID From To Subject MIME-Version Content-Type "
                    "Content-Transfer-Encoding"},
        {"date", "2026-12-05T07:05:09+01:00"},
        {"from_name", p.MessageDe},
        {"from_addr", p.AdresseExpediteur},
        {"mail_from", p.AdresseExpediteur},
        {"to", "ami@example.org"},
        {"subject", p.Sujet},
        {"mime_version", "1.0"},
        {"content_type", "text/plain"},
        {"charset", "windows-1252"},
        {"cte", "8bit"},
        {"defects", ""}};
    for (const auto& [cle, valeur] : attendu) {
        const QJsonValue v = lu[QLatin1String(cle)];
        QCOMPARE(v.isArray() ? v.toVariant().toStringList().join(u' ') : v.toString(), valeur);
    }
    QVERIFY2(QRegularExpression(QStringLiteral("^<\\d{14}\\.[0-9a-f]{16}@example\\.org>$"))
                 .match(lu[QStringLiteral("message_id")].toString())
                 .hasMatch(),
             qPrintable(lu[QStringLiteral("message_id")].toString()));
    QVERIFY(lu[QStringLiteral("body")].toString().startsWith(
        QStringLiteral("Voilà l'adresse 203.0.113.7 at 05/12/2026 6h05'09 UTC\r\n  - Bye -")));
    QVERIFY(lu[QStringLiteral("longest_line")].toInt() <= 78);
}

void TestMailPeer::listeAdresses_data()
{
    QTest::addColumn<QStringList>("adresses");
    QTest::addColumn<QString>("refuse");
    QTest::addColumn<bool>("son");
    QTest::newRow("empty slots skipped, numbers kept")
        << QStringList{"", "b@x.org", "", "d@x.org", "", "", "", "", "", "j@x.org"} << QString()
        << false;
    QTest::newRow("a refused recipient, the loop goes on, with sound")
        << QStringList{"a@x.org", "b@x.org", "c@x.org"} << "b@x.org" << true;
}

void TestMailPeer::listeAdresses()
{
    QFETCH(QStringList, adresses);
    QFETCH(QString, refuse);
    QFETCH(bool, son);
    Banc b;
    QVERIFY(b.demarre(refuse.isEmpty() ? QStringList{} : QStringList{"--refuse", refuse}));
    b.console.audio = son;
    QVERIFY(b.envoie(adresses));
    QCOMPARE(b.console.entries,
             QStringList{rapport(adresses, refuse, {})
                             .replace(QStringLiteral("ERREUR : \r\n"),
                                      QStringLiteral("ERREUR : 550 5.1.1 recipient refused\r\n"))});
    QStringList pris = adresses;
    pris.removeAll(QString());
    const qsizetype dialogues = pris.size();
    pris.removeAll(refuse);
    QStringList destinataires;
    for (const Recu& m : lisMessages(b.dossier.path())) {
        QVERIFY(m.eml.contains("\r\n\r\n"
                               "Date: Sat, 05 Dec 2026 07:05:09 +0100\r\n"));
        destinataires << m.lu[QStringLiteral("to")].toString();
    }
    QCOMPARE(destinataires, pris);
    QCOMPARE(b.plateforme.sound.played.size(), son ? dialogues : 0);
}

void TestMailPeer::mailingPendantUnMailing()
{
    Banc b;
    QVERIFY(b.demarre({}));
    b.console.params.Adresses[0] = QStringLiteral("a@x.org");
    b.console.params.Adresses[1] = QStringLiteral("b@x.org");
    b.fenetre->InitSmtp();
    QStringList ordre;
    b.fenetre->BoucleSend([&] { ordre << QStringLiteral("premier"); });
    QVERIFY(b.fenetre->mailingEnCours());
    // A second change while the first mailing runs: its own address and stamp, taken now.
    b.console.ip = QStringLiteral("198.51.100.9");
    b.plateforme.clock.current = b.plateforme.clock.current.addSecs(61);
    b.fenetre->BoucleSend([&] { ordre << QStringLiteral("second"); });
    QCOMPARE(b.fenetre->mailingsEnAttente(), 1);
    b.console.ip = QStringLiteral("192.0.2.1"); // later changes do not reach either mailing
    QTRY_COMPARE_WITH_TIMEOUT(ordre.size(), 2, 20000);
    QCOMPARE(ordre, (QStringList{"premier", "second"}));
    const QString r = rapport({"a@x.org", "b@x.org"}, {}, {});
    QCOMPARE(b.console.entries, (QStringList{r, r}));
    const QList<Recu> recus = lisMessages(b.dossier.path());
    QCOMPARE(recus.size(), 4);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(recus[i].eml.contains(i < 2 ? "IP 203.0.113.7 at 05/12/2026 6h05'09 UTC\r\n"
                                            : "IP 198.51.100.9 at 05/12/2026 6h06'10 UTC\r\n"));
    }
}

QTEST_MAIN(TestMailPeer)
#include "tst_mailpeer.moc"
