// The watch engine without a window, driven through fakes that answer when the test says so.

#include "platform/fullfile.h"
#include "support/fakes.h"
#include "support/fichiers.h"

#include "config/fichierini.h"
#include "platform/textcodec.h"
#include "watch/moteur.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

#include <sys/stat.h>

using namespace corvane;
using namespace corvane::test;

namespace {

// One log entry as written at the fake clock's time.
QByteArray entree(const QByteArray& libelle, const QByteArray& ip = "1.2.3.4")
{
    return "\n" + libelle + "\r\n05/12/2026 06:45:00\r\nIP = " + ip + "\r\n";
}

// Settings: the last address 1.1.1.1 and logging on, with more [OPTION] and [REGLAGE] lines.
QByteArray reglages(const QByteArray& option = {}, const QByteArray& reglage = {})
{
    return "[IP]\nDerniere IP=1.1.1.1\n[OPTION]\nSauve Log=1\n" + option + "\n[REGLAGE]\n" +
           reglage + "\n";
}

// "1.1.1.1>2.2.2.2 mails upload dns", each "-" (off), "ok", "!reason" or "..." (under way).
QString resume(const BilanChangement& b)
{
    const auto issue = [](BilanChangement::Issue i, const QString& raison) {
        return QStringList{"-", "ok", "!" + raison, "..."}.value(int(i));
    };
    return b.ancienne + ">" + b.nouvelle + " " + issue(b.mails, QString::number(b.mailsRefuses)) +
           " " + issue(b.upload, b.raisonUpload) + " " + issue(b.dns, b.raisonDns);
}

// A program folder and working directory of its own, an engine over fakes.
struct Banc : DossierDeTravail {
    FakePlatform fp;
    FakeDetecteur detect;
    FakeMail mail;
    FakePublication pub;
    FakeDns dns;
    QStringList trace; // what the fakes were asked, the entries, the outcomes, in order
    std::unique_ptr<Moteur> m;

    Banc()
    {
        for (Trace* t : {&fp.boxes.trace, &fp.sound.trace, &detect.trace, &mail.trace, &pub.trace,
                         &dns.trace}) {
            t->vers = &trace;
        }
    }
    QString cfg() const { return chemin("Corvane.cfg"); }
    // Settings lines written as the file (CR LF) unless null, then the engine, not yet loaded.
    Moteur& cree(const QByteArray& lignes, const QString& fichier = {})
    {
        if (!lignes.isNull()) {
            ecrit(cfg(), QByteArray(lignes).replace("\n", "\r\n"));
        }
        m = std::make_unique<Moteur>(fp.platform(), fichier.isEmpty() ? cfg() : fichier, detect,
                                     mail, pub, &dns);
        QObject::connect(m.get(), &Moteur::texteAjoute, [this](const QString& t) {
            if (t.startsWith(u'\n')) {
                trace.append(t.mid(1).section(u'\r', 0, 0));
            }
        });
        QObject::connect(m.get(), &Moteur::changementTermine,
                         [this](const BilanChangement& b) { trace.append("bilan " + resume(b)); });
        QObject::connect(m.get(), &Moteur::detectionEnEchec,
                         [this](const QString& r) { trace.append("serie " + r); });
        return *m;
    }
    Moteur& demarre(const QByteArray& lignes = reglages())
    {
        cree(lignes).Form_Load();
        return *m;
    }
    void start(const QString& ip)
    {
        m->CommandStart_Click();
        detect.repond(ip);
    }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i) {
            m->Timer1_Timer();
        }
    }
};

} // namespace

class TestMoteur : public QObject {
    Q_OBJECT

private slots:
    void reglagesTypes_data();
    void reglagesTypes();
    void demarrage_data();
    void demarrage();
    void journal_data();
    void journal();
    void scenario_data();
    void scenario();
    void sortie();
    void secrets_data();
    void secrets();
};

void TestMoteur::reglagesTypes_data()
{
    // Interval, colour, window size, on top, position H and mail, as read and as meant.
    QTest::addColumn<QString>("textes");
    QTest::addColumn<QList<int>>("attendu");
    QTest::newRow("as written") << "2.5|7|reduit|oui|1440|1" << QList<int>{2, 7, 1, 1, 1440, 1};
    QTest::newRow("out of range") << "5|300|reduit |non|2147483647|01"
                                  << QList<int>{0, 1, 0, 0, 1000000, 0};
    // Read as far as a number goes, ties to even; 300 digits must not overflow a conversion.
    QTest::newRow("read as Val") << "1.5|  12abc|complet|oui|-1" + QString(300, u'0') + "|1"
                                 << QList<int>{2, 12, 0, 1, -1000000, 1};
}

