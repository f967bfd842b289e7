// The main window's start-up, shutdown, console log, check cycle and change alarm, driven
// through its own handlers with recording fakes and a scripted HTTP server.

#include "platform/fullfile.h"
#include "support/fakehttp.h"
#include "support/fakes.h"
#include "support/peers.h"

#include "config/fichierini.h"
#include "detect/detecteip.h"
#include "platform/textcodec.h"
#include "ui/console.h"
#include "ui/richtextview.h"
#include "ui/voyant.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using namespace corvane;
using namespace corvane::test;

namespace {

const QColor kAlarme(255, 128, 128);

QByteArray lire(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ecrire(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A program folder and working directory of its own, a console over fakes.
struct Banc {
    QTemporaryDir dir;
    QString ancienDossier = QDir::currentPath();
    FakePlatform fp;
    std::unique_ptr<Console> console;

    Banc() { QDir::setCurrent(dir.path()); }
    ~Banc()
    {
        console.reset();
        QDir::setCurrent(ancienDossier);
    }
    QString cfg() const { return dir.filePath(QStringLiteral("Corvane.cfg")); }
    // Writes a settings file holding these lines (Windows-1252, CR LF) and starts the window.
    Console& demarre(const QByteArray& lignes = {}, bool avecFichier = true)
    {
        if (avecFichier) {
            QByteArray b = lignes;
            b.replace("\n", "\r\n");
            ecrire(cfg(), b);
        }
        console = std::make_unique<Console>(fp.platform(), cfg());
        console->Form_Load();
        console->show();
        return *console;
    }
    int boites(const QString& canal) const
    {
        int n = 0;
        for (const auto& s : fp.boxes.shown) {
            n += s.channel == canal ? 1 : 0;
        }
        return n;
    }
};

// One entry of the log file as written on 05/12/2026 at 06:45:00 (the fake clock).
QByteArray entree(const QByteArray& libelle, const QByteArray& ip = "1.2.3.4")
{
    return "\n" + libelle + "\r\n05/12/2026 06:45:00\r\nIP = " + ip + "\r\n";
}

QByteArray reglages(const QByteArray& reglage, const QByteArray& option = "Sauve Log=1")
{
    return "[IP]\nDerniere IP=1.1.1.1\n[OPTION]\n" + option + "\n[REGLAGE]\n" + reglage + "\n";
}

// The same, with the detection page at url.
QByteArray avecPage(const QString& url, const QByteArray& reglage = {},
                    const QByteArray& option = "Sauve Log=1")
{
    return reglages(reglage, option) +
           "[ADRESSE HTTP]\nadresse de IP detect.php=" + url.toLatin1() + "\n";
}

} // namespace

class TestConsole : public QObject {
    Q_OBJECT

private slots:
    void premierDemarrage();
    void modeAffichage_data();
    void modeAffichage();
    void position_data();
    void position();
    void intervalleEtCouleur_data();
    void intervalleEtCouleur();
    void toujoursVisible();
    void sortieRefusee();
    void sortieAcceptee();
    void sortieSansEcriture();
    void entreeDuJournal();
    void reglagesIllisibles_data();
    void reglagesIllisibles();
    void fichierJournal();
    void journalDisquePlein();
    void grosJournal_data();
    void grosJournal();
    void ancienJournalInutilisable_data();
    void ancienJournalInutilisable();
    void schemasDeCouleur();
    void detection_data();
    void detection();
    void echecsSuccessifs();
    void intervalles_data();
    void intervalles();
    void stopEtStart();
    void verificationDifferee();
    void stopPendantVerification();
    void alarme();
    void reduitGardeLeJournal();
};

void TestConsole::premierDemarrage()
{
    Banc b;
    Console& c = b.demarre({}, false);
    QVERIFY(QFile::exists(b.cfg()));
    QCOMPARE(QFile(b.cfg()).permissions() & 0x0077, QFileDevice::Permissions());
    const Parametres relu = ChargeConfig(b.cfg());
    QCOMPARE(relu.DerniereIP, QStringLiteral("xxx.xxx.xxx.xxx"));
    QCOMPARE(relu.SauveLog, QStringLiteral("1"));
    QVERIFY(c.menuComplet->isChecked());
    QVERIFY(!c.menuReduit->isChecked());
    QCOMPARE(c.pos(), QPoint(0, 0));
    QVERIFY(!c.menuTjVisible->isChecked());
    QVERIFY(!c.estDessus());
    QVERIFY(c.Option1[0]->isChecked());
    QVERIFY(c.aide() != nullptr);
    QVERIFY(c.aide()->isVisible());
    QCOMPARE(int(c.couleur), 1);
    QVERIFY(c.MenuLog->isChecked());
    QVERIFY(!c.CheckMail->isChecked());
    QVERIFY(!c.Timer1->isActive());
    QCOMPARE(c.CommandStart->text(), QStringLiteral("Start"));
    QCOMPARE(c.LabelIp->text(), QStringLiteral("000.000.000.000"));
}

void TestConsole::modeAffichage_data()
{
    QTest::addColumn<QByteArray>("valeur");
    QTest::addColumn<bool>("reduit");
    QTest::newRow("reduit") << QByteArray("reduit") << true;
    QTest::newRow("Reduit") << QByteArray("Reduit") << false;
    QTest::newRow("quoted trailing blank") << QByteArray("\"reduit \"") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestConsole::modeAffichage()
{
    QFETCH(QByteArray, valeur);
    QFETCH(bool, reduit);
    Banc b;
    Console& c = b.demarre(reglages("Taille fenetre=" + valeur));
    QCOMPARE(c.menuReduit->isChecked(), reduit);
    QCOMPARE(c.menuComplet->isChecked(), !reduit);
    // The reduced window shows the left column only: the log lies outside it.
    const QRect log(c.Log->mapTo(&c, QPoint(0, 0)), c.Log->size());
    QCOMPARE(c.rect().contains(log), !reduit);
    const QRect ip(c.Frame3->mapTo(&c, QPoint(0, 0)), c.Frame3->size());
    QVERIFY(c.rect().contains(ip));
    // The settings are loaded again after the mode was applied: the stored text stays until
    // the user picks a mode.
    c.menuComplet->trigger();
    QCOMPARE(c.parametres().TailleFenetre, QStringLiteral("complet"));
    QVERIFY(c.rect().contains(log));
}

void TestConsole::position_data()
{
    QTest::addColumn<QByteArray>("h");
    QTest::addColumn<QByteArray>("v");
    QTest::addColumn<QPoint>("attendu");
    QTest::newRow("one inch, half an inch")
        << QByteArray("1440") << QByteArray("720") << QPoint(96, 48);
    QTest::newRow("empty") << QByteArray() << QByteArray() << QPoint(0, 0);
    // Held within a million twips, so that the conversion to pixels cannot overflow.
    QTest::newRow("largest and smallest int")
        << QByteArray("2147483647") << QByteArray("-2147483648") << QPoint(66667, -66666);
    QTest::newRow("300 digits") << "9" + QByteArray(300, '9') << "-9" + QByteArray(300, '9')
                                << QPoint(66667, -66666);
}

void TestConsole::position()
{
    QFETCH(QByteArray, h);
    QFETCH(QByteArray, v);
    QFETCH(QPoint, attendu);
    Banc b;
    Console& c = b.demarre(reglages("Position H=" + h + "\nPosition V=" + v));
    QCOMPARE(c.pos(), attendu);
}

void TestConsole::intervalleEtCouleur_data()
{
    QTest::addColumn<QByteArray>("tempo");
    QTest::addColumn<int>("bouton");
    QTest::addColumn<QByteArray>("couleur");
    QTest::addColumn<int>("schema");
    QTest::newRow("empty") << QByteArray() << 0 << QByteArray() << 0;
    QTest::newRow("2.5 rounds to 2") << QByteArray("2.5") << 2 << QByteArray("7") << 7;
    QTest::newRow("out of range") << QByteArray("5") << 0 << QByteArray("300") << 1;
    QTest::newRow("negative") << QByteArray("-1") << 0 << QByteArray("-4") << 1;
}

void TestConsole::intervalleEtCouleur()
{
    QFETCH(QByteArray, tempo);
    QFETCH(int, bouton);
    QFETCH(QByteArray, couleur);
    QFETCH(int, schema);
    Banc b;
    Console& c =
        b.demarre(reglages("Valeur_Bouton_Tempo=" + tempo, "Color text console=" + couleur));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(c.Option1[std::size_t(i)]->isChecked(), i == bouton);
    }
    QCOMPARE(int(c.couleur), schema);
    QCOMPARE(c.parametres().CouleurConsole, QString::number(schema));
}

void TestConsole::toujoursVisible()
{
    {
        Banc b;
        Console& c = b.demarre(reglages("Toujours visible=oui"));
        QVERIFY(c.menuTjVisible->isChecked());
        QVERIFY(c.estDessus());
        c.menuTjVisible->trigger();
        QVERIFY(!c.menuTjVisible->isChecked());
        QVERIFY(!c.estDessus());
        QCOMPARE(c.parametres().ToujoursVisible, QStringLiteral("non"));
        QVERIFY(c.isVisible());
    }
    {
        Banc b;
        Console& c = b.demarre(reglages("Toujours visible=OUI"));
        QVERIFY(!c.menuTjVisible->isChecked());
        QVERIFY(!c.estDessus());
    }
}

void TestConsole::sortieRefusee()
{
    Banc b;
    Console& c = b.demarre(reglages("Valeur_Bouton_Tempo=0"));
    const QByteArray avant = lire(b.cfg());
    c.Option1[2]->click();
    b.fp.boxes.setNextAnswer(false);
    b.fp.boxes.setNextAnswer(false);
    QVERIFY(!c.close());
    QVERIFY(!c.close());
    QVERIFY(c.isVisible());
    QCOMPARE(lire(b.cfg()), avant);
    QCOMPARE(c.parametres().ValeurBoutonTempo, QStringLiteral("2"));
    int questions = 0;
    for (const auto& s : b.fp.boxes.shown) {
        if (s.kind == QLatin1String("ask")) {
            ++questions;
            QCOMPARE(s.text, QStringLiteral("Etes-vous s\u00fbr(e) de vouloir quitter ?"));
            QCOMPARE(s.title, QStringLiteral("Corvane1.05"));
        }
    }
    QCOMPARE(questions, 2);
}

void TestConsole::sortieAcceptee()
{
    Banc b;
    Console& c = b.demarre(reglages("Valeur_Bouton_Tempo=0\nPosition H=1440\nPosition V=720") +
                           "[Autre]\ncle=garde\n");
    c.Option1[1]->click();
    c.menuAudio->trigger();
    c.CheckUpload->click();
    c.menuReduit->trigger();
    c.move(200, 100);
    QVERIFY(c.close());
    const Parametres p = ChargeConfig(b.cfg());
    QCOMPARE(p.ValeurBoutonTempo, QStringLiteral("1"));
    QCOMPARE(p.PositionH, QStringLiteral("3000"));
    QCOMPARE(p.PositionV, QStringLiteral("1500"));
    QCOMPARE(p.BipChangement, QStringLiteral("1"));
    QCOMPARE(p.UploadFichier, QStringLiteral("1"));
    QCOMPARE(p.TailleFenetre, QStringLiteral("reduit"));
    QCOMPARE(p.DerniereIP, QStringLiteral("1.1.1.1"));
    QVERIFY(lire(b.cfg()).contains("[Autre]\r\ncle=garde\r\n"));
    QCOMPARE(QFile(b.cfg()).permissions() & 0x0077, QFileDevice::Permissions());
}

void TestConsole::sortieSansEcriture()
{
    Banc b;
    b.demarre(reglages("Position H=15"));
    // The settings file's folder vanishes under the program: the save must say so.
    b.console = std::make_unique<Console>(b.fp.platform(),
                                          b.dir.filePath(QStringLiteral("absent/Corvane.cfg")));
    Console& c = *b.console;
    QVERIFY(c.close());
    const auto& last = b.fp.boxes.shown.last();
    QCOMPARE(last.kind, QStringLiteral("inform"));
    QVERIFY(last.text.contains(QStringLiteral("absent/Corvane.cfg")));
}

void TestConsole::entreeDuJournal()
{
    Banc b;
    ecrire(b.dir.filePath(QStringLiteral("corvane.log")), "ancien\xE9\r\n");
    Console& c = b.demarre(reglages({}));
    b.fp.clock.current = QDateTime(QDate(2026, 12, 5), QTime(6, 45, 0));
    c.IpActuelle = QStringLiteral("81.2.3.4");
    c.libelle = QStringLiteral("Start : ");
    c.affiche();
    const QByteArray attendu =
        "ancien\xE9\r\n\nStart : \r\n05/12/2026 06:45:00\r\nIP = 81.2.3.4\r\n";
    QCOMPARE(toAnsi(c.log().texte()), attendu);
    QCOMPARE(c.LabelIp->text(), QStringLiteral("81.2.3.4"));
    QCOMPARE(c.text1->textCursor().position(), c.text1->document()->characterCount() - 1);
    QCOMPARE(c.libelle, QStringLiteral("Start : ")); // not cleared
}

void TestConsole::reglagesIllisibles_data()
{
    QTest::addColumn<bool>("fifo"); // else a file saved in UTF-16
    QTest::addColumn<QString>("raison");
    QTest::newRow("UTF-16") << false << "UTF-16";
    QTest::newRow("FIFO") << true << QString::fromUtf8("tube nommé");
}

// Said at start, in a box naming the file; the file is never rewritten.
void TestConsole::reglagesIllisibles()
{
    QFETCH(bool, fifo);
    QFETCH(QString, raison);
    Banc b;
    static const char kUtf16[] = "\xFF\xFE[\0I\0P\0]\0\r\0\n\0";
    const QByteArray utf16(kUtf16, sizeof kUtf16 - 1);
    if (fifo) {
        QCOMPARE(::mkfifo(QFile::encodeName(b.cfg()).constData(), 0600), 0);
    } else {
        ecrire(b.cfg(), utf16);
    }
    Console& c = b.demarre({}, false);
    QCOMPARE(b.boites(QStringLiteral("config")), 1);
    const QString texte = b.fp.boxes.shown.first().text;
    QVERIFY2(texte.contains(b.cfg()) && texte.contains(raison), qPrintable(texte));
    QVERIFY(c.close());
    QCOMPARE(QFileInfo(b.cfg()).isFile(), !fifo);
    if (!fifo) {
        QCOMPARE(lire(b.cfg()), utf16);
    }
}

// The file holds exactly what the window was given, entries made while logging was off and the
// upload's dots included, as if the whole log were written out at each entry.
void TestConsole::fichierJournal()
{
    Banc b;
    ecrire(QStringLiteral("corvane.log"), "ancien\xE9\r\n");
    Console& c = b.demarre(reglages({}));
    c.IpActuelle = QStringLiteral("1.2.3.4");
    c.journal(QStringLiteral("un"));
    c.ajouteTexte(QStringLiteral(".."));
    c.journal(QStringLiteral("deux"));
    c.MenuLog->trigger(); // off: entries go on in the view only
    QCOMPARE(c.parametres().SauveLog, QStringLiteral("0"));
    c.journal(QStringLiteral("trois"));
    c.ajouteTexte(QStringLiteral("."));
    const QByteArray avant = "ancien\xE9\r\n" + entree("un") + ".." + entree("deux");
    QCOMPARE(lire(QStringLiteral("corvane.log")), avant);
    c.MenuLog->trigger();
    c.journal(QStringLiteral("quatre"));
    const QByteArray fichier = avant + entree("trois") + "." + entree("quatre");
    QCOMPARE(lire(QStringLiteral("corvane.log")), fichier);
    QCOMPARE(toAnsi(c.log().texte()), fichier);
}

// A full disk: said once, in the window only; the file is left as it was, and gets everything
// at the first entry that can be written.
void TestConsole::journalDisquePlein()
{
    Banc b;
    const QByteArray ancien = "ancien\r\n";
    ecrire(QStringLiteral("corvane.log"), ancien);
    Console& c = b.demarre(reglages({}));
    c.IpActuelle = QStringLiteral("1.2.3.4");
    {
        test::FileSizeLimit plein(4);
        c.journal(QStringLiteral("un"));
        c.journal(QStringLiteral("deux"));
    }
    QCOMPARE(lire(QStringLiteral("corvane.log")), ancien);
    const QString impossible = QStringLiteral("corvane.log : \u00e9criture impossible");
    QCOMPARE(c.log().texte().count(impossible), 1);
    QCOMPARE(c.text1->text().count(impossible), 1);
    c.journal(QStringLiteral("trois"));
    QCOMPARE(lire(QStringLiteral("corvane.log")),
             ancien + entree("un") + entree("deux") + entree("trois"));
}

void TestConsole::grosJournal_data()
{
    QTest::addColumn<int>("taille"); // bytes of the old log, made of whole entries
    QTest::addColumn<bool>("deplace");
    QTest::newRow("half a megabyte: kept") << 512 * 1024 << false;
    QTest::newRow("past a megabyte: moved to corvane.log.1") << 3 * 1024 * 1024 << true;
}

// Only the end of a big log is shown, and it is never loaded nor rewritten whole.
void TestConsole::grosJournal()
{
    QFETCH(int, taille);
    QFETCH(bool, deplace);
    Banc b;
    QByteArray ancien;
    for (int i = 0; ancien.size() < taille; ++i) {
        ancien += entree("Changement IP", "10.0." + QByteArray::number(i % 256) + ".1");
    }
    ecrire(QStringLiteral("corvane.log"), ancien);
    ecrire(QStringLiteral("corvane.log.1"), "plus ancien\r\n");
    Console& c = b.demarre(reglages({}));
    const QString montre = c.text1->text();
    QVERIFY2(montre.startsWith(QString::fromUtf8("… début du journal non affiché (")),
             qPrintable(montre.left(80)));
    QVERIFY(montre.size() < 100 * 1024);
    QVERIFY(montre.endsWith(fromAnsi(ancien.right(200))));
    QCOMPARE(lire(QStringLiteral("corvane.log.1")), deplace ? ancien : "plus ancien\r\n");

    c.IpActuelle = QStringLiteral("1.2.3.4");
    c.journal(QStringLiteral("un"));
    QCOMPARE(lire(QStringLiteral("corvane.log")), (deplace ? QByteArray() : ancien) + entree("un"));
}

void TestConsole::ancienJournalInutilisable_data()
{
    QTest::addColumn<QString>("sorte");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to /dev/zero") << "zero";
    QTest::newRow("folder") << "dossier";
}

// Said in the window, kept under another name, and a new log begins beside it.
void TestConsole::ancienJournalInutilisable()
{
    QFETCH(QString, sorte);
    Banc b;
    const QByteArray nom = "corvane.log";
    if (sorte == u"fifo") {
        QCOMPARE(::mkfifo(nom.constData(), 0600), 0);
    } else if (sorte == u"zero") {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), QString::fromLatin1(nom)));
    } else {
        QVERIFY(QDir().mkdir(QString::fromLatin1(nom)));
    }
    struct stat avant {};
    QCOMPARE(::lstat(nom.constData(), &avant), 0);
    Console& c = b.demarre(reglages({}));
    QVERIFY2(c.log().texte().contains(QStringLiteral("corvane.log illisible : ")) &&
                 c.log().texte().contains(QStringLiteral("corvane.log.illisible")),
             qPrintable(c.log().texte()));
    struct stat garde {};
    QCOMPARE(::lstat("corvane.log.illisible", &garde), 0);
    QCOMPARE(garde.st_ino, avant.st_ino);
    c.IpActuelle = QStringLiteral("1.2.3.4");
    c.journal(QStringLiteral("un"));
    QCOMPARE(lire(QStringLiteral("corvane.log")), entree("un"));
}

