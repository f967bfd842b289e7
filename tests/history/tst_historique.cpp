// The change history: read back, exported as CSV, kept whole through a kill, fed by the engine.

#include "support/fakes.h"
#include "support/fichiers.h"

#include "history/historique.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;
using namespace corvane::test;
using Issue = BilanChangement::Issue;

namespace {

const QDateTime kT0(QDate(2026, 12, 5), QTime(6, 45), Qt::UTC);

// The lines sqlite3 itself prints for these statements: the file is readable without Qt.
QStringList sqlite3(const QString& base, const QString& sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {base, sql});
    if (!p.waitForFinished(10000) || p.exitCode() != 0) {
        return {QStringLiteral("sqlite3 failed: ") + p.readAllStandardError()};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed().split(u'\n');
}

Changement exemple(int i)
{
    Changement c;
    c.heure = kT0.addSecs(i);
    c.ancienne = "10.0.0." + QString::number(i);
    c.nouvelle = "10.0.0." + QString::number(i + 1);
    c.secours = i % 2 == 1;
    c.url = "https://ip.exemple/detect.php";
    c.mails = Issue::Echec;
    c.parAdresse = {{"a@exemple.fr", true, {}}, {"b@exemple.fr", false, "550 \"refus\u00e9\""}};
    c.upload = Issue::Ok;
    c.dns = Issue::EnCours;
    return c;
}

// The child side of kill(): records changes until it is killed, saying each committed one.
int ecrivain(const QString& base)
{
    Historique h(base);
    for (int i = 0;; ++i) {
        if (!h.ajoute(exemple(i)).ok) {
            return 3;
        }
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}

} // namespace

class TestHistorique : public QObject {
    Q_OBJECT

private slots:
    void relitEtExporte();
    void tueEnEcrivant();
    void moteur();

private:
    QTemporaryDir dir_;
};

// Every field of a change and failure runs (the last one still running) read back from the file
// and exported as CSV in time order, with the reasons that need quoting.
void TestHistorique::relitEtExporte()
{
    const QString base = dir_.filePath("relit.db");
    {
        Historique h(base);
        const Resultat a = h.ajoute(exemple(1));
        QVERIFY2(a.ok, qPrintable(a.raison));
        QVERIFY(h.debutEchec(kT0, "a,b").ok && h.finEchec(kT0.addSecs(60)).ok);
        QVERIFY(h.debutEchec(kT0.addSecs(120), "l1\r\nl2").ok);
    }
    Historique h(base);
    Resultat r;
    const QList<Changement> lus = h.changements(&r);
    QVERIFY2(r.ok, qPrintable(r.raison));
    const QByteArray csv = exporteCsv(lus, h.echecs());
    QCOMPARE(csv.mid(csv.indexOf("\r\n") + 2),
             "echec,2026-12-05T06:45:00Z,2026-12-05T06:46:00Z,,,,,,,,,,,\"a,b\"\r\n"
             "changement,2026-12-05T06:45:01Z,,10.0.0.1,10.0.0.2,secours,https://ip.exemple/"
             "detect.php,echec,\"a@exemple.fr : ok; b@exemple.fr : 550 \"\"refus\xc3\xa9\"\"\",ok,,"
             "sans reponse,,\r\n"
             "echec,2026-12-05T06:47:00Z,,,,,,,,,,,,\"l1\r\nl2\"\r\n");
}

// Killed a few times over, since one kill may land between two records.
void TestHistorique::tueEnEcrivant()
{
    const QString base = dir_.filePath("tue.db");
    int attendus = 0;
    for (int tour = 0; tour < 4; ++tour) {
        QProcess enfant;
        enfant.start(QCoreApplication::applicationFilePath(), {"--ecrivain", base});
        int confirmes = 0;
        while (confirmes < 20 && enfant.waitForReadyRead(10000)) {
            while (enfant.canReadLine()) {
                confirmes = enfant.readLine().trimmed().toInt() + 1;
            }
        }
        QVERIFY(confirmes >= 20);
        // Off the rhythm of its output, so that the kill lands anywhere in a record.
        QTest::qSleep(int(QRandomGenerator::global()->bounded(1, 12)));
        enfant.kill(); // SIGKILL, mid-loop
        QVERIFY(enfant.waitForFinished(5000));
        QCOMPARE(enfant.exitStatus(), QProcess::CrashExit);
        attendus += confirmes;

        // Every confirmed record is there, each one whole: its two mails came with it.
        const QStringList lu = sqlite3(base, "PRAGMA integrity_check; SELECT count(*) FROM "
                                             "changements; SELECT count(*) FROM mails;");
        QCOMPARE(lu.value(0), "ok");
        QVERIFY2(lu.value(1).toInt() >= attendus, qPrintable(lu.join(u' ')));
        QCOMPARE(lu.value(2).toInt(), 2 * lu.value(1).toInt());
        attendus = lu.value(1).toInt();
    }
    Historique h(base);
    QCOMPARE(h.changements().size(), attendus);
}

// Through the engine: a failure run, then a change from the fallback page with its mailing.
void TestHistorique::moteur()
{
    DossierDeTravail dossier;
    QVERIFY(ecrit("Corvane.cfg", "[IP]\r\nDerniere IP=1.1.1.1\r\n[OPTION]\r\nMail Auto=1\r\n"));
    FakePlatform fp;
    FakeDetecteur detect;
    FakeMail mail;
    FakePublication pub;
    Moteur m(fp.platform(), dossier.chemin("Corvane.cfg"), detect, mail, pub);
    m.Form_Load();
    Historique h;
    h.suit(m, fp.clock);
    m.verifieUneFois();
    detect.echoue("d\u00e9lai");
    fp.clock.current = fp.clock.current.addSecs(300);
    m.verifieUneFois();
    detect.repond("7.7.7.7", true);
    emit mail.termine("rapport", 1, {{"a@exemple.fr", true, {}}, {"b@exemple.fr", false, "550"}});

    const QList<Changement> c = h.changements();
    QCOMPARE(c.size(), 1);
    QCOMPARE(c[0].ancienne + ">" + c[0].nouvelle, "1.1.1.1>7.7.7.7");
    QVERIFY(c[0].secours && c[0].mails == Issue::Echec);
    QCOMPARE(c[0].parAdresse.value(1).raison, "550");
    const QList<Echec> e = h.echecs();
    QCOMPARE(e.size(), 1);
    QCOMPARE(e[0].debut.secsTo(e[0].fin), 300);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--ecrivain") == 0) {
        return ecrivain(QString::fromLocal8Bit(argv[2]));
    }
    TestHistorique t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_historique.moc"