void TestMoteur::reglagesTypes()
{
    QFETCH(QString, textes);
    QFETCH(QList<int>, attendu);
    Parametres p;
    QString* champs[] = {&p.ValeurBoutonTempo, &p.CouleurConsole, &p.TailleFenetre,
                         &p.ToujoursVisible,   &p.PositionH,      &p.MailAuto};
    for (int i = 0; i < 6; ++i) {
        *champs[i] = textes.section(u'|', i, i);
    }
    const Reglages r = lisReglages(p);
    QCOMPARE((QList<int>{r.intervalle, r.couleur, r.taille == Taille::Reduit, r.toujoursVisible,
                         r.positionH, r.mailAuto}),
             attendu);
}

void TestMoteur::demarrage_data()
{
    QTest::addColumn<QByteArray>("fichier"); // null: none
    QTest::addColumn<QString>("nom");
    QTest::addColumn<QString>("raison"); // said at start
    QTest::newRow("folder missing") << QByteArray() << "absent/c.cfg"
                                    << "Impossible d'\u00e9crire";
    QTest::newRow("UTF-16") << QByteArrayLiteral("\xFF\xFE[\0I\0P\0]\0\r\0\n\0") << "Corvane.cfg"
                            << "UTF-16";
}

// A settings file that cannot be written or read is named in a box at start and at the exit.
void TestMoteur::demarrage()
{
    QFETCH(QByteArray, fichier);
    QFETCH(QString, nom);
    QFETCH(QString, raison);
    Banc b;
    const QString chemin = b.chemin(nom);
    QVERIFY(fichier.isNull() || ecrit(chemin, fichier));
    Moteur& m = b.cree(QByteArray(), chemin);
    QSignalSpy aide(&m, &Moteur::aideDemandee);
    m.Form_Load();
    QCOMPARE(aide.size(), fichier.isNull() ? 1 : 0);
    m.setAudio(true);
    QVERIFY(m.Form_QueryUnload({}));
    const auto& boites = b.fp.boxes.shown; // the start's, the exit's question, its report
    QCOMPARE(boites.size(), 3);
    QVERIFY2(boites[0].text.contains(chemin) && boites[0].text.contains(raison),
             qPrintable(boites[0].text));
    QCOMPARE(boites[2].kind, "inform");
    QVERIFY(boites[2].text.contains(chemin));
    QCOMPARE(lit(chemin), fichier);
}

void TestMoteur::journal_data()
{
    QTest::addColumn<int>("kio"); // the old log's size; 0: a FIFO
    QTest::newRow("half a megabyte: its end shown, kept") << 512;
    QTest::newRow("past a megabyte: moved to corvane.log.1") << 3072;
    QTest::newRow("FIFO") << 0;
}

// An old log is never loaded nor rewritten whole; one that cannot be read is kept aside. The
// file then holds all the log is given; a full disk is said once, in the window, losing nothing.
void TestMoteur::journal()
{
    QFETCH(int, kio);
    const bool garde = kio > 0 && kio < 1024; // the next entries go after the old text
    const QString montre = kio ? QString::fromUtf8("… début du journal non affiché (")
                               : QString("corvane.log illisible : ");
    Banc b;
    QByteArray ancien = kio ? "ancien\xE9\r\n" : "";
    for (int i = 0; ancien.size() < kio * 1024; ++i) {
        ancien += entree("Changement IP", "10.0." + QByteArray::number(i % 256) + ".1");
    }
    QVERIFY(ancien.isEmpty() ? ::mkfifo("corvane.log", 0600) == 0 : ecrit("corvane.log", ancien));
    struct stat avant {};
    QCOMPARE(::lstat("corvane.log", &avant), 0);
    Moteur& m = b.demarre();
    const QString texte = m.log().texte();
    QVERIFY2(texte.startsWith(montre) || texte.startsWith("(" + montre),
             qPrintable(texte.left(80)));
    QVERIFY(texte.size() < 100 * 1024);
    if (ancien.isEmpty()) { // the very file, renamed
        struct stat apres {};
        QCOMPARE(::lstat("corvane.log.illisible", &apres), 0);
        QCOMPARE(apres.st_ino, avant.st_ino);
    } else {
        QVERIFY(texte.endsWith(fromAnsi(ancien.right(200))));
        QCOMPARE(lit("corvane.log.1"), garde ? QByteArray() : ancien);
    }
    m.IpActuelle = "1.2.3.4";
    m.journal("un");
    m.ajouteTexte("..");
    m.journal("deux");
    m.setLog(false);
    QCOMPARE(m.parametres().SauveLog, "0");
    m.journal("trois");
    m.ajouteTexte(".");
    const QByteArray fichier =
        (garde ? ancien : QByteArray()) + entree("un") + ".." + entree("deux");
    QCOMPARE(lit("corvane.log"), fichier);
    m.setLog(true);
    {
        FileSizeLimit plein(4);
        m.journal("quatre");
        m.journal("cinq");
    }
    QCOMPARE(lit("corvane.log"), fichier);
    QCOMPARE(m.log().texte().count("corvane.log : \u00e9criture impossible"), 1);
    m.journal("six");
    QCOMPARE(lit("corvane.log"),
             fichier + entree("trois") + "." + entree("quatre") + entree("cinq") + entree("six"));
}