void TestConsole::schemasDeCouleur()
{
    Banc b;
    Console& c = b.demarre(reglages({}, "Color text console=1"));
    const QList<int> attendus{2, 3, 4, 1};
    const QList<QColor> fonds{Qt::black, Qt::black, QColor(224, 224, 224)};
    for (int i = 0; i < attendus.size(); ++i) {
        QTest::mouseClick(c.text1->viewport(), Qt::LeftButton);
        QCOMPARE(int(c.couleur), attendus[i]);
        QCOMPARE(c.parametres().CouleurConsole, QString::number(attendus[i]));
        if (i < fonds.size()) {
            QCOMPARE(c.text1->palette().color(QPalette::Base), fonds[i]);
        }
    }
    Banc b2;
    Console& c2 = b2.demarre(reglages({}, "Color text console=0"));
    const QColor avant = c2.text1->palette().color(QPalette::Base);
    QCOMPARE(avant, QColor(192, 192, 192)); // scheme 0 keeps the view's own colours
    c2.text1_Click();
    QCOMPARE(int(c2.couleur), 1);
}

void TestConsole::detection_data()
{
    QTest::addColumn<int>("cas");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("boite");
    QTest::addColumn<bool>("changement");
    // 0: answer, 1: refused port, 2: silent server
    QTest::newRow("bare address") << 0 << "203.0.113.7" << false << true;
    QTest::newRow("same address") << 0 << "1.1.1.1" << false << false;
    QTest::newRow("trailing line break") << 0 << "203.0.113.7\n" << false << true;
    QTest::newRow("empty body") << 0 << QString() << true << false;
    QTest::newRow("markup") << 0 << "<html>1</html>" << true << false;
    QTest::newRow("zero address") << 0 << "0.0.0.0" << true << false;
    QTest::newRow("refused") << 1 << QString() << true << false;
    QTest::newRow("never answers") << 2 << QString() << true << false;
}

