// The watch engine without a window: start-up and exit, the log, the check cycle, the change
// decision and its sequence, driven through fakes that answer when the test says so.

#include "platform/fullfile.h"
#include "support/fakes.h"
#include "support/fichiers.h"

#include "config/fichierini.h"
#include "detect/detecteip.h"
#include "platform/textcodec.h"
#include "watch/moteur.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

// A program folder and working directory of its own, an engine over fakes.
struct Banc : DossierDeTravail {
    FakePlatform fp;
    FakeDetecteur detect;
    FakeMail mail;
    FakePublication pub;
    FakeDns dns;
    QStringList trace; // entries, sounds and service calls, in order
    std::unique_ptr<Moteur> m;

    Banc() { fp.sound.trace.vers = mail.trace.vers = pub.trace.vers = dns.trace.vers = &trace; }
    QString cfg() const { return chemin("Corvane.cfg"); }
    // Settings lines written as the file (CR LF) unless null, then the engine, not yet loaded.
    Moteur& cree(const QByteArray& lignes, const QString& chemin = {})
    {
        if (!lignes.isNull()) {
            ecrit(cfg(), QByteArray(lignes).replace("\n", "\r\n"));
        }
        m = std::make_unique<Moteur>(fp.platform(), chemin.isEmpty() ? cfg() : chemin, detect, mail,
                                     pub, &dns);
        QObject::connect(m.get(), &Moteur::texteAjoute, [this](const QString& t) {
            if (t.startsWith(u'\n')) {
                trace.append("entree " + t.mid(1).section(u'\r', 0, 0));
            }
        });
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
    int requetes() const { return int(detect.requetes.size()); }
    int entrees(const QString& libelle) const { return int(trace.count("entree " + libelle)); }
};

// "1.1.1.1>2.2.2.2 mails:ok upload:echec raison dns:off"
QString resume(const BilanChangement& b)
{
    const auto issue = [](BilanChangement::Issue i, const QString& raison) {
        const QStringList noms{"off", "ok", "echec " + raison, "en cours"}; // in enum order
        return noms.value(int(i));
    };
    return b.ancienne + ">" + b.nouvelle +
           " mails:" + issue(b.mails, QString::number(b.mailsRefuses)) +
           " upload:" + issue(b.upload, b.raisonUpload) + " dns:" + issue(b.dns, b.raisonDns);
}

} // namespace

class TestMoteur : public QObject {
    Q_OBJECT

private slots:
    void reglagesTypes_data();
    void reglagesTypes();
    void premierDemarrage_data();
    void premierDemarrage();
    void reglagesIllisibles();
    void fichierJournal();
    void ancienJournal_data();
    void ancienJournal();
    void cycle_data();
    void cycle();
    void differee_data();
    void differee();
    void sansFenetre();
    void stopAbandonneLAttente();
    void stopPendantStart();
    void changement_data();
    void changement();
    void bilansSuccessifs();
    void echecs_data();
    void echecs();
    void alarme();
    void sortie();
    void sortieFermeTout();
    void demarrageAuto_data();
    void demarrageAuto();
    void secrets_data();
    void secrets();
};

void TestMoteur::reglagesTypes_data()
{
    // Interval, colour, window size, on top, position H and mail, as read and as meant.
    QTest::addColumn<QStringList>("textes");
    QTest::addColumn<QList<int>>("attendu");
    QTest::newRow("as written") << QStringList{"2.5", "7", "reduit", "oui", "1440", "1"}
                                << QList<int>{2, 7, 1, 1, 1440, 1};
    QTest::newRow("exact texts only")
        << QStringList{"0.5", "", "Reduit", "OUI", "", " 1"} << QList<int>{0, 0, 0, 0, 0, 0};
    QTest::newRow("out of range") << QStringList{"5", "300", "reduit ", "non", "2147483647", "01"}
                                  << QList<int>{0, 1, 0, 0, 1000000, 0};
}

