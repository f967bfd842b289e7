// The mailing against a real SMTP server (aiosmtpd), which keeps every message as a file.

#include "support/fakes.h"
#include "support/peers.h"
#include "ui/smtpwindow.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace corvane;

namespace {

struct Recu {
    QByteArray enveloppe;     // MAIL FROM and RCPT TO lines
    QList<QByteArray> lignes; // the data, split at CR LF
};

QList<Recu> lisMessages(const QString& dossier)
{
    QList<Recu> tous;
    const QDir dir(dossier);
    for (const QString& nom : dir.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(nom));
        if (!f.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray tout = f.readAll();
        const qsizetype fin = tout.indexOf("\r\n\r\n");
        Recu r;
        r.enveloppe = tout.left(fin + 2);
        r.lignes = tout.mid(fin + 4).split('\n');
        for (QByteArray& l : r.lignes) {
            if (l.endsWith('\r')) {
                l.chop(1);
            }
        }
        if (!r.lignes.isEmpty() && r.lignes.last().isEmpty()) {
            r.lignes.removeLast();
        }
        tous.append(r);
    }
    return tous;
}

} // namespace

class TestMailPeer : public QObject {
    Q_OBJECT
private slots:
    void mailingReel_data();
    void mailingReel();
};

void TestMailPeer::mailingReel_data()
{
    QTest::addColumn<QString>("refuse");
    QTest::newRow("all taken") << QString();
    QTest::newRow("second recipient refused") << QStringLiteral("b@example.org");
}

void TestMailPeer::mailingReel()
{
    QFETCH(QString, refuse);
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    QStringList args{test::sourcePath(QStringLiteral("tests/support/smtp_sink.py")),
                     QStringLiteral("--port"), QStringLiteral("{port}"), QStringLiteral("--dir"),
                     dossier.path()};
    if (!refuse.isEmpty()) {
        args << QStringLiteral("--refuse") << refuse;
    }
    test::Peer peer;
    QVERIFY2(peer.start(QStringLiteral("/usr/bin/python3"), args), qPrintable(peer.error()));

    const QStringList adresses{"a@example.org", "b@example.org", "c@example.org"};
    test::FakePlatform plateforme;
    plateforme.clock.current =
        QDateTime(QDate(2026, 12, 5), QTime(7, 5, 9), QTimeZone("Europe/Paris"));
    test::FakeConsole console;
    console.mail = true;
    console.ip = QStringLiteral("203.0.113.7");
    console.params.ServeurSmtp = QStringLiteral("127.0.0.1:%1").arg(peer.port());
    console.params.MessageDe = QStringLiteral("corvane@example.org");
    console.params.Sujet = QStringLiteral("Nouvelle IP");
    console.params.Message = QStringLiteral("Hello, voici ma nouvelle IP");
    for (int i = 0; i < adresses.size(); ++i) {
        console.params.Adresses[i] = adresses[i];
    }
    SmtpWindow fenetre(console, plateforme.platform());
    fenetre.setDelais(5000, 5000);
    fenetre.InitSmtp();
    auto fini = std::make_shared<bool>(false);
    fenetre.BoucleSend([fini] { *fini = true; });
    QTRY_VERIFY_WITH_TIMEOUT(*fini, 30000);

    QStringList pris = adresses;
    pris.removeAll(refuse);
    QString rapport;
    for (int i = 0; i < adresses.size(); ++i) {
        rapport += QStringLiteral("Mail N°%1\r\n%2\r\n").arg(i + 1).arg(adresses[i]);
        rapport += adresses[i] == refuse
                       ? QStringLiteral("... expe ERREUR : 550 5.1.1 recipient refused\r\n")
                       : QStringLiteral("... expe OK\r\n");
    }
    QCOMPARE(console.entries, QStringList{rapport});

    const QList<Recu> recus = lisMessages(dossier.path());
    QCOMPARE(recus.size(), pris.size());
    for (int i = 0; i < pris.size(); ++i) {
        const QByteArray a = pris[i].toLatin1();
        QCOMPARE(recus[i].enveloppe, "MAIL FROM:<corvane@example.org>\r\nRCPT TO:<" + a + ">\r\n");
        const QList<QByteArray> attendu{
            "To:" + a,
            "From: corvane@example.org <>",
            "Subject:Nouvelle IP",
            "",
            "Hello, voici ma nouvelle IP 203.0.113.7 at 05/12/2026 6h05'09 UTC",
            "  - Bye -",
            "",
            QByteArray(56, '-'),
            "This mail sent by a robot.",
            "Don't reply at this automatic message.",
            ""};
        QCOMPARE(recus[i].lignes, attendu);
    }
}

QTEST_MAIN(TestMailPeer)
#include "tst_mailpeer.moc"