void TestConsole::detection()
{
    QFETCH(int, cas);
    QFETCH(QString, ip);
    QFETCH(bool, boite);
    QFETCH(bool, changement);
    FakeHttp http;
    QVERIFY(http.isListening());
    if (cas == 2) {
        http.setResponse(FakeHttp::Response::silent());
    } else {
        http.setResponse(FakeHttp::Response::ok(ip.toLatin1()));
    }
    const QString url =
        cas == 1 ? QStringLiteral("http://127.0.0.1:%1/").arg(freePort()) : http.url();
    Banc b;
    Console& c = b.demarre(avecPage(url));
    c.detecteur()->setDelai(500);
    c.CommandStart_Click();
    c.Timer1->stop();
    QTRY_VERIFY_WITH_TIMEOUT(!c.enCours(), 10000);
    const bool ok = !boite;
    ip = ip.trimmed(); // the address compared and stored is the trimmed one
    QCOMPARE(c.IpActuelle, ok ? ip : QString());
    QCOMPARE(c.parametres().DerniereIP, ok ? ip : QStringLiteral("1.1.1.1"));
    QCOMPARE(b.boites(QStringLiteral("detection")), boite ? 1 : 0);
    // The reason stands under the usual text and is logged once.
    QCOMPARE(c.log().texte().count(QStringLiteral("\nErreur détection : ")), boite ? 1 : 0);
    if (boite) {
        const QString texte = b.fp.boxes.shown.last().text;
        QVERIFY2(texte.startsWith(kErreurDetection + QStringLiteral("\r\n\r\n")) &&
                     texte.size() > kErreurDetection.size() + 4,
                 qPrintable(texte));
        QCOMPARE(b.fp.boxes.shown.last().title, QStringLiteral("Corvane1.05"));
    }
    QCOMPARE(c.log().texte().contains(QStringLiteral("\nChangement IP\r\n")), changement);
    QCOMPARE(c.alarme, changement);
    QCOMPARE(c.LabelIp->text(), ok ? ip : QStringLiteral("1.1.1.1"));
    QVERIFY(c.LabelHeure->text() != QStringLiteral("00/00/0000  00:00:00"));
    // The start entry follows the check, stamped with its answer.
    QVERIFY(c.log().texte().endsWith(QStringLiteral("IP = ") + (ok ? ip : QString()) +
                                     QStringLiteral("\r\n")));
    QVERIFY(c.log().texte().contains(QStringLiteral("\nStart : \r\n")));
}

