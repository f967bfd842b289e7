// The desktop's keyring: a gnome-keyring on a private bus (avec_trousseau.sh), or no bus.

#include "platform/trousseau.h"
#include "support/fakes.h"
#include "watch/moteur.h"

#include <QtTest>

using namespace corvane;

class TestTrousseau : public QObject {
    Q_OBJECT

private slots:
    void disponible_data()
    {
        QTest::addColumn<bool>("prive"); // the private bus, else an address where none listens
        QTest::newRow("keyring on the bus") << true;
        QTest::newRow("bus pointing nowhere") << false;
    }

    // In a process of its own: a session bus connection is made once per process.
    void disponible()
    {
        QFETCH(bool, prive);
        QTemporaryDir vide;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!prive) {
            env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + vide.filePath("aucun"));
        }
        QProcess p;
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(QCoreApplication::applicationFilePath(), {"--disponible"});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(p.exitCode(), prive ? 0 : 1);
    }

    // Writes "file:secret=value" in order, then reads "file:secret=value" back.
    void entrees_data()
    {
        QTest::addColumn<QStringList>("ecritures");
        QTest::addColumn<QStringList>("lectures");
        QTest::newRow("one entry per settings file")
            << QStringList{"a:smtp=p\u00e2ss w0rd", "b:smtp=deux", "a:ftp=f"}
            << QStringList{"a:smtp=p\u00e2ss w0rd", "b:smtp=deux", "a:ftp=f", "b:ftp="};
        QTest::newRow("empty removes")
            << QStringList{"a:ftp=un", "a:ftp="} << QStringList{"a:ftp="};
    }

    void entrees()
    {
        QFETCH(QStringList, ecritures);
        QFETCH(QStringList, lectures);
        QTemporaryDir dir; // the same file name in two folders, new for each row
        int n = 0;
        for (const QString& l : ecritures + lectures) {
            Trousseau t(dir.filePath(l.section(u':', 0, 0) + "/Corvane.cfg"));
            const Secret s = l.section(u':', 1).startsWith(u"smtp") ? Secret::Smtp : Secret::Ftp;
            const QString valeur = l.section(u'=', 1);
            QSignalSpy lu(&t, &Trousseau::lu);
            QSignalSpy ecrit(&t, &Trousseau::ecrit);
            QSignalSpy echec(&t, &Trousseau::echec);
            const bool lecture = n++ >= ecritures.size();
            lecture ? t.lis(s) : t.ecris(s, valeur);
            QTRY_VERIFY_WITH_TIMEOUT((lecture ? lu : ecrit).count() + echec.count() > 0, 10000);
            QVERIFY2(echec.isEmpty(), qPrintable(echec.value(0).value(1).toString()));
            if (lecture) {
                QCOMPARE(lu.first().at(1).toString(), valeur);
            }
        }
    }

    // At launch the watch starts only once the engine holds the keyring's password.
    void suiteApresLesSecrets()
    {
        QTemporaryDir dir;
        const QString config = dir.filePath("Corvane.cfg");
        Trousseau ecriture(config);
        QSignalSpy ecrit(&ecriture, &Trousseau::ecrit);
        ecriture.ecris(Secret::Smtp, "k-smtp");
        QTRY_COMPARE_WITH_TIMEOUT(ecrit.count(), 1, 10000);

        test::FakePlatform plateforme;
        test::FakeDetecteur detecteur;
        test::FakeMail mail;
        test::FakePublication publication;
        test::FakeDns dns;
        Moteur moteur(plateforme.platform(), config, detecteur, mail, publication, &dns);
        moteur.Form_Load();
        Trousseau trousseau(config);
        QStringList vus;
        chargeSecrets(trousseau, moteur, [&] { vus << moteur.secretSmtp(); });
        QTRY_COMPARE_WITH_TIMEOUT(vus.size(), 1, 10000);
        QCOMPARE(vus.first(), QStringLiteral("k-smtp"));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().contains("--disponible")) {
        Trousseau::disponible(&app, [](bool present) { QCoreApplication::exit(present ? 0 : 1); });
        return QCoreApplication::exec();
    }
    TestTrousseau test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_trousseau.moc"
