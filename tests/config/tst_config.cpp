// The settings file: profile-file rules, the whole record, and a file that cannot be read.

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
QByteArray ansi(const QByteArray& utf8, const char* eol = "\r\n")
{
    return toAnsi(QString::fromUtf8(utf8)).replace("\n", eol);
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
    void valueAndSetValue_data();
    void valueAndSetValue();
    void otherEditorsFiles_data();
    void otherEditorsFiles();
    void firstStartAndEveryField();
    void unreadableFileIsNotOverwritten_data();
    void unreadableFileIsNotOverwritten();
};

void TestConfig::valueAndSetValue_data()
{
    QTest::addColumn<QByteArray>("before"); // UTF-8, LF; also run with CR LF and CR
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("written"); // null: a row that only reads
    QTest::addColumn<QByteArray>("after");
    const auto row = [](const char* name, const QByteArray& before, const char* section,
                        const char* key, const QString& read, const QString& written = {},
                        const QByteArray& after = {}) {
        QTest::newRow(name) << before << QString::fromUtf8(section) << QString::fromUtf8(key)
                            << read << written << after;
    };
    const QByteArray x300(300, 'x');

    row("blanks trimmed, replaced where it stands", "; top\n[A]\n  k \t=  \t0 \t\njunk\nz=9\n", "A",
        "k", "0", "1", "; top\n[A]\nk=1\njunk\nz=9\n");
    row("no-break space is not a blank", "[A]\nk=\xC2\xA0x\xC2\xA0\n", "A", "k", "\u00A0x\u00A0");
    row("quoted", "[A]\nk=\"a b\"\n", "A", "k", "a b");
    row("equals sign inside value", "[A]\nk=http://h/p?a=b\n", "A", "k", "http://h/p?a=b");
    row("value past 254 characters kept whole", "[A]\nk=\"" + x300 + "\"\n", "A", "k", x300, x300,
        "[A]\nk=" + x300 + "\n");
    row("name without case, written with the program's", "[a]\nADRESSE n°1=x\n", "A", "Adresse N°1",
        "x", "a@b", "[a]\nAdresse N°1=a@b\n");
    row("duplicate key: the first read and replaced", "[A]\nk=0\nk=7\n", "A", "k", "0", "1",
        "[A]\nk=1\nk=7\n");
    row("key of another section, added after the last key", "[A]\nk=1\n[B]\nj=s\n; note\n\n[C]\n",
        "B", "k", "", "0", "[A]\nk=1\n[B]\nj=s\nk=0\n; note\n\n[C]\n");
    row("missing section added at the end", "[A]\nk=1\n", "B", "j", "", "0",
        "[A]\nk=1\n\n[B]\nj=0\n");
    row("line break cannot open a section", "[A]\nk=1\n[B]\nj=0\n", "A", "k", "1",
        "2\r\n[B]\r\nj=1", "[A]\nk=2  [B]  j=1\n[B]\nj=0\n");
    // An address from a hostile answer must not turn the file into unreadable text.
    row("NUL becomes a blank", "[A]\n", "A", "k", "", QString::fromUtf8("1.2.3.4\0x", 9),
        "[A]\nk=1.2.3.4 x\n");
    row("Windows-1252 key and value", "[A]\nfichier à transferer=déjà.php\nprix=5 €\n", "A",
        "fichier à transferer", "déjà.php", "été.php",
        "[A]\nfichier à transferer=été.php\nprix=5 €\n");
}

void TestConfig::valueAndSetValue()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, read);
    QFETCH(QString, written);
    QFETCH(QByteArray, after);

    for (const char* eol : {"\n", "\r\n", "\r"}) {
        IniFile ini = IniFile::fromBytes(ansi(before, eol));
        QCOMPARE(ini.value(section, key), read);
        if (!written.isNull()) {
            ini.setValue(section, key, written);
            QCOMPARE(ini.toBytes(), ansi(after));
        }
    }
}

void TestConfig::otherEditorsFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("utf8"); // a character outside Windows-1252 survives

    QTemporaryDir d; // the file a first start writes
    Parametres p;
    QVERIFY(ini_par_defaut(p, d.filePath("c.cfg")).ok);
    const QByteArray defauts = lit(d.filePath("c.cfg"));
    QTest::newRow("UTF-8") << fromAnsi(defauts).toUtf8() << true; // "N°", "à" in key names
    QTest::newRow("Windows-1252") << defauts << false;
}

// Another editor's file comes back unchanged from a save that changed nothing (no key repeated).
void TestConfig::otherEditorsFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, utf8);
    QVERIFY(ecrit(path, file));
    Parametres p = ChargeConfig(path);
    QVERIFY(SauveConfig(p, path).ok); // a key name not read as written would be added again
    QCOMPARE(lit(path), file);

    p.Sujet = QString::fromUtf8("Adresse → changée");
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(ChargeConfig(path).Sujet, utf8 ? p.Sujet : QString::fromUtf8("Adresse ? changée"));
}

// The defaults read back as written; then fields that all differ, to show a key miswired.
void TestConfig::firstStartAndEveryField()
{
    QCOMPARE(ChargeConfig(path), Parametres{});
    QVERIFY(ecrit(path, {})); // a file of 0 bytes is an empty file, not an unreadable one
    Parametres p;
    QVERIFY(ini_par_defaut(p, path).ok);
    QCOMPARE(ChargeConfig(path), p);

    int n = 0;
    for (const ConfigKey& k : clesConfig()) {
        champ(p, k) = QStringLiteral("v%1 é").arg(++n);
    }
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(ChargeConfig(path), p);
}

void TestConfig::unreadableFileIsNotOverwritten_data()
{
    QTest::addColumn<QByteArray>("file");
    // A folder here: tst_platform's atomicWrite; UTF-16: tst_moteur's demarrage.
    QTest::newRow("file over 1 MiB") << "[Perso]\r\nx=" + QByteArray(1024 * 1024, 'x') + "\r\n";
    QTest::newRow("UTF-32") << QByteArray("\xFF\xFE\0\0[\0\0\0", 8);
    QTest::newRow("UTF-8 mark over Windows-1252") << QByteArray("\xEF\xBB\xBF[IP]\r\nx=\xE9\r\n");
}

void TestConfig::unreadableFileIsNotOverwritten()
{
    QFETCH(QByteArray, file);
    QVERIFY(ecrit(path, file));

    const WriteResult r = SauveConfig(Parametres{}, path);
    QVERIFY(!r.ok);
    QVERIFY2(r.raison.contains(QString::fromUtf8("illisible")), qPrintable(r.raison));
    QCOMPARE(lit(path), file);
    QCOMPARE(ChargeConfig(path), Parametres{});
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Corvane.cfg"});
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