void TestConsole::echecsSuccessifs()
{
    // A failure between two good answers is no change, and the box never piles up.
    FakeHttp http;
    http.enqueue(FakeHttp::Response::ok("5.6.7.8"));
    http.enqueue(FakeHttp::Response::status(404, "1"));
    http.enqueue(FakeHttp::Response::status(404, "1"));
    http.enqueue(FakeHttp::Response::ok("5.6.7.8"));
    Banc b;
    Console& c = b.demarre(avecPage(http.url(), "Valeur_Bouton_Tempo=0"));
    c.CommandStart_Click();
    c.Timer1->stop();
    QTRY_VERIFY(!c.enCours());
    for (int check = 0; check < 3; ++check) {
        for (int i = 0; i < 120; ++i) {
            c.Timer1_Timer();
        }
        QTRY_VERIFY(!c.enCours());
    }
    QCOMPARE(http.requests().size(), 4);
    QCOMPARE(c.log().texte().count(QStringLiteral("Changement IP")), 1);
    QCOMPARE(c.log().texte().count(QStringLiteral("\nErreur détection : HTTP 404\r\n")), 1);
    QCOMPARE(b.boites(QStringLiteral("detection")), 1); // the first box is still open
    QCOMPARE(c.IpActuelle, QStringLiteral("5.6.7.8"));
    QCOMPARE(c.parametres().DerniereIP, QStringLiteral("5.6.7.8"));
}

