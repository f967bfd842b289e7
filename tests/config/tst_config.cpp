// The settings file: Windows profile-file reading rules, in-place writing, the whole-record
// load and save, first-start defaults, and what happens when the file cannot be touched.

#include "config/fichierini.h"
#include "platform/textcodec.h"
#include "support/fichiers.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

using namespace corvane;
using test::ecrit;
using test::lit;

namespace {

// Test texts are written in UTF-8 with LF for readability; the files are Windows-1252.
QByteArray ansi(const char* utf8)
{
    return toAnsi(QString::fromUtf8(utf8));
}

QByteArray crlf(QByteArray lf)
{
    return lf.replace("\n", "\r\n");
}

// The file the program writes on a first start, byte for byte; "N\260" and "\340" are the
// Windows-1252 bytes of "N°" and "à", in octal so that a digit after them stays a digit.
const QByteArray kDefaultsFile = crlf(
    "[Mot de passe]\nraz=non\n\n[IP]\nDerniere IP=xxx.xxx.xxx.xxx\n\n"
    "[ADRESSE HTTP]\nadresse de IP detect.php=http://www.example.org/php/ip_check.php\n\n"
    "[ADRESSE FTP]\nNom de domaine=monsite\nMot de passe=kkkkkkkk\nftp hebergeur=ftp.example.org\n"
    "fichier \340 transferer=date.php\nemplacement et fichier=/ma_page/date.php\n\n"
    "[SERVER]\nN\260port In=81\n\n"
    "[OPTION]\nBip changement IP=0\nSauve Log=1\nUpload fichier=0\nMail Auto=0\nMode Debug=0\n"
    "Color text console=1\n\n"
    "[SMTP]\nServeur smtp=smtp.example.org\nMessage de=msg_auto_velmo\nSujet=Changement IP\n"
    "Message=Hello, voici ma nouvelle IP\n"
    "Adresse N\2601=alice@example.org\nAdresse N\2602=bob@example.net\n"
    "Adresse N\2603=carol@example.org\nAdresse N\2604=\nAdresse N\2605=\nAdresse N\2606=\n"
    "Adresse N\2607=\nAdresse N\2608=\nAdresse N\2609=\nAdresse N\26010=\n\n"
    "[REGLAGE]\nValeur_Bouton_Tempo=\nLangage Int=non\nTaille fenetre=\nPosition H=\n"
    "Position V=\nToujours visible=\n");

// A record whose fields all differ, so a key wired to the wrong field shows.
Parametres distinctRecord()
{
    Parametres p;
    int n = 0;
    for (const ConfigKey& k : clesConfig()) {
        champ(p, k) = QStringLiteral("v%1 é").arg(++n);
    }
    return p;
}

} // namespace

class TestConfig : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path; // Corvane.cfg in a fresh folder for each test

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        path = dir->filePath("Corvane.cfg");
    }
    void value_data();
    void value();
    void setValue_data();
    void setValue();
    void saveKeepsUnknownLines();
    void otherEditorsFiles_data();
    void otherEditorsFiles();
    void firstStartDefaults();
    void everyKeyHasItsOwnField();
    void unreadableFileIsNotOverwritten_data();
    void unreadableFileIsNotOverwritten();
};

