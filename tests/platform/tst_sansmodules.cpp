// Each piece the program loads with its first use, in a run where its module is missing: the
// test runs with its core library alone in a folder (tests/platform/CMakeLists.txt), where
// every module is looked for. Each request still ends once, later, and says why.

#include "history/historique.h"
#include "mail/mailing.h"
#include "platform/systemclock.h"
#include "platform/trousseau.h"
#include "reseau/differe.h"

#include <QtTest>

using namespace corvane;

class TestSansModules : public QObject {
    Q_OBJECT

private slots:
    // Every address of the mailing gets the reason, and the mailing ends.
    void mailing()
    {
        SystemClock clock;
        Mailing m(clock);
        ReglagesMail r;
        r.serveur = "127.0.0.1:9";
        r.adresses[0] = "a@example.org";
        r.adresses[3] = "d@example.org";
        m.InitSmtp(r);
        QSignalSpy fin(&m, &ServiceMail::termine);
        m.BoucleSend("Nouvelle IP", "203.0.113.7");
        QTRY_COMPARE(fin.count(), 1);
        QCOMPARE(fin[0][1].toInt(), 2);
        QCOMPARE(fin[0][0].toString().count("module r\u00e9seau indisponible"), 2);
        QVERIFY(!m.enCours());
    }

    void dns()
    {
        MiseAJourDnsDifferee d(nullptr);
        QSignalSpy fin(&d, &ServiceDns::termine);
        d.miseAJour(ReglagesDns{}, "203.0.113.7");
        QCOMPARE(fin.count(), 0); // later, as a real update's end
        QTRY_COMPARE(fin.count(), 1);
        QCOMPARE(fin[0][0].toBool(), false);
        QVERIFY(fin[0][1].toString().startsWith("module r\u00e9seau indisponible"));
    }

    void historique()
    {
        QTemporaryDir dir;
        Historique h(dir.filePath("corvane.db"));
        const Resultat r = h.ajoute(Changement{});
        QVERIFY(!r.ok);
        QVERIFY2(r.raison.startsWith("module historique indisponible"), qPrintable(r.raison));
        Resultat lu;
        QVERIFY(h.changements(&lu).isEmpty());
        QCOMPARE(lu.raison, r.raison);
        QVERIFY(h.finEchec(QDateTime::currentDateTimeUtc()).ok); // no run was opened
    }

    void trousseau()
    {
        QTemporaryDir dir;
        Trousseau t(dir.filePath("Corvane.cfg"));
        QSignalSpy echec(&t, &Trousseau::echec);
        t.lis(Secret::Ftp);
        QCOMPARE(echec.count(), 0);
        QTRY_COMPARE(echec.count(), 1);
        QCOMPARE(echec[0][0].value<Secret>(), Secret::Ftp);
        QVERIFY(echec[0][1].toString().startsWith("module trousseau indisponible"));
    }
};

QTEST_GUILESS_MAIN(TestSansModules)
#include "tst_sansmodules.moc"