void TestConsole::intervalles_data()
{
    QTest::addColumn<int>("bouton");
    QTest::addColumn<int>("ticks");
    QTest::newRow("2'") << 0 << 120;
    QTest::newRow("10'") << 1 << 600;
    QTest::newRow("1h") << 2 << 3600;
}

void TestConsole::intervalles()
{
    QFETCH(int, bouton);
    QFETCH(int, ticks);
    FakeHttp http;
    http.setResponse(FakeHttp::Response::ok("9.9.9.9"));
    Banc b;
    Console& c =
        b.demarre(avecPage(http.url(), "Valeur_Bouton_Tempo=" + QByteArray::number(bouton)));
    c.CommandStart_Click();
    c.Timer1->stop();
    QTRY_VERIFY(!c.enCours());
    QCOMPARE(http.requests().size(), 1);
    for (int round = 0; round < 2; ++round) {
        for (int i = 1; i < ticks; ++i) {
            c.Timer1_Timer();
        }
        QVERIFY(!c.enCours());
        QCOMPARE(http.requests().size(), 1 + round);
        c.Timer1_Timer();
        QCOMPARE(c.compteur(), 0);
        QTRY_VERIFY(!c.enCours());
        QCOMPARE(http.requests().size(), 2 + round);
    }
    // A timed check that finds the shown address logs nothing.
    QCOMPARE(c.log().texte().count(QStringLiteral("Changement IP")), 1);
}

