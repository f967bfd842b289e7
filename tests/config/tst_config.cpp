// The settings file: Windows profile-file reading rules, in-place writing, the whole-record
// load and save, first-start defaults, and what happens when the file cannot be touched.

#include "config/fichierini.h"
#include "platform/textcodec.h"
#include "support/fichiers.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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

// The file a first start writes, as the base of the files the tests edit.
QByteArray fichierParDefaut()
{
    QTemporaryDir d;
    Parametres p;
    ini_par_defaut(p, d.filePath("c.cfg"));
    return lit(d.filePath("c.cfg"));
}

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

    row("blanks around name and value", "[A]\n  k \t=  \t1 \t\n", "A", "k", "1");
    row("no-break space is not a blank", "[A]\nk=\xC2\xA0x\xC2\xA0\n", "A", "k", "\u00A0x\u00A0");
    row("quoted", "[A]\nk=\"a b\"\n", "A", "k", "a b");
    row("equals sign inside value", "[A]\nk=http://h/p?a=b\n", "A", "k", "http://h/p?a=b");
    row("value past 254 characters kept whole", "[A]\nk=\"" + x300 + "\"\n", "A", "k", x300);
    row("key of another section", "[A]\nk=1\n[B]\nj=2\n", "B", "k", "");
    row("key case with N°", "[A]\nADRESSE n°1=a@b\n", "A", "Adresse N°1", "a@b");
    row("duplicate key: first wins", "[A]\nk=first\nk=second\n", "A", "k", "first");
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
    row("missing key after the section's last key", "[A]\nk=1\n; note\n\n[B]\nj=s\n", "A", "i", "0",
        "[A]\nk=1\ni=0\n; note\n\n[B]\nj=s\n");
    row("missing section at the end", "[A]\nk=1\n", "B", "j", "0", "[A]\nk=1\n\n[B]\nj=0\n");
    row("line break cannot open a section", "[A]\nk=1\n[B]\nj=0\n", "A", "k", "2\r\n[B]\r\nj=1",
        "[A]\nk=2  [B]  j=1\n[B]\nj=0\n");
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
    QByteArray file = fichierParDefaut();
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

    const QByteArray defauts = fichierParDefaut();
    const QByteArray utf8 = fromAnsi(defauts).toUtf8(); // "N°" and "à" in its key names

    QTest::newRow("UTF-8") << utf8 << utf8 << true;
    QTest::newRow("Windows-1252") << defauts << defauts << false;
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

// From no file: the defaults, read back as written. Over a loaded record: the fields the
// defaults do not name keep their values.
void TestConfig::firstStartDefaults()
{
    QCOMPARE(ChargeConfig(path), Parametres{});
    QVERIFY(ecrit(path, {})); // a file of 0 bytes is an empty file, not an unreadable one
    Parametres p;
    QVERIFY(ini_par_defaut(p, path).ok);
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
    QVERIFY(!(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther)));
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
    QTest::newRow("folder in the file's place") << QByteArray();
    QTest::newRow("file over 1 MiB") << "[Perso]\r\nx=" + QByteArray(1024 * 1024, 'x') + "\r\n";
    QTest::newRow("UTF-16 with byte order mark") << "\xFF\xFE" + le;
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
