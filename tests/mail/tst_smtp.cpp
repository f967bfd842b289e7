// The SMTP dialogue and the mailing loop of the smtp window, against the scripted fake server.

#include "support/fakes.h"
#include "support/fakesmtp.h"
#include "support/peers.h"
#include "ui/richtextview.h"
#include "ui/smtpwindow.h"

#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

#include <memory>

using namespace corvane;
using test::FakeSmtp;

Q_DECLARE_METATYPE(FakeSmtp::Pas)

namespace {

const QString kIp = QStringLiteral("203.0.113.7");
// 06:45 in Paris on 5 December 2026.
const QByteArray kStamp = "05/12/2026 5h45'00 UTC";

QByteArray helo()
{
    const QString nom = QHostInfo::localHostName();
    return "HELO " + (nom.isEmpty() ? QByteArray("localhost") : nom.toLatin1()) + "\r\n";
}

QByteArray corps(const QByteArray& premiereLigne)
{
    return premiereLigne + "\r\n  - Bye -\r\n\r\n" + QByteArray(56, '-') +
           "\r\nThis mail sent by a robot.\r\nDon't reply at this automatic message.\r\n";
}

// The bytes of one complete dialogue with the bench's settings, sent to one address.
QByteArray dialogue(const QByteArray& adresse, const QByteArray& premiereLigne = {})
{
    const QByteArray ligne = premiereLigne.isNull()
                                 ? "Hello, voici ma nouvelle IP 203.0.113.7 at " + kStamp
                                 : premiereLigne;
    return helo() + "MAIL FROM:<Corvane>\r\nRCPT TO:<" + adresse + ">\r\nDATA\r\n" +
           "To:" + adresse + "\r\nFrom: Corvane <>\r\nSubject:Adresse chang\xe9" + "e\r\n\r\n" +
           corps(ligne) + "\r\n.\r\nQUIT\r\n";
}

QString blocOk(int n, const QString& adresse)
{
    return QStringLiteral("Mail N°%1\r\n%2\r\n... expe OK\r\n").arg(n).arg(adresse);
}

QString blocErreur(int n, const QString& adresse, const QString& raison)
{
    return QStringLiteral("Mail N°%1\r\n%2\r\n... expe ERREUR : %3\r\n")
        .arg(n)
        .arg(adresse, raison);
}

// One smtp window with recording fakes around it, pointed at a server.
struct Banc {
    test::FakePlatform plateforme;
    test::FakeConsole console;
    std::unique_ptr<SmtpWindow> fenetre;
    std::shared_ptr<int> termines = std::make_shared<int>(0);