void TestConsole::stopEtStart()
{
    FakeHttp http;
    http.setResponse(FakeHttp::Response::ok("9.9.9.9"));
    Banc b;
    Console& c = b.demarre(avecPage(http.url(), "Valeur_Bouton_Tempo=0"));
    c.CommandStart_Click();
    c.Timer1->stop();
    QTRY_VERIFY(!c.enCours());
    for (int i = 0; i < 100; ++i) {
        c.Timer1_Timer();
    }
    c.CommandStart_Click(); // Stop
    QCOMPARE(c.CommandStart->text(), QStringLiteral("Start"));
    QVERIFY(!c.Timer1->isActive());
    QCOMPARE(c.compteur(), 100);
    QCOMPARE(c.Led1->couleur(), QColor(128, 0, 0));
    c.CommandStart_Click(); // Start: an immediate check
    c.Timer1->stop();
    QCOMPARE(c.compteur(), 100);
    QTRY_VERIFY(!c.enCours());
    QCOMPARE(http.requests().size(), 2);
    for (int i = 0; i < 19; ++i) {
        c.Timer1_Timer();
    }
    QCOMPARE(http.requests().size(), 2);
    c.Timer1_Timer();
    QTRY_COMPARE(http.requests().size(), 3);

    // "2'" to "1h" at 100: the next check at 3600; back to "2'" at 500: at the next tick.
    QTRY_VERIFY(!c.enCours());
    for (int i = 0; i < 100; ++i) {
        c.Timer1_Timer();
    }
    c.Option1[2]->click();
    for (int i = 100; i < 500; ++i) {
        c.Timer1_Timer();
    }
    QCOMPARE(http.requests().size(), 3);
    c.Option1[0]->click();
    c.Timer1_Timer();
    QCOMPARE(c.compteur(), 0);
    QTRY_COMPARE(http.requests().size(), 4);
    const QString t = c.log().texte();
    QVERIFY(t.indexOf(QStringLiteral("\nStop : ")) > t.indexOf(QStringLiteral("\nStart : ")));
}