void TestMoteur::scenario_data()
{
    // Steps: the letters of scenario(). Seen (N.N.N.N as N): requests, entries, calls, outcomes.
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("pas");
    QTest::addColumn<QString>("vus");
    const auto row = [](const char* nom, const char* options, const char* pas, const char* vus) {
        QTest::newRow(nom) << QString(options) << QString(pas) << QString::fromUtf8(vus);
    };
    const char* up = "Upload fichier=1";
    row("Stop at 100, Start: the count goes on", "", "S =1 a0 t100 S S =1 c100 t19 c119 t1 c0",
        "?|Start : |Stop : |?|Start : |?");
    row("1h to 2' at 500: at the next tick", "", "i2 S =1 t500 i0 c500 t1 c0", "?|Start : |?");
    // A check due while one is under way waits for it; the Start's last steps follow its own.
    row("deferred behind a slow page", "", "S t125 c5 =7 =7 e0 s1 l7",
        "?|Changement IP|ecrit 7|bilan 1>7 - - -|Start : |?");
    row("deferred behind a slow mailing", "Mail Auto=1", "S =7 t125 c5 m0 =7 e0 s1 l7",
        "?|Changement IP|ecrit 7|mail 7|rapport|bilan 1>7 ok - -|Start : |?");
    // A Stop lets the check under way end and act, and drops the one waiting behind it.
    row("Stop", "", "S S S S =4 S =4 t240 S =2 e0",
        "?|Stop : |Stop : |Changement IP|ecrit 4|bilan 1>4 - - -|Start : |"
        "Start : |?|Start : |?|Stop : |Changement IP|ecrit 2|bilan 4>2 - - -");
    // The page waits for the mailing's report, the update holds nothing up; one outcome each.
    row("upload failed", up, "S =2 e0 f-530_refus w a1",
        "?|Changement IP|ecrit 2|page 2|ftp |Start : |bilan 1>2 - !530 refus -");
    row("upload, no report within the bound", up, "S =2 w a1",
        "?|Changement IP|ecrit 2|page 2|ftp |Start : |bilan 1>2 - ... -");
    row("upload, page not built", up, "P S =2 w a1",
        "?|Changement IP|ecrit 2|page 2|bilan 1>2 - !page non construite -|Start : ");
    row("DNS failed", "Mise a jour DNS=1", "S =2 e0 d-nohost w a1",
        "?|Changement IP|ecrit 2|dns 2|Start : |Erreur DNS : nohost|bilan 1>2 - - !nohost");
    row("everything", "Mail Auto=1|Upload fichier=1|Bip changement IP=1|Mise a jour DNS=1",
        "S =2 e1 m2 e0 d+ f+ w a1",
        "?|son change|Changement IP|ecrit 2|mail 2|son mail|rapport|page 2|ftp |dns 2|"
        "Start : |DNS : OK|bilan 1>2 !2 ok ok");
    // The late report of the last change's upload is not taken for the new change's.
    row("a change during an upload", up, "S =2 t120 =3 f-refus f+",
        "?|Changement IP|ecrit 2|page 2|ftp |Start : |?|bilan 1>2 - ... -|Changement IP|"
        "ecrit 3|page 3|ftp |bilan 2>3 - ok -");
    // The alarm blinks from the tick after the change until acknowledged or a Stop.
    row("alarm", "", "S =2 a1 b t3 b101 k a0 t117 b =3 t1 b1 S a0",
        "?|Changement IP|ecrit 2|bilan 1>2 - - -|Start : |?|Changement IP|"
        "ecrit 3|bilan 2>3 - - -|Stop : ");
    // A failed detection is no change; a run of one failure is logged once, one box at a time;
    // even an unchanged good answer ends the run.
    row("a failure between two good answers", "", "S =5 t120 !404 t120 !404 t120 =5 t120 x !404",
        "?|Changement IP|ecrit 5|bilan 1>5 - - -|Start : |?|serie 404|"
        "Erreur d\u00e9tection : 404|boite 404|?|?|?|serie 404|Erreur d\u00e9tection : 404|"
        "boite 404");
    row("a new reason is logged, the box waits", "", "S !404 t120 !500 t120 x !500",
        "?|serie 404|Erreur d\u00e9tection : 404|boite 404|Start : |?|"
        "Erreur d\u00e9tection : 500|?|boite 500");
    row("the answering page changes", "", "S ~5 t120 ~5 t120 =5",
        "?|D\u00e9tection : adresse de secours|Changement IP|ecrit 5|bilan 1>5 - - -|"
        "Start : |?|?|D\u00e9tection : adresse principale");
    // Without a window the timer sleeps until a check is due, a deferred one included.
    row("headless", "", "h S =1 p120 t1 c0 p120 t1 c0 =1 =1 p120 t1", "?|Start : |?|?|?");
}