void TestConfig::value_data()
{
    QTest::addColumn<QByteArray>("file"); // UTF-8, LF; also run with CR LF
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const QByteArray& file, const char* section,
                        const char* key, const QByteArray& expected) {
        QTest::newRow(name) << file << QString::fromUtf8(section) << QString::fromUtf8(key)
                            << QString::fromUtf8(expected);
    };
    const QByteArray x300(300, 'x');

    row("plain", "[A]\nk=1\n", "A", "k", "1");
    row("blanks around name and value", "[A]\n  k \t=  \t1 \t\n", "A", "k", "1");
    row("blanks inside the header", "  [ A ]  \nk=1\n", "A", "k", "1");
    row("inner blanks kept", "[A]\nk=  a   b  \n", "A", "k", "a   b");
    row("no-break space is not a blank", "[A]\nk=\xC2\xA0x\xC2\xA0\n", "A", "k", "\u00A0x\u00A0");
    row("quoted", "[A]\nk=\"a b\"\n", "A", "k", "a b");
    row("two quotes read as empty", "[A]\nk=\"\"\nj=e@x\n", "A", "k", "");
    row("quotes after blanks, blanks inside kept", "[A]\nk=  \" a \"  \n", "A", "k", " a ");
    row("only one pair removed", "[A]\nk=\"\"a\"\"\n", "A", "k", "\"a\"");
    row("unbalanced quote kept", "[A]\nk=\"abc\n", "A", "k", "\"abc");
    row("equals sign inside value", "[A]\nk=http://h/p?a=b\n", "A", "k", "http://h/p?a=b");
    row("value past 254 characters kept whole", "[A]\nk=\"" + x300 + "\"\n", "A", "k", x300);
    row("missing key", "[A]\nk=1\n", "A", "j", "");
    row("missing section", "[A]\nk=1\n", "B", "k", "");
    row("key of another section", "[A]\nk=1\n[B]\nj=2\n", "B", "k", "");
    row("key before any section", "k=1\n[B]\nj=2\n", "B", "k", "");
    row("section names are whole", "[OPTIONS]\nk=1\n", "OPTION", "k", "");
    row("key names are whole", "[A]\nMessage de=x\n", "A", "Message", "");
    row("section case", "[smtp]\nk=s\n", "SMTP", "k", "s");
    row("key case with N°", "[A]\nADRESSE n°1=a@b\n", "A", "Adresse N°1", "a@b");
    row("accented capital matches small", "[A]\nFICHIER À TRANSFERER=f.php\n", "a",
        "fichier à transferer", "f.php");
    row("° is not the ordinal º", "[A]\nAdresse Nº1=a@b\n", "A", "Adresse N°1", "");
    row("à is not a", "[A]\nfichier a transferer=f.php\n", "A", "fichier à transferer", "");
    row("duplicate key: first wins", "[A]\nk=first\nk=second\n", "A", "k", "first");
    row("duplicate section: only the first is read", "[A]\nj=1\n[B]\n[a]\nk=2\n", "A", "k", "");
    row("comment is not a key", "[A]\n;k=1\n", "A", ";k", "");
    row("junk line is not a key", "[A]\nk\nk=1\n", "A", "k", "1");
    row("header with trailing comment", "[A] ; options\nk=1\n", "A", "k", "1");
    row("unclosed header does not open a section", "[A]\n[B\nk=1\n", "A", "k", "1");
    row("last line without line break", "[A]\nk=1", "A", "k", "1");
    row("Windows-1252 value", "[A]\nprix=5 € déjà\n", "A", "prix", "5 € déjà");
}

void TestConfig::value()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    const QByteArray lf = ansi(file.constData());
    QCOMPARE(IniFile::fromBytes(lf).value(section, key), expected);
    QCOMPARE(IniFile::fromBytes(crlf(lf)).value(section, key), expected);
}