void TestMoteur::reglagesTypes()
{
    QFETCH(QStringList, textes);
    QFETCH(QList<int>, attendu);
    Parametres p;
    p.ValeurBoutonTempo = textes[0];
    p.CouleurConsole = textes[1];
    p.TailleFenetre = textes[2];
    p.ToujoursVisible = textes[3];
    p.PositionH = textes[4];
    p.MailAuto = textes[5];
    const Reglages r = lisReglages(p);
    QCOMPARE((QList<int>{r.intervalle, r.couleur, r.taille == Taille::Reduit, r.toujoursVisible,
                         r.positionH, r.mailAuto}),
             attendu);
}

void TestMoteur::premierDemarrage_data()
{
    QTest::addColumn<bool>("ecrivable");
    QTest::newRow("defaults written") << true;
    QTest::newRow("folder missing") << false;
}

// No settings file: the defaults are written and the help is asked for; a file that cannot be
// written is said in a box naming it.
void TestMoteur::premierDemarrage()
{
    QFETCH(bool, ecrivable);
    Banc b;
    const QString chemin = ecrivable ? b.cfg() : b.chemin("absent/c.cfg");
    Moteur& m = b.cree(QByteArray(), chemin);
    QSignalSpy aide(&m, &Moteur::aideDemandee);
    m.Form_Load();
    QCOMPARE(aide.size(), 1);
    QCOMPARE(b.fp.boxes.count("config"), ecrivable ? 0 : 1);
    QVERIFY(ecrivable ? QFile::exists(chemin) : b.fp.boxes.shown[0].text.contains(chemin));
}

// Said at start in a box naming the file; the exit says it was not saved and leaves it alone.
void TestMoteur::reglagesIllisibles()
{
    Banc b;
    static const char kUtf16[] = "\xFF\xFE[\0I\0P\0]\0\r\0\n\0";
    const QByteArray utf16(kUtf16, sizeof kUtf16 - 1);
    QVERIFY(ecrit(b.cfg(), utf16));
    Moteur& m = b.cree(QByteArray());
    m.Form_Load();
    QCOMPARE(b.fp.boxes.count("config"), 1);
    const QString texte = b.fp.boxes.shown[0].text;
    QVERIFY2(texte.contains(b.cfg()) && texte.contains("UTF-16"), qPrintable(texte));
    m.setAudio(true);
    QVERIFY(m.Form_QueryUnload({}));
    QCOMPARE(b.fp.boxes.shown.last().kind, "inform");
    QCOMPARE(lit(b.cfg()), utf16);
}

// The file holds exactly what the log was given, entries made while logging was off and the
// upload's dots included; a full disk is said once, in the log only, and loses nothing.
void TestMoteur::fichierJournal()
{
    Banc b;
    QVERIFY(ecrit("corvane.log", "ancien\xE9\r\n"));
    Moteur& m = b.demarre();
    m.IpActuelle = "1.2.3.4";
    m.journal("un");
    m.ajouteTexte("..");
    m.journal("deux");
    m.setLog(false);
    QCOMPARE(m.parametres().SauveLog, "0");
    m.journal("trois");
    m.ajouteTexte(".");
    const QByteArray avant = "ancien\xE9\r\n" + entree("un") + ".." + entree("deux");
    QCOMPARE(lit("corvane.log"), avant);
    m.setLog(true);
    {
        FileSizeLimit plein(4);
        m.journal("quatre");
        m.journal("cinq");
    }
    QCOMPARE(lit("corvane.log"), avant);
    QCOMPARE(m.log().texte().count("corvane.log : \u00e9criture impossible"), 1);
    m.journal("six");
    QCOMPARE(lit("corvane.log"),
             avant + entree("trois") + "." + entree("quatre") + entree("cinq") + entree("six"));
}