void TestMoteur::scenario()
{
    QFETCH(QString, options);
    QFETCH(QString, pas);
    QFETCH(QString, vus);
    Banc b;
    Moteur& m = b.demarre(reglages(options.replace(u'|', u'\n').toUtf8()));
    m.setDelaiBilan(50);
    const int inits = b.mail.inits;
    QString phases; // the alarm's blinks since the last "b": 1 red, 0 normal
    QObject::connect(&m, &Moteur::phaseAlarme, [&](bool rouge) { phases += rouge ? u'1' : u'0'; });
    QString ip = "1.1.1.1"; // the last good answer
    const auto adresse = [](const QString& r) { return QString("%1.%1.%1.%1").arg(r); };
    const auto repond = [&](const QString& r, bool secours) {
        b.detect.repond(ip = adresse(r), secours);
    };
    const QTimer* timer = m.findChild<QTimer*>("Timer1");
    // Each step: a letter, then a number or a reason ("_" for a blank).
    const QHash<QChar, std::function<void(const QString&, int)>> actions{
        {u'S', [&](const QString&, int) { m.CommandStart_Click(); }},
        {u'h', [&](const QString&, int) { m.setSansFenetre(true); }},
        {u'=', [&](const QString& r, int) { repond(r, false); }},
        {u'~', [&](const QString& r, int) { repond(r, true); }},
        {u'!', [&](const QString& r, int) { b.detect.echoue(r); }},
        {u't', [&](const QString&, int n) { b.ticks(n); }},
        {u'i', [&](const QString&, int n) { m.setIntervalle(n); }},
        {u'x', [&](const QString&, int) { b.fp.boxes.closeAll(); }},
        {u'k', [&](const QString&, int) { m.acquitteAlarme(); }},
        {u'b', [&](const QString& r, int) { QCOMPARE(std::exchange(phases, {}), r); }},
        {u'm',
         [&](const QString&, int n) {
             emit b.mail.mailEnvoye();
             emit b.mail.termine("rapport", n);
         }},
        {u'f', [&](const QString& r, int) { emit b.pub.envoiTermine(r == u"+", r.mid(1)); }},
        {u'd', [&](const QString& r, int) { emit b.dns.termine(r == u"+", r.mid(1)); }},
        {u'P', [&](const QString&, int) { b.pub.pageOk = false; }},
        {u'p', [&](const QString&, int n) { QCOMPARE(timer->interval(), n * 1000); }},
        {u'c', [&](const QString&, int n) { QCOMPARE(m.compteur(), n); }},
        {u'e', [&](const QString&, int n) { QCOMPARE(m.enCours(), n == 1); }},
        {u'a', [&](const QString&, int n) { QCOMPARE(m.alarme(), n == 1); }},
        {u's', [&](const QString&, int n) { QCOMPARE(b.mail.inits - inits, n); }},
        {u'w', [&](const QString&, int) { QTRY_VERIFY_WITH_TIMEOUT(!m.actionEnCours(), 5000); }},
        {u'l',
         [&](const QString& r, int) { QVERIFY(m.log().texte().endsWith(adresse(r) + "\r\n")); }},
    };
    for (const QString& p : pas.split(u' ')) {
        const QString r = p.mid(1).replace(u'_', u' ');
        QVERIFY2(actions.contains(p[0]), qPrintable(p));
        actions[p[0]](r, r.toInt());
        if (QTest::currentTestFailed()) {
            QFAIL(qPrintable("at " + p));
        }
    }
    QCOMPARE(b.trace.replaceInStrings(kErreurDetection + "\r\n\r\n", QString())
                 .join(u'|')
                 .replace(QRegularExpression(R"((\d)\.\1\.\1\.\1)"), "\\1"),
             vus);
    QCOMPARE(m.parametres().DerniereIP, ip); // a failure keeps the last good address
}