    explicit Banc(const QString& serveur, const QStringList& adresses = {"ami@example.org"})
    {
        console.mail = true;
        console.ip = kIp;
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
    void lance()
    {
        fenetre->BoucleSend([c = termines] { ++*c; });
    }
    bool attend(int combien = 1, int ms = 15000)
    {
        return QTest::qWaitFor([&] { return *termines >= combien; }, ms);
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

} // namespace

class TestSmtp : public QObject {
    Q_OBJECT
private slots:
    void initSmtp();
    void unMailOctetPourOctet();
    void dialogues_data();
    void dialogues();
    void serveurMuet_data();
    void serveurMuet();
    void connexionRefusee();
    void serveurNonRenseigne();
    void listeAdresses_data();
    void listeAdresses();
    void mailDesactive();
    void deuxMailingsDeSuite();
    void mailingPendantUnMailing();
};

void TestSmtp::initSmtp()
{
    Banc b(QStringLiteral("127.0.0.1:25"), {"a@x", "", "c@x"});
    SmtpWindow& w = *b.fenetre;
    QCOMPARE(w.windowTitle(), QStringLiteral("LOG - Debug transfert smtp"));
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
             QStringLiteral("Adresse Mail Disponible"));
    QVERIFY(w.findChild<RichTextView*>(QStringLiteral("rtxtLog"))->isReadOnly());
    QCOMPARE(b.log(), QString());
    QCOMPARE(b.text1(), QStringLiteral("l"));

    auto* liste = w.findChild<QListWidget*>(QStringLiteral("List1"));
    const auto entrees = [liste] {
        QStringList l;
        for (int i = 0; i < liste->count(); ++i) {
            l << liste->item(i)->text();
        }
        return l;
    };
    QCOMPARE(entrees(), (QStringList{"a@x", "", "c@x", "", "", "", "", "", "", "", ""}));
    for (int i = 0; i < 10; ++i) {
        b.console.params.Adresses[i] = QStringLiteral("n%1@x").arg(i + 1);
    }
    w.InitSmtp();
    QCOMPARE(entrees(), (QStringList{"n1@x", "n2@x", "n3@x", "n4@x", "n5@x", "n6@x", "n7@x", "n8@x",
                                     "n9@x", "n10@x", ""}));
}

void TestSmtp::unMailOctetPourOctet()
{
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    const QByteArray attendu = dialogue("ami@example.org");
    serveur.ajouteScript(FakeSmtp::scriptPour(attendu));
    Banc b(serveur.adresse());
    b.lance();
    QVERIFY(b.attend());
    QVERIFY2(serveur.echecs().isEmpty(), qPrintable(serveur.echecs()));
    QCOMPARE(serveur.connexions.size(), 1);
    QVERIFY(fermee(serveur));
    QCOMPARE(serveur.connexions[0].recu, attendu);
    QCOMPARE(b.console.entries, QStringList{blocOk(1, "ami@example.org")});
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
    QTest::addColumn<FakeSmtp::Script>("script");
    QTest::addColumn<QString>("message"); // null: the bench's message
    QTest::addColumn<QByteArray>("envoye");
    QTest::addColumn<QString>("bloc");
    QTest::addColumn<QString>("finLog");
    const auto row = [](const char* nom, const FakeSmtp::Script& s, const QByteArray& envoye,
                        const QString& bloc, const QString& finLog = {},
                        const QString& message = {}) {
        QTest::newRow(nom) << s << message << envoye << bloc << finLog;
    };

    const QByteArray attendu = dialogue("ami@example.org");
    const QString ok = blocOk(1, "ami@example.org");
    const auto erreur = [](const QString& raison) {
        return blocErreur(1, "ami@example.org", raison);
    };
    FakeSmtp::Script s = FakeSmtp::scriptPour(attendu);
    s[0].reponse = "220-fake.test ESMTP\r\n220-no UCE\r\n220 ready\r\n";
    s[1].reponse = "250-fake.test\r\n250-SIZE 1000000\r\n250-8BITMIME\r\n250 HELP\r\n";
    row("multi-line greeting and HELO reply", s, attendu, ok);
    s = FakeSmtp::scriptPour(attendu);
    s[0].reponse = "220 fake.test ESMTP\r\n250 hello\r\n";
    s[1].reponse = {};
    row("greeting and HELO reply in one packet", s, attendu, ok);
    s = FakeSmtp::scriptPour(attendu);
    s[s.size() - 2].reponse = "250 queued\r\n221 bye\r\n";
    s[s.size() - 1].reponse = {};
    row("end of data and QUIT replies in one packet", s, attendu, ok);
    s = FakeSmtp::scriptPour(attendu);
    s[1].reponse = "250-fake.test\r\n25";
    s[1].suite = "0-SIZE 1000\r\n250 HELP\r\n";
    s[2].reponse = "2";
    s[2].suite = "50 ok\r\n";
    row("replies split over packets", s, attendu, ok);
    s = FakeSmtp::scriptPour(attendu);
    s[1].reponse = "250 fake.test\n";
    row("reply ending in a bare LF", s, attendu, ok);
    s = FakeSmtp::scriptPour(attendu);
    s[s.size() - 2].reponse = "452-4.3.1 insufficient\r\n452 4.3.1 storage\r\n";
    row("end of data refused, multi-line", s, attendu, erreur("452 4.3.1 storage"));

    // A refusal: nothing of the message after it, then QUIT, answered (no time-out).
    const QByteArray mailFrom = "MAIL FROM:<Corvane>\r\n";
    const QByteArray rcpt = "RCPT TO:<ami@example.org>\r\n";
    const auto refus = [&](const char* nom, const QByteArray& refusee, const QByteArray& reponse,
                           const QByteArray& envoye) {
        FakeSmtp::Script r =
            FakeSmtp::scriptPour(envoye, {{refusee, FakeSmtp::Pas{refusee, reponse + "\r\n"}}});
        if (refusee.isNull()) {
            r[0].reponse = reponse + "\r\n";
        }
        row(nom, r, envoye, erreur(QString::fromLatin1(reponse)));
    };
    refus("refused greeting", {}, "554 5.3.2 no service", "QUIT\r\n");
    refus("refused HELO", helo().chopped(2), "501 5.5.4 bad name", helo() + "QUIT\r\n");
    refus("refused MAIL FROM", mailFrom.chopped(2), "553 5.1.8 sender refused",
          helo() + mailFrom + "QUIT\r\n");
    refus("refused RCPT TO", rcpt.chopped(2), "550 5.1.1 no such user",
          helo() + mailFrom + rcpt + "QUIT\r\n");
    refus("refused DATA", "DATA", "503 5.5.1 no valid recipients",
          helo() + mailFrom + rcpt + "DATA\r\nQUIT\r\n");

    s = FakeSmtp::scriptPour(helo() + mailFrom + rcpt);
    s.last().reponse = {};
    s.last().ferme = true;
    row("server closes mid-dialogue", s, helo() + mailFrom + rcpt,
        erreur("connexion fermée par le serveur"), "\r\nDeconnexion réalisée");

    const QByteArray points =
        dialogue("ami@example.org", "Salut\r\n..\r\n..x\r\n.. " + kIp.toLatin1() + " at " + kStamp);
    row("body lines \".\" and \".x\" doubled", FakeSmtp::scriptPour(points), points, ok, {},
        "Salut\n.\r\n.x\r.");
}

void TestSmtp::dialogues()
{
    QFETCH(FakeSmtp::Script, script);
    QFETCH(QString, message);
    QFETCH(QByteArray, envoye);
    QFETCH(QString, bloc);
    QFETCH(QString, finLog);
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    serveur.ajouteScript(script);
    Banc b(serveur.adresse());
    if (!message.isNull()) {
        b.console.params.Message = message;
    }
    b.lance();
    QVERIFY(b.attend());
    QVERIFY2(serveur.echecs().isEmpty(), qPrintable(serveur.echecs()));
    QVERIFY(fermee(serveur));
    QCOMPARE(serveur.connexions[0].recu, envoye);
    QCOMPARE(b.console.entries, QStringList{bloc});
    QVERIFY(b.log().endsWith(finLog));
    QVERIFY(!b.log().contains(QStringLiteral("Délai dépassé")));
    QVERIFY(b.plateforme.boxes.shown.isEmpty());
}

void TestSmtp::serveurMuet_data()
{
    QTest::addColumn<int>("pasMuet"); // the step whose reply never comes (0: the greeting)
    QTest::addColumn<QByteArray>("envoye");
    QTest::newRow("no greeting") << 0 << QByteArray();
    QTest::newRow("no reply to MAIL FROM") << 2 << helo() + "MAIL FROM:<Corvane>\r\n";
}

void TestSmtp::serveurMuet()
{
    QFETCH(int, pasMuet);
    QFETCH(QByteArray, envoye);
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    FakeSmtp::Script s = FakeSmtp::scriptPour(envoye);
    s[pasMuet].reponse = {};
    serveur.ajouteScript(s);
    Banc b(serveur.adresse(), {"ami@example.org", "autre@example.org"});
    b.fenetre->setDelais(2000, 300);
    QElapsedTimer chrono;
    chrono.start();
    b.lance();
    QVERIFY(b.attend(1, 5000));
    // Both addresses were tried, each waiting its own bound, and neither counts as sent.
    QVERIFY(chrono.elapsed() >= 2 * 300 * 9 / 10); // timers may fire a little early
    QVERIFY2(serveur.echecs().isEmpty(), qPrintable(serveur.echecs()));
    QCOMPARE(serveur.connexions.size(), 2);
    QVERIFY(fermee(serveur));
    QCOMPARE(serveur.connexions[0].recu, envoye);
    QCOMPARE(serveur.connexions[1].recu, envoye);
    const QString raison = QStringLiteral("pas de réponse du serveur en 0.3 s");
    QCOMPARE(b.console.entries, QStringList{blocErreur(1, "ami@example.org", raison) +
                                            blocErreur(2, "autre@example.org", raison)});
    QCOMPARE(b.log().count(QStringLiteral("\r\nDélai dépassé : ") + raison), 2);
}

void TestSmtp::connexionRefusee()
{
    const quint16 port = test::freePort(); // nobody listens there
    QVERIFY(port != 0);
    Banc b(QStringLiteral("127.0.0.1:%1").arg(port), {"a@example.org", "b@example.org"});
    b.lance();
    QVERIFY(b.attend());
    // One box at a time: the second failure finds the first still open.
    QCOMPARE(b.plateforme.boxes.shown.size(), 1);
    const auto& boite = b.plateforme.boxes.shown[0];
    QCOMPARE(boite.kind, QStringLiteral("notify"));
    QCOMPARE(boite.channel, QStringLiteral("smtp"));
    QCOMPARE(boite.title, QStringLiteral("Corvane1.05"));
    QCOMPARE(boite.icon, MessageBoxes::Icon::Critical);
    QVERIFY2(boite.text.startsWith(QStringLiteral("10061 : ")), qPrintable(boite.text));
    QCOMPARE(b.console.entries, QStringList{blocErreur(1, "a@example.org", boite.text) +
                                            blocErreur(2, "b@example.org", boite.text)});
    QCOMPARE(b.text1(), QStringLiteral("l"));
}

void TestSmtp::serveurNonRenseigne()
{
    Banc b{QString()};
    b.lance();
    QVERIFY(b.attend());
    QCOMPARE(b.console.entries,
             QStringList{blocErreur(1, "ami@example.org", "serveur smtp non renseigné")});
    QVERIFY(b.log().contains(QStringLiteral("serveur smtp non renseigné")));
}

void TestSmtp::listeAdresses_data()
{
    QTest::addColumn<QStringList>("adresses");
    QTest::addColumn<QStringList>("destinataires"); // RCPT TO arguments, in order
    QTest::addColumn<bool>("son");

    QStringList dix;
    QStringList dixRcpt;
    for (int i = 1; i <= 10; ++i) {
        dix << QStringLiteral("n%1@example.org").arg(i);
        dixRcpt << QStringLiteral("<n%1@example.org>").arg(i);
    }
    QTest::newRow("ten addresses") << dix << dixRcpt << false;
    QTest::newRow("gap after two, the fourth never used")
        << QStringList{"a@x.org", "b@x.org", "", "d@x.org"} << QStringList{"<a@x.org>", "<b@x.org>"}
        << false;
    QTest::newRow("first two empty: one dialogue, empty recipient")
        << QStringList{"", "", "c@x.org"} << QStringList{"<>"} << false;
    QTest::newRow("first empty, second set")
        << QStringList{"", "b@x.org"} << QStringList{"<>", "<b@x.org>"} << false;
    QTest::newRow("three addresses with sound")
        << QStringList{"a@x.org", "b@x.org", "c@x.org"}
        << QStringList{"<a@x.org>", "<b@x.org>", "<c@x.org>"} << true;
}

void TestSmtp::listeAdresses()
{
    QFETCH(QStringList, adresses);
    QFETCH(QStringList, destinataires);
    QFETCH(bool, son);
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    Banc b(serveur.adresse(), adresses);
    b.console.audio = son;
    b.lance();
    QVERIFY(b.attend());
    QVERIFY2(serveur.echecs().isEmpty(), qPrintable(serveur.echecs()));
    QStringList recus;
    QString rapport;
    for (int i = 0; i < serveur.connexions.size(); ++i) {
        recus << serveur.connexions[i].rcpt;
        rapport += blocOk(i + 1, adresses.value(i));
    }
    QCOMPARE(recus, destinataires);
    QCOMPARE(b.console.entries, QStringList{rapport});
    QCOMPARE(b.plateforme.sound.played.size(), son ? destinataires.size() : 0);
    for (auto s : b.plateforme.sound.played) {
        QCOMPARE(s, SoundPlayer::Sound::Mail);
    }
}

void TestSmtp::mailDesactive()
{
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    Banc b(serveur.adresse());
    b.console.mail = false;
    b.console.audio = true;
    b.lance();
    QCOMPARE(*b.termines, 1); // at once
    QTest::qWait(100);
    QCOMPARE(serveur.connexions.size(), 0);
    QVERIFY(b.console.entries.isEmpty());
    QVERIFY(b.plateforme.sound.played.isEmpty());
    QCOMPARE(b.fenetre->NumMail(), 0);
    QCOMPARE(b.fenetre->Rapport(), QString());
    QVERIFY(!b.fenetre->mailingEnCours());
}

void TestSmtp::deuxMailingsDeSuite()
{
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    Banc b(serveur.adresse(), {"a@x.org", "b@x.org"});
    b.lance();
    QVERIFY(b.attend(1));
    b.lance();
    QVERIFY(b.attend(2));
    const QString rapport = blocOk(1, "a@x.org") + blocOk(2, "b@x.org");
    QCOMPARE(b.console.entries, (QStringList{rapport, rapport}));
    QCOMPARE(serveur.connexions.size(), 4);
}

void TestSmtp::mailingPendantUnMailing()
{
    FakeSmtp serveur;
    QVERIFY(serveur.ecoute());
    Banc b(serveur.adresse(), {"a@x.org", "b@x.org"});
    QStringList ordre;
    b.fenetre->BoucleSend([&] { ordre << QStringLiteral("premier"); });
    QVERIFY(b.fenetre->mailingEnCours());
    // A second change while the first mailing runs: its own address and stamp, taken now.
    b.console.ip = QStringLiteral("198.51.100.9");
    b.plateforme.clock.current = b.plateforme.clock.current.addSecs(61);
    b.fenetre->BoucleSend([&] { ordre << QStringLiteral("second"); });
    QCOMPARE(b.fenetre->mailingsEnAttente(), 1);
    b.console.ip = QStringLiteral("192.0.2.1"); // later changes do not reach either mailing
    QTRY_COMPARE_WITH_TIMEOUT(ordre.size(), 2, 15000);
    QCOMPARE(ordre, (QStringList{"premier", "second"}));
    QVERIFY2(serveur.echecs().isEmpty(), qPrintable(serveur.echecs()));
    QCOMPARE(serveur.connexions.size(), 4);
    const QByteArray premier = "Hello, voici ma nouvelle IP 203.0.113.7 at " + kStamp + "\r\n";
    const QByteArray second =
        "Hello, voici ma nouvelle IP 198.51.100.9 at 05/12/2026 5h46'01 UTC\r\n";
    for (int i = 0; i < 4; ++i) {
        QVERIFY2(serveur.connexions[i].donnees.contains(i < 2 ? premier : second),
                 serveur.connexions[i].donnees.constData());
    }
    const QString rapport = blocOk(1, "a@x.org") + blocOk(2, "b@x.org");
    QCOMPARE(b.console.entries, (QStringList{rapport, rapport}));
}

QTEST_MAIN(TestSmtp)
#include "tst_smtp.moc"