void TestMoteur::ancienJournal_data()
{
    QTest::addColumn<QString>("sorte");
    QTest::addColumn<QString>("montre"); // what the log says of the old file
    QTest::addColumn<bool>("garde");     // the next entry goes after the old text
    const QString debut = QString::fromUtf8("… début du journal non affiché (");
    QTest::newRow("half a megabyte: its end shown, kept") << "512" << debut << true;
    QTest::newRow("past a megabyte: moved to corvane.log.1") << "3072" << debut << false;
    const QString illisible = "corvane.log illisible : ";
    QTest::newRow("FIFO") << "fifo" << illisible << false;
}

// An old log is never loaded nor rewritten whole; one that cannot be read is kept under
// another name, and a new log begins beside it.
void TestMoteur::ancienJournal()
{
    QFETCH(QString, sorte);
    QFETCH(QString, montre);
    QFETCH(bool, garde);
    Banc b;
    QByteArray ancien;
    for (int i = 0; ancien.size() < sorte.toInt() * 1024; ++i) {
        ancien += entree("Changement IP", "10.0." + QByteArray::number(i % 256) + ".1");
    }
    if (sorte == u"fifo") {
        QCOMPARE(::mkfifo("corvane.log", 0600), 0);
    } else {
        QVERIFY(ecrit("corvane.log", ancien));
    }
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
    QCOMPARE(lit("corvane.log"), (garde ? ancien : QByteArray()) + entree("un"));
}

void TestMoteur::cycle_data()
{
    QTest::addColumn<int>("avant");     // interval button at the Start
    QTest::addColumn<int>("ticks");     // ticks counted then
    QTest::addColumn<bool>("relance");  // a Stop and a Start then
    QTest::addColumn<int>("apres");     // the button chosen after that
    QTest::addColumn<int>("prochaine"); // ticks until the next timed check
    QTest::newRow("2'") << 0 << 0 << false << 0 << 120;
    QTest::newRow("Stop at 100, Start: the count goes on") << 0 << 100 << true << 0 << 20;
    QTest::newRow("2' to 1h at 100") << 0 << 100 << false << 2 << 3500;
    QTest::newRow("1h to 2' at 500: at the next tick") << 2 << 500 << false << 0 << 1;
}

// A check at each Start, then one each time the count reaches the interval chosen.
void TestMoteur::cycle()
{
    QFETCH(int, avant);
    QFETCH(int, ticks);
    QFETCH(bool, relance);
    QFETCH(int, apres);
    QFETCH(int, prochaine);
    Banc b;
    Moteur& m = b.demarre(reglages({}, "Valeur_Bouton_Tempo=" + QByteArray::number(avant)));
    b.start("9.9.9.9");
    b.ticks(ticks);
    if (relance) {
        m.CommandStart_Click();
        b.start("9.9.9.9");
        QCOMPARE(m.compteur(), ticks);
    }
    const int n = b.requetes();
    QCOMPARE(n, relance ? 2 : 1);
    m.setIntervalle(apres);
    b.ticks(prochaine - 1);
    QCOMPARE(b.requetes(), n);
    b.ticks(1);
    QCOMPARE(b.requetes(), n + 1);
    QCOMPARE(m.compteur(), 0);
}

void TestMoteur::differee_data()
{
    QTest::addColumn<bool>("mail"); // what keeps the first check busy: the mailing or the page
    QTest::newRow("slow page") << false;
    QTest::newRow("slow mailing") << true;
}