// No writes nothing; Yes writes only what changed, over hand edits, and ends everything.
void TestMoteur::sortie()
{
    Banc b;
    Moteur& m = b.demarre(reglages("Bip changement IP=0", "Valeur_Bouton_Tempo=0\nPosition H=15") +
                          "[SMTP]\nSujet=avant\n");
    m.setAudio(true);
    m.setIntervalle(1);
    b.start("2.2.2.2");
    b.ticks(600);
    b.detect.echoue("HTTP 404");
    b.ticks(600); // a check under way at the exit
    QVERIFY(b.fp.boxes.open.contains("detection"));
    QVERIFY(ecrit(b.cfg(),
                  lit(b.cfg()).replace("Sujet=avant", "Sujet=edite").replace("Log=1", "Log=0")));
    const QByteArray edite = lit(b.cfg());
    b.fp.boxes.answers = {false};
    QVERIFY(!m.Form_QueryUnload({}));
    QCOMPARE(lit(b.cfg()), edite);

    QVERIFY(m.Form_QueryUnload(QPoint(3000, -1500)));
    QVERIFY(b.fp.boxes.open.isEmpty());
    QVERIFY(!m.findChild<QTimer*>("Timer1")->isActive());
    const Parametres p = ChargeConfig(b.cfg());
    QCOMPARE((QStringList{p.Sujet, p.SauveLog, p.BipChangement, p.ValeurBoutonTempo, p.DerniereIP,
                          p.PositionH, p.PositionV}),
             (QStringList{"edite", "0", "1", "1", "2.2.2.2", "3000", "-1500"}));
    b.trace.clear();
    b.detect.repond("3.3.3.3");
    QVERIFY(b.trace.isEmpty());
    QVERIFY(m.Form_QueryUnload({}));
    QCOMPARE(b.fp.boxes.shown.count(), 3); // the detection box and two questions
}

void TestMoteur::secrets_data()
{
    QTest::addColumn<bool>("fichier"); // the file holds the passwords, else its keys are empty
    QTest::newRow("empty keys") << false;
    QTest::newRow("the file's win") << true;
}

// The keyring's passwords fill only the file's empty keys and never reach the file.
void TestMoteur::secrets()
{
    QFETCH(bool, fichier);
    const QString vu = fichier ? "f-" : "k-";
    Banc b;
    Moteur& m = b.demarre(reglages("Mail Auto=1\nUpload fichier=1") +
                          "[SMTP]\nMot de passe=" + (fichier ? "f-smtp" : "") +
                          "\n[ADRESSE FTP]\nMot de passe=" + (fichier ? "f-ftp" : "") + "\n");
    m.utiliseSecrets("k-smtp", "k-ftp");
    QCOMPARE(b.mail.motDePasse, vu + "smtp"); // the mailing's settings, at once
    b.start("2.2.2.2");
    emit b.mail.termine("rapport", 0);
    QCOMPARE(b.pub.motDePasse, vu + "ftp");
    m.quitteSansQuestion();
    QVERIFY(!lit(b.cfg()).contains("k-"));
}

QTEST_GUILESS_MAIN(TestMoteur)
#include "tst_moteur.moc"