void TestConsole::verificationDifferee()
{
    FakeHttp http;
    http.enqueue(FakeHttp::Response::silent());
    http.setResponse(FakeHttp::Response::ok("7.7.7.7"));
    Banc b;
    Console& c = b.demarre(avecPage(http.url(), "Valeur_Bouton_Tempo=0"));
    c.detecteur()->setDelai(1500);
    c.CommandStart_Click();
    c.Timer1->stop();
    QTRY_COMPARE(http.requests().size(), 1);
    QVERIFY(c.enCours());
    for (int i = 0; i < 125; ++i) { // the timed check comes due while the first one waits
        c.Timer1_Timer();
    }
    QCOMPARE(c.compteur(), 5); // counting goes on
    QCOMPARE(http.requests().size(), 1);
    // The first check times out; the waiting one runs at once and finds the address.
    QTRY_COMPARE_WITH_TIMEOUT(http.requests().size(), 2, 10000);
    QTRY_VERIFY(!c.enCours());
    QCOMPARE(c.IpActuelle, QStringLiteral("7.7.7.7"));
    QCOMPARE(b.boites(QStringLiteral("detection")), 1);
    QCOMPARE(c.log().texte().count(QStringLiteral("\nStart : ")), 1);
}

void TestConsole::stopPendantVerification()
{
    // A Stop does not abort the check under way: its answer is still applied and the Start's
    // own entry follows the Stop's, while the cycle stays stopped.
    FakeHttp http;
    http.setResponse(FakeHttp::Response::trickle("4.4.4.4", 40));
    Banc b;
    Console& c = b.demarre(avecPage(http.url()));
    c.CommandStart_Click();
    QVERIFY(c.enCours());
    c.CommandStart_Click();
    QCOMPARE(c.CommandStart->text(), QStringLiteral("Start"));
    QTRY_VERIFY(!c.enCours());
    QCOMPARE(c.IpActuelle, QStringLiteral("4.4.4.4"));
    const QString t = c.log().texte();
    QVERIFY(t.indexOf(QStringLiteral("\nStop : ")) < t.indexOf(QStringLiteral("\nStart : ")));
    QVERIFY(!c.Timer1->isActive());
}