// A check coming due while another one is under way waits for it, and the count goes on.
void TestMoteur::differee()
{
    QFETCH(bool, mail);
    Banc b;
    Moteur& m = b.demarre(reglages(mail ? "Mail Auto=1" : "", "Valeur_Bouton_Tempo=0"));
    const int inits = b.mail.inits;
    m.CommandStart_Click();
    if (mail) {
        b.detect.repond("7.7.7.7");
    }
    b.ticks(125);
    QCOMPARE(m.compteur(), 5);
    QCOMPARE(b.requetes(), 1);
    if (mail) {
        emit b.mail.termine("rapport", 0);
    } else {
        b.detect.repond("7.7.7.7");
    }
    QCOMPARE(b.requetes(), 2);
    b.detect.repond("7.7.7.7");
    QVERIFY(!m.enCours());
    // The Start's last steps followed its own check, stamped with its answer.
    QCOMPARE(b.entrees("Start : "), 1);
    QVERIFY(m.log().texte().endsWith(entree("Start : ", "7.7.7.7")));
    QCOMPARE(b.mail.inits, inits + 1);
}

// Without a window the timer sleeps until a check is due, and the checks still begin at the
// seconds the one-second ticks give them, also when one is due during a slow one.
void TestMoteur::sansFenetre()
{
    const int lente = 130; // the first timed check answers this late
    const int duree = 3 * CheckCycle::kIntervalles[0] + 1;
    QList<int> debuts[2]; // seconds after the Start
    int reveils = 0;
    for (const bool sans : {false, true}) {
        Banc b;
        Moteur& m = b.demarre(reglages({}, "Valeur_Bouton_Tempo=0"));
        m.setSansFenetre(sans);
        b.start("9.9.9.9");
        const QTimer* timer = m.findChild<QTimer*>("Timer1");
        QList<int>& vus = debuts[sans];
        int reveil = timer->interval() / 1000;
        int reponse = 0;
        for (int s = 1; s <= duree; ++s) {
            if (s == reveil) {
                m.Timer1_Timer();
                reveil = s + timer->interval() / 1000;
                reveils += sans;
            }
            if (s == reponse) {
                b.detect.repond("9.9.9.9"); // the check waiting behind it begins now
            }
            if (b.requetes() > vus.size() + 1) {
                vus.append(s);
                if (vus.size() == 1) {
                    reponse = s + lente;
                } else {
                    b.detect.repond("9.9.9.9");
                }
            }
        }
    }
    QCOMPARE(debuts[0].size(), 3);
    QCOMPARE(debuts[1], debuts[0]);
    QCOMPARE(reveils, 3);
}

// A Stop while a check waits behind the one under way: that one ends as it would have, and no
// other follows it with its mails and page.
void TestMoteur::stopAbandonneLAttente()
{
    Banc b;
    Moteur& m = b.demarre(reglages({}, "Valeur_Bouton_Tempo=0"));
    b.start("1.1.1.1");
    b.ticks(240); // one timed check under way, the next one waiting
    m.CommandStart_Click();
    b.detect.repond("2.2.2.2");
    QCOMPARE(b.requetes(), 2);
    QCOMPARE(b.trace.count("ecrit 2.2.2.2"), 1);
    QVERIFY(!m.enCours());
}

// A Stop does not abort the check under way: its answer still counts, and each Start's entry
// follows it while the cycle stays stopped, also that of a Start whose check a Stop dropped.
void TestMoteur::stopPendantStart()
{
    Banc b;
    Moteur& m = b.demarre();
    for (int i = 0; i < 4; ++i) {
        m.CommandStart_Click();
    }
    b.detect.repond("4.4.4.4");
    QCOMPARE(b.requetes(), 1);
    QVERIFY(!m.enMarche());
    QCOMPARE(b.trace, (QStringList{"entree Stop : ", "entree Stop : ", "entree Changement IP",
                                   "ecrit 4.4.4.4", "entree Start : ", "entree Start : "}));
    b.start("4.4.4.4");
    QCOMPARE(b.entrees("Start : "), 3);
}