void TestConfig::setValue_data()
{
    QTest::addColumn<QByteArray>("before"); // UTF-8, LF
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after"); // UTF-8, LF; the file is CR LF
    const auto row = [](const char* name, const QByteArray& before, const char* section,
                        const char* key, const char* value, const QByteArray& after) {
        QTest::newRow(name) << before << QString::fromUtf8(section) << QString::fromUtf8(key)
                            << QString::fromUtf8(value) << after;
    };

    row("replaced where it stands", "; top\n[A]\n a = 1 \nk = 0 ; old\nz=9\n", "A", "k", "1",
        "; top\n[A]\n a = 1 \nk=1\nz=9\n");
    row("matched without case, written with the program's name", "[a]\nSAUVE LOG=0\n", "A",
        "Sauve Log", "1", "[a]\nSauve Log=1\n");
    row("first duplicate replaced, second left", "[A]\nk=0\nk=7\n", "A", "k", "1",
        "[A]\nk=1\nk=7\n");
    row("duplicate sections: first one written", "[A]\nj=0\n\n[A]\nk=0\n", "A", "k", "1",
        "[A]\nj=0\nk=1\n\n[A]\nk=0\n");
    row("missing key after the section's last key", "[A]\nk=1\n; note\n\n[B]\nj=s\n", "A", "i", "0",
        "[A]\nk=1\ni=0\n; note\n\n[B]\nj=s\n");
    row("missing key in a section without keys", "[A]\n\n[B]\n", "A", "k", "0",
        "[A]\nk=0\n\n[B]\n");
    row("missing section at the end", "[A]\nk=1\n", "B", "j", "0", "[A]\nk=1\n\n[B]\nj=0\n");
    row("missing section after a blank last line", "[A]\nk=1\n\n", "B", "j", "0",
        "[A]\nk=1\n\n[B]\nj=0\n");
    row("missing section in an empty file", "", "B", "j", "0", "[B]\nj=0\n");
    row("key of the same name elsewhere is not it", "[A]\nB=secret\n", "B", "k", "non",
        "[A]\nB=secret\n\n[B]\nk=non\n");
    row("line break cannot open a section", "[A]\nk=1\n[B]\nj=0\n", "A", "k", "2\r\n[B]\r\nj=1",
        "[A]\nk=2  [B]  j=1\n[B]\nj=0\n");
    row("last line gets its line break", "[A]\nk=1", "A", "k", "2", "[A]\nk=2\n");
    // An address from a hostile answer must not turn the file into unreadable text.
    QTest::newRow("NUL becomes a blank")
        << QByteArray("[A]\n") << "A"
        << "k" << QString("1.2.3.4") + QChar(0) + "x" << QByteArray("[A]\nk=1.2.3.4 x\n");
    row("Windows-1252 key and value", "[A]\nfichier à transferer=déjà.php\nprix=5 €\n", "A",
        "fichier à transferer", "été.php", "[A]\nfichier à transferer=été.php\nprix=5 €\n");
}

void TestConfig::setValue()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);

    for (const QByteArray& input : {ansi(before.constData()), crlf(ansi(before.constData()))}) {
        IniFile ini = IniFile::fromBytes(input);
        ini.setValue(section, key, value);
        QCOMPARE(ini.toBytes(), crlf(ansi(after.constData())));
        QCOMPARE(IniFile::fromBytes(ini.toBytes()).value(section, key), ini.value(section, key));
    }
}

void TestConfig::saveKeepsUnknownLines()
{
    // The defaults file with the owner's own lines woven in everywhere.
    QByteArray file = kDefaultsFile;
    file.prepend("; Corvane settings, edited by hand\r\n\r\n");
    file.replace("[IP]\r\n", "[IP]\r\nAncienne IP=1.1.1.1\r\n");
    file.replace("[SERVER]\r\n",
                 "[Perso]\r\nclef=valeur \xE9t\xE9\r\njunk line\r\n\r\n[SERVER]\r\n");
    file.replace("Sauve Log=1\r\n", "Sauve Log=1\r\n  ; keep the log\r\n");
    file.append("\r\n[Fin]\r\n=no name\r\n");

    QVERIFY(ecrit(path, file));
    Parametres p = ChargeConfig(path);
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(lit(path), file);

    p.Sujet = QString::fromUtf8("Nouvelle adresse à voir");
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(lit(path),
             QByteArray(file).replace("Sujet=Changement IP", "Sujet=Nouvelle adresse \xE0 voir"));
}

void TestConfig::otherEditorsFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("rewritten"); // after a load and a save that changed nothing
    QTest::addColumn<bool>("utf8");            // a character outside Windows-1252 survives

    const QByteArray utf8 = fromAnsi(kDefaultsFile).toUtf8(); // "N°" and "à" in its key names
    const QByteArray bom = "\xEF\xBB\xBF";
    QByteArray cr = kDefaultsFile;
    cr.replace("\r\n", "\r");
    const QByteArray longValue =
        QByteArray(kDefaultsFile).replace("Message=Hello", "Message=" + QByteArray(300, 'x'));

    QTest::newRow("UTF-8") << utf8 << utf8 << true;
    QTest::newRow("UTF-8 with byte order mark") << bom + utf8 << bom + utf8 << true;
    QTest::newRow("CR line ends") << cr << kDefaultsFile << false;
    QTest::newRow("value past 254 characters") << longValue << longValue << false;
}

