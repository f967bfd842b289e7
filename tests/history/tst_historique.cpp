// The change history: records read back, schema versions, a writer killed mid-loop, the CSV
// export, and the engine's changes and failure runs landing in the database.

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

// What sqlite3 itself prints for these statements: the file is readable without Qt.
QString sqlite3(const QString& base, const QString& sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {base, sql});
    if (!p.waitForFinished(10000) || p.exitCode() != 0) {
        return QStringLiteral("sqlite3 failed: ") + p.readAllStandardError();
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Every field, for comparing a record with what was read back.
QString champs(const Changement& c)
{
    QString t;
    QDebug(&t) << c.heure << c.ancienne << c.nouvelle << c.secours << c.url << int(c.mails)
               << int(c.upload) << c.raisonUpload << int(c.dns) << c.raisonDns;
    for (const IssueMail& m : c.parAdresse) {
        QDebug(&t) << m.adresse << m.ok << m.raison;
    }
    return t;
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
    c.parAdresse = {{"a@exemple.fr", true, {}}, {"b@exemple.fr", false, "550 refus\u00e9"}};
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
    void relit();
    void versions_data();
    void versions();
    void tueEnEcrivant();
    void csv_data();
    void csv();
    void moteur();

private:
    QTemporaryDir dir_;
};

// Every field of a change, the mails per address and the fallback page, and failure runs, one
// of them still running.
void TestHistorique::relit()
{
    const Changement c = exemple(1);
    const QString base = dir_.filePath("relit.db");
    {
        Historique h(base);
        const Resultat a = h.ajoute(c);
        QVERIFY2(a.ok, qPrintable(a.raison));
        QVERIFY(h.debutEchec(kT0.addSecs(60), "d\u00e9lai d\u00e9pass\u00e9").ok);
        QVERIFY(h.finEchec(kT0.addSecs(120)).ok);
        QVERIFY(h.debutEchec(kT0.addSecs(180), "refus").ok); // still running at the end
    }
    Historique h(base);
    Resultat r;
    const QList<Changement> lus = h.changements(&r);
    QVERIFY2(r.ok, qPrintable(r.raison));
    QCOMPARE(lus.size(), 1);
    QCOMPARE(champs(lus[0]), champs(c));
    const QList<Echec> echecs = h.echecs();
    QCOMPARE(echecs.size(), 2);
    QCOMPARE(echecs[0].fin, kT0.addSecs(120));
    QCOMPARE(echecs[0].raison, "d\u00e9lai d\u00e9pass\u00e9");
    QVERIFY(!echecs[1].fin.isValid());
}

void TestHistorique::versions_data()
{
    QTest::addColumn<QString>("sql"); // made by sqlite3 before the program opens it
    QTest::addColumn<QByteArray>("octets");
    QTest::addColumn<bool>("ok");
    QTest::newRow("version 0, other table") << "CREATE TABLE notes (x);" << QByteArray() << true;
    QTest::newRow("newer version") << "PRAGMA user_version=2;" << QByteArray() << false;
    QTest::newRow("not a database") << QString() << QByteArray(4096, 'x') << false;
}

void TestHistorique::versions()
{
    QFETCH(QString, sql);
    QFETCH(QByteArray, octets);
    QFETCH(bool, ok);
    const QString base = dir_.filePath(QTest::currentDataTag());
    if (!sql.isEmpty()) {
        QCOMPARE(sqlite3(base, sql), QString());
    } else {
        QVERIFY(ecrit(base, octets));
    }
    const QByteArray avant = lit(base);
    Historique h(base);
    const Resultat r = h.ajoute(exemple(0));
    QCOMPARE(r.ok, ok);
    if (ok) {
        QCOMPARE(sqlite3(base, "PRAGMA user_version; SELECT count(*) FROM changements;"), "1\n1");
    } else { // said, and the file left as it was
        QVERIFY(!r.raison.isEmpty());
        QCOMPARE(lit(base), avant);
    }
}

// Killed at a random point of its loop, a few times over, since one kill may land between two
// records.
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
        const QStringList lu =
            sqlite3(base, "PRAGMA integrity_check; SELECT count(*) FROM changements; "
                          "SELECT count(*) FROM mails;")
                .split('\n');
        QCOMPARE(lu.size(), 3);
        QCOMPARE(lu[0], "ok");
        QVERIFY2(lu[1].toInt() >= attendus, qPrintable(lu[1]));
        QCOMPARE(lu[2].toInt(), 2 * lu[1].toInt());
        attendus = lu[1].toInt();
    }
    Historique h(base);
    QCOMPARE(h.changements().size(), attendus);
}

void TestHistorique::csv_data()
{
    QTest::addColumn<QString>("raison");
    QTest::addColumn<QByteArray>("champ");
    QTest::newRow("comma") << "a,b" << QByteArray("\"a,b\"");
    QTest::newRow("quotes") << "dit \"non\"" << QByteArray("\"dit \"\"non\"\"\"");
    QTest::newRow("line break") << "l1\r\nl2" << QByteArray("\"l1\r\nl2\"");
}

void TestHistorique::csv()
{
    QFETCH(QString, raison);
    QFETCH(QByteArray, champ);
    Changement c = exemple(0);
    c.heure = kT0.addSecs(600); // after the run: rows come in time order
    const QByteArray csv = exporteCsv({c}, {{1, kT0, kT0.addSecs(60), raison}});
    const QList<QByteArray> lignes = csv.split('\n');
    QVERIFY(lignes[0].startsWith("type,debut,fin,"));
    QVERIFY(csv.startsWith(lignes[0] + '\n') && lignes[0].endsWith('\r'));
    QVERIFY(csv.contains("\r\nechec,2026-12-05T06:45:00Z,2026-12-05T06:46:00Z,,,,,,,,,,," + champ +
                         "\r\nchangement,2026-12-05T06:55:00Z,,10.0.0.0,10.0.0.1,principale,"
                         "https://ip.exemple/detect.php,echec,a@exemple.fr : ok; b@exemple.fr "
                         ": 550 refus\xc3\xa9,ok,,sans reponse,,\r\n"));
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
    FakeDns dns;
    Moteur m(fp.platform(), dossier.chemin("Corvane.cfg"), detect, mail, pub, &dns);
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
    QVERIFY(c[0].secours);
    QCOMPARE(c[0].mails, Issue::Echec);
    QCOMPARE(c[0].parAdresse.size(), 2);
    QCOMPARE(c[0].parAdresse[1].raison, "550");
    const QList<Echec> e = h.echecs();
    QCOMPARE(e.size(), 1);
    QCOMPARE(e[0].debut.secsTo(e[0].fin), 300);
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--ecrivain") == 0) {
        QCoreApplication app(argc, argv);
        return ecrivain(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestHistorique t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_historique.moc"