void TestMoteur::changement_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("fragmentOk");
    QTest::addColumn<bool>("pageOk");
    // The services' reports, in turn: "mail N" (N addresses refused), "ftp" or "dns", each
    // followed by "ok" or "!" and the reason.
    QTest::addColumn<QStringList>("rapports");
    QTest::addColumn<QStringList>("attendu");
    QTest::addColumn<QString>("bilan"); // empty: none
    // Lists as "a|b"; in attendu C, E, S and R stand for the change's entry, the fragment
    // written, the Start's entry and the mailing's report.
    const auto row = [](const char* nom, const char* options, const char* ip, bool fragmentOk,
                        bool pageOk, const char* rapports, const char* attendu, const char* bilan) {
        const QHash<QString, QString> abr{{"C", "entree Changement IP"},
                                          {"E", QStringLiteral("ecrit ") + ip},
                                          {"S", "entree Start : "},
                                          {"R", "entree rapport"}};
        QStringList a = QString::fromUtf8(attendu).split(u'|');
        for (QString& x : a) {
            x = abr.value(x, x);
        }
        QTest::newRow(nom) << QByteArray(options).replace('|', '\n') << QString(ip) << fragmentOk
                           << pageOk << QString(rapports).split(u'|', Qt::SkipEmptyParts) << a
                           << (*bilan ? "1.1.1.1>" + QString(ip) + " " + bilan : QString());
    };
    const char* up = "Upload fichier=1";
    const char* dns = "Mise a jour DNS=1";
    const char* ip = "2.2.2.2";
    row("same address", "", "1.1.1.1", true, true, "", "S", "");
    row("all off", "", ip, true, true, "", "C|E|S", "mails:off upload:off dns:off");
    row("upload failed", up, ip, true, true, "ftp !Erreur de connexion : 530",
        "C|E|page 2.2.2.2|ftp |S", "mails:off upload:echec Erreur de connexion : 530 dns:off");
    row("upload, no report within the bound", up, ip, true, true, "", "C|E|page 2.2.2.2|ftp |S",
        "mails:off upload:en cours dns:off");
    row("upload, fragment not written", up, ip, false, true, "", "C|E|S",
        "mails:off upload:echec page non construite dns:off");
    row("upload, page not built", up, ip, true, false, "", "C|E|page 2.2.2.2|S",
        "mails:off upload:echec page non construite dns:off");
    // The update holds nothing up: the sequence ends before it reports.
    row("DNS failed", dns, ip, true, true, "dns !nom inconnu (nohost)",
        "C|E|dns 2.2.2.2|S|entree Erreur DNS : nom inconnu (nohost)",
        "mails:off upload:off dns:echec nom inconnu (nohost)");
    row("everything", "Mail Auto=1|Upload fichier=1|Bip changement IP=1|Mise a jour DNS=1", ip,
        true, true, "mail 2|dns ok|ftp ok",
        "son change|C|E|mail 2.2.2.2|son mail|R|page 2.2.2.2|ftp |dns 2.2.2.2|S|entree DNS : OK",
        "mails:echec 2 upload:ok dns:ok");
}

// The change decision and the order of its actions; the page waits for the mailing's report.
// One outcome per change, once its actions reported or their bound passed.
void TestMoteur::changement()
{
    QFETCH(QByteArray, options);
    QFETCH(QString, ip);
    QFETCH(bool, fragmentOk);
    QFETCH(bool, pageOk);
    QFETCH(QStringList, rapports);
    QFETCH(QStringList, attendu);
    QFETCH(QString, bilan);
    Banc b;
    b.pub.fragmentOk = fragmentOk;
    b.pub.pageOk = pageOk;
    Moteur& m = b.demarre(reglages(options));
    m.setDelaiBilan(50);
    QStringList bilans;
    QObject::connect(&m, &Moteur::changementTermine,
                     [&](const BilanChangement& bc) { bilans.append(resume(bc)); });
    b.start(ip);
    for (const QString& rapport : rapports) {
        const QString service = rapport.section(' ', 0, 0);
        const QString suite = rapport.section(' ', 1);
        if (service == u"mail") {
            QCOMPARE(b.trace.last(), "mail " + ip);
            QVERIFY(m.enCours());
            emit b.mail.mailEnvoye();
            emit b.mail.termine("rapport", suite.toInt());
        } else {
            QVERIFY(bilans.isEmpty());
            QVERIFY(!m.enCours());
            const bool ok = suite == u"ok";
            const QString raison = ok ? QString() : suite.mid(1);
            if (service == u"ftp") {
                emit b.pub.envoiTermine(ok, raison);
            } else {
                emit b.dns.termine(ok, raison);
            }
        }
    }
    QCOMPARE(b.trace, attendu);
    QCOMPARE(m.alarme(), ip != QLatin1String("1.1.1.1"));
    QCOMPARE(m.parametres().DerniereIP, ip);
    QVERIFY(!m.enCours());
    QTRY_COMPARE_WITH_TIMEOUT(bilans.size(), bilan.isEmpty() ? 0 : 1, 5000);
    QCOMPARE(bilans.value(0), bilan);
}