void TestConsole::alarme()
{
    FakeHttp http;
    http.setResponse(FakeHttp::Response::ok("2.2.2.2"));
    Banc b;
    Console& c = b.demarre(avecPage(http.url(), {}, "Bip changement IP=1"));
    const QColor normal = c.LabelIp->palette().color(QPalette::Window);
    c.CommandStart_Click();
    c.Timer1->stop();
    QTRY_VERIFY(!c.enCours());
    QVERIFY(c.alarme);
    QCOMPARE(b.fp.sound.played, QList<SoundPlayer::Sound>{SoundPlayer::Sound::Change});
    QCOMPARE(QFile::exists(QStringLiteral("ip_actu")), true);
    auto fond = [&](QLabel* l) { return l->palette().color(QPalette::Window); };
    QCOMPARE(fond(c.LabelIp), normal); // the first colour change comes with the next tick
    c.Timer1_Timer();
    QCOMPARE(fond(c.LabelIp), kAlarme);
    QCOMPARE(fond(c.LabelHeure), kAlarme);
    c.Timer1_Timer();
    QCOMPARE(fond(c.LabelIp), normal);
    c.Timer1_Timer();
    QCOMPARE(fond(c.LabelHeure), kAlarme);

    // Each acknowledgement target ends it, the next tick does not bring it back.
    QTest::mouseClick(c.LabelIp, Qt::LeftButton);
    QVERIFY(!c.alarme);
    QCOMPARE(fond(c.LabelIp), normal);
    QCOMPARE(fond(c.LabelHeure), normal);
    c.Timer1_Timer();
    QCOMPARE(fond(c.LabelIp), normal);

    c.alarme = true;
    c.Timer1_Timer();
    QTest::mousePress(c.Frame3, Qt::RightButton, {}, QPoint(2, 2));
    QVERIFY(!c.alarme);
    QCOMPARE(fond(c.LabelHeure), normal);

    c.alarme = true;
    c.Timer1_Timer();
    QTest::mouseClick(c.LabelHeure, Qt::LeftButton);
    QVERIFY(!c.alarme);

    c.alarme = true;
    c.Timer1_Timer();
    c.CommandStart_Click(); // Stop ends it too
    QVERIFY(!c.alarme);
    QCOMPARE(fond(c.LabelIp), normal);
    QCOMPARE(c.Frame3->toolTip(), QStringLiteral("Clic pour acquitter l'alarme clignotante"));
    QCOMPARE(c.LabelIp->toolTip(), c.Frame3->toolTip());
}

void TestConsole::reduitGardeLeJournal()
{
    Banc b;
    Console& c = b.demarre(reglages("Taille fenetre=reduit"));
    c.IpActuelle = QStringLiteral("3.3.3.3");
    c.journal(QStringLiteral("cache"));
    QVERIFY(lire(QStringLiteral("corvane.log")).contains("\ncache\r\n"));
    c.menuReduit->trigger(); // again: same size, same value, no move
    const QPoint avant = c.pos();
    c.menuReduit->trigger();
    QCOMPARE(c.pos(), avant);
    QCOMPARE(c.parametres().TailleFenetre, QStringLiteral("reduit"));
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