// Files saved by another editor are read as written, and written back without a key repeated
// or an encoding changed.
void TestConfig::otherEditorsFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, rewritten);
    QFETCH(bool, utf8);
    QVERIFY(ecrit(path, file));
    Parametres p = ChargeConfig(path);
    QCOMPARE(p.PortIn, "81");
    QCOMPARE(p.FichierATransferer, "date.php");
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(lit(path), rewritten);

    p.Sujet = QString::fromUtf8("Adresse → changée");
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(ChargeConfig(path).Sujet, utf8 ? p.Sujet : QString::fromUtf8("Adresse ? changée"));
}

// From no file: the defaults, byte for byte. Over a loaded record: the fields the defaults do
// not name keep their values.
void TestConfig::firstStartDefaults()
{
    QCOMPARE(ChargeConfig(path), Parametres{});
    QVERIFY(ecrit(path, {})); // a file of 0 bytes is an empty file, not an unreadable one
    Parametres p;
    QVERIFY(ini_par_defaut(p, path).ok);
    QCOMPARE(lit(path), kDefaultsFile);
    QCOMPARE(ChargeConfig(path), p);

    Parametres avant = distinctRecord();
    Parametres charge = avant;
    QVERIFY(ini_par_defaut(charge, path).ok);
    for (const ConfigKey& k : clesConfig()) {
        const QByteArray key = k.key;
        const bool garde = k.optionnelle || k.adresse > 4 || key == "Valeur_Bouton_Tempo" ||
                           key == "Toujours visible";
        QVERIFY2(champ(charge, k) == champ(garde ? avant : p, k), k.key);
    }
    QCOMPARE(ChargeConfig(path), charge);
}

// Each key its own field, written in file order, the file readable by its owner only; a save
// that cannot write says so.
void TestConfig::everyKeyHasItsOwnField()
{
    const Parametres p = distinctRecord();
    QVERIFY(!SauveConfig(p, dir->filePath("absent/Corvane.cfg")).ok);
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(ChargeConfig(path), p);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
    const QByteArray bytes = lit(path);
    qsizetype last = -1;
    for (const ConfigKey& k : clesConfig()) {
        const qsizetype at =
            bytes.indexOf("\r\n" + toAnsi(QString::fromUtf8(k.key)) + "=", last + 1);
        QVERIFY2(at > last, k.key);
        last = at;
    }
}

void TestConfig::unreadableFileIsNotOverwritten_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: a folder in the file's place

    // "[IP]\r\nx=1\r\n" as another editor may save it.
    static const char kLe[] = "[\0I\0P\0]\0\r\0\n\0x\0=\0\x31\0\r\0\n\0";
    const QByteArray le(kLe, sizeof kLe - 1);
    QByteArray be = le;
    for (qsizetype i = 0; i + 1 < be.size(); i += 2) {
        std::swap(be.data()[i], be.data()[i + 1]);
    }
    QTest::newRow("folder in the file's place") << QByteArray();
    QTest::newRow("file over 1 MiB") << "[Perso]\r\nx=" + QByteArray(1024 * 1024, 'x') + "\r\n";
    QTest::newRow("UTF-16 with byte order mark") << "\xFF\xFE" + le;
    QTest::newRow("UTF-16 big-endian") << "\xFE\xFF" + be;
    QTest::newRow("UTF-16 without byte order mark") << le;
    QTest::newRow("UTF-32") << QByteArray("\xFF\xFE\0\0[\0\0\0", 8);
    QTest::newRow("UTF-8 mark over Windows-1252") << QByteArray("\xEF\xBB\xBF[IP]\r\nx=\xE9\r\n");
}

void TestConfig::unreadableFileIsNotOverwritten()
{
    QFETCH(QByteArray, file);
    const bool folder = file.isEmpty();
    if (folder) {
        QVERIFY(QDir().mkpath(path));
        QVERIFY(ecrit(path + "/inside", "kept"));
    } else {
        QVERIFY(ecrit(path, file));
    }

    const WriteResult r = SauveConfig(distinctRecord(), path);
    QVERIFY(!r.ok);
    QVERIFY2(r.raison.contains(QString::fromUtf8("illisible")), qPrintable(r.raison));
    if (folder) {
        QCOMPARE(lit(path + "/inside"), QByteArray("kept"));
    } else {
        QVERIFY(lit(path) == file);
    }
    QCOMPARE(ChargeConfig(path), Parametres{});
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Corvane.cfg"});
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