// A change while the last one's upload runs: that outcome goes out first, with what it knew,
// and the late report of its upload is not taken for the new change's.
void TestMoteur::bilansSuccessifs()
{
    Banc b;
    Moteur& m = b.demarre(reglages("Upload fichier=1", "Valeur_Bouton_Tempo=0"));
    QStringList bilans;
    QObject::connect(&m, &Moteur::changementTermine,
                     [&](const BilanChangement& bc) { bilans.append(resume(bc)); });
    b.start("2.2.2.2");
    b.ticks(120);
    b.detect.repond("3.3.3.3");
    QCOMPARE(bilans, QStringList{"1.1.1.1>2.2.2.2 mails:off upload:en cours dns:off"});
    emit b.pub.envoiTermine(false, "Erreur de connexion");
    QCOMPARE(bilans.size(), 1);
    emit b.pub.envoiTermine(true, {});
    QCOMPARE(bilans.value(1), "2.2.2.2>3.3.3.3 mails:off upload:ok dns:off");
}

void TestMoteur::echecs_data()
{
    // Each answer in turn: "!" a failure and its reason, "~" an answer of the fallback page,
    // "x" the user closes the error box.
    QTest::addColumn<QStringList>("reponses");
    QTest::addColumn<QStringList>("entrees");
    QTest::addColumn<int>("boites");
    QTest::addColumn<QStringList>("series"); // the reasons that began a run of failures
    QTest::newRow("a failure between two good answers is no change")
        << QStringList{"5.6.7.8", "!HTTP 404", "!HTTP 404", "5.6.7.8"}
        << QStringList{"Changement IP", "Start : ", "Erreur d\u00e9tection : HTTP 404"} << 1
        << QStringList{"HTTP 404"};
    QTest::newRow("a good answer ends a run of failures")
        << QStringList{"!HTTP 404", "5.6.7.8", "x", "!HTTP 404"}
        << QStringList{"Erreur d\u00e9tection : HTTP 404", "Start : ", "Changement IP",
                       "Erreur d\u00e9tection : HTTP 404"}
        << 2 << QStringList{"HTTP 404", "HTTP 404"};
    QTest::newRow("a new reason is logged; one box at a time")
        << QStringList{"!HTTP 404", "!HTTP 500", "x", "!HTTP 500"}
        << QStringList{"Erreur d\u00e9tection : HTTP 404",
                       "Start : ", "Erreur d\u00e9tection : HTTP 500"}
        << 2 << QStringList{"HTTP 404"};
    QTest::newRow("the answering page changes")
        << QStringList{"~5.6.7.8", "~5.6.7.8", "5.6.7.8"}
        << QStringList{"D\u00e9tection : adresse de secours", "Changement IP",
                       "Start : ", "D\u00e9tection : adresse principale"}
        << 0 << QStringList();
}

void TestMoteur::echecs()
{
    QFETCH(QStringList, reponses);
    QFETCH(QStringList, entrees);
    QFETCH(int, boites);
    QFETCH(QStringList, series);
    Banc b;
    Moteur& m = b.demarre(reglages({}, "Valeur_Bouton_Tempo=0"));
    QSignalSpy enEchec(&m, &Moteur::detectionEnEchec);
    m.CommandStart_Click();
    for (const QString& r : reponses) {
        if (r == u"x") {
            b.fp.boxes.closeAll();
            continue;
        }
        if (r.startsWith(u'!')) {
            b.detect.echoue(r.mid(1));
        } else {
            b.detect.repond(r.mid(r.startsWith(u'~') ? 1 : 0), r.startsWith(u'~'));
        }
        b.ticks(120);
    }
    QStringList vues;
    for (const QString& t : b.trace.filter("entree ")) {
        vues.append(t.mid(7));
    }
    QCOMPARE(vues, entrees);
    QStringList debuts;
    for (const QList<QVariant>& e : enEchec) {
        debuts.append(e.at(0).toString());
    }
    QCOMPARE(debuts, series);
    QCOMPARE(b.fp.boxes.count("detection"), boites);
    if (boites > 0) { // the usual text, then the reason
        const QString raison = reponses.filter(QRegularExpression("^!")).last();
        QCOMPARE(b.fp.boxes.shown.last().text, kErreurDetection + "\r\n\r\n" + raison.mid(1));
    }
}

void TestMoteur::alarme()
{
    Banc b;
    Moteur& m = b.demarre();
    QList<bool> phases;
    QObject::connect(&m, &Moteur::phaseAlarme, [&](bool rouge) { phases.append(rouge); });
    b.start("2.2.2.2");
    QVERIFY(m.alarme());
    QCOMPARE(phases.size(), 0); // the first blink comes with the next tick
    b.ticks(3);
    QCOMPARE(phases, (QList<bool>{true, false, true}));
    m.acquitteAlarme();
    QVERIFY(!m.alarme());
    b.ticks(117); // to the next check; no blink without the alarm
    QCOMPARE(phases.size(), 3);
    b.detect.repond("3.3.3.3");
    b.ticks(1);
    QCOMPARE(phases.last(), true); // from the normal colour again
    m.CommandStart_Click();        // Stop ends it too
    QVERIFY(!m.alarme());
}

// No writes nothing. Yes writes what the program changed, over the file as it is then: what the
// owner edited by hand while the program ran is kept, and the lines it does not know stay.
void TestMoteur::sortie()
{
    Banc b;
    Moteur& m = b.demarre(reglages("Bip changement IP=0", "Valeur_Bouton_Tempo=0\nPosition H=15") +
                          "[SMTP]\nSujet=avant\n[Autre]\ncle=garde\n");
    m.setAudio(true);
    m.setIntervalle(1);
    m.setTaille(Taille::Reduit);
    m.text1_Click(); // from no scheme to the first
    b.start("2.2.2.2");
    QVERIFY(ecrit(b.cfg(),
                  lit(b.cfg()).replace("Sujet=avant", "Sujet=edite").replace("Log=1", "Log=0")));
    const QByteArray edite = lit(b.cfg());
    b.fp.boxes.answers = {false};
    QVERIFY(!m.Form_QueryUnload({}));
    QCOMPARE(lit(b.cfg()), edite);
    QCOMPARE(b.fp.boxes.shown.last().text, "Etes-vous s\u00fbr(e) de vouloir quitter ?");
    QCOMPARE(b.fp.boxes.shown.last().title, "Corvane1.05");

    QVERIFY(m.Form_QueryUnload(QPoint(3000, -1500)));
    const Parametres p = ChargeConfig(b.cfg());
    QCOMPARE(
        (QStringList{p.Sujet, p.SauveLog, p.BipChangement, p.ValeurBoutonTempo, p.TailleFenetre,
                     p.CouleurConsole, p.DerniereIP, p.PositionH, p.PositionV}),
        (QStringList{"edite", "0", "1", "1", "reduit", "1", "2.2.2.2", "3000", "-1500"}));
    QVERIFY(lit(b.cfg()).contains("[Autre]\r\ncle=garde\r\n"));
}
// A confirmed exit ends everything: the boxes left open close, the cycle stops, an answer that
// comes after it acts on nothing, and a second close request does not ask again.
void TestMoteur::sortieFermeTout()
{
    Banc b;
    Moteur& m = b.demarre(reglages({}, "Valeur_Bouton_Tempo=0"));
    m.CommandStart_Click();
    b.detect.echoue("HTTP 404");
    b.ticks(120);
    QVERIFY(b.fp.boxes.open.contains("detection"));
    QVERIFY(m.Form_QueryUnload({}));
    QVERIFY(b.fp.boxes.open.isEmpty());
    QVERIFY(!m.findChild<QTimer*>("Timer1")->isActive());
    b.trace.clear();
    b.detect.repond("2.2.2.2");
    QVERIFY(b.trace.isEmpty());
    QVERIFY(m.Form_QueryUnload({}));
    QCOMPARE(b.fp.boxes.shown.count(), 2); // the detection box and one question
}

void TestMoteur::demarrageAuto_data()
{
    QTest::addColumn<bool>("coche"); // ticked in the menu, then a new launch
    QTest::addColumn<bool>("enMarche");
    QTest::newRow("off by default") << false << false;
    QTest::newRow("ticked, kept for the next launch") << true << true;
}

// Watch at launch: after the start-up, Start pressed by itself, its check made at once.
void TestMoteur::demarrageAuto()
{
    QFETCH(bool, coche);
    QFETCH(bool, enMarche);
    Banc b;
    Moteur* m = &b.demarre();
    if (coche) {
        m->setDemarrageAuto(true);
        QVERIFY(m->Form_QueryUnload({}));
        m = &b.cree(QByteArray()); // the file as the exit left it
        m->Form_Load();
    }
    QVERIFY(!m->enMarche());
    m->demarrageAuto();
    QCOMPARE(m->enMarche(), enMarche);
    QCOMPARE(b.requetes(), enMarche ? 1 : 0);
}

void TestMoteur::secrets_data()
{
    QTest::addColumn<QByteArray>("fichier");   // the passwords' lines in the settings file
    QTest::addColumn<QStringList>("utilises"); // by the mailing and by the upload
    QTest::newRow("empty keys") << QByteArray(
                                       "[SMTP]\nMot de passe=\n[ADRESSE FTP]\nMot de passe=\n")
                                << QStringList{"k-smtp", "k-ftp"};
    QTest::newRow("the file's win")
        << QByteArray("[SMTP]\nMot de passe=f-smtp\n[ADRESSE FTP]\nMot de passe=f-ftp\n")
        << QStringList{"f-smtp", "f-ftp"};
}

// The keyring's passwords fill the file's empty keys, and the exit writes the very bytes it
// writes without them.
void TestMoteur::secrets()
{
    QFETCH(QByteArray, fichier);
    QFETCH(QStringList, utilises);
    QByteArray sauve[2];
    for (const bool trousseau : {false, true}) {
        Banc b;
        Moteur& m = b.demarre(reglages("Mail Auto=1\nUpload fichier=1") + fichier);
        if (trousseau) {
            m.utiliseSecrets("k-smtp", "k-ftp");
            QCOMPARE(b.mail.motDePasse, utilises[0]); // the mailing's settings, at once
        }
        b.start("2.2.2.2");
        emit b.mail.termine("rapport", 0);
        if (trousseau) {
            QCOMPARE(b.pub.motDePasse, utilises[1]);
        }
        m.quitteSansQuestion();
        sauve[trousseau] = lit(b.cfg());
    }
    QCOMPARE(sauve[true], sauve[false]);
}

QTEST_GUILESS_MAIN(TestMoteur)
#include "tst_moteur.moc"
