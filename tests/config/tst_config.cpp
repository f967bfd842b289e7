// The settings file: Windows profile-file reading rules, in-place writing, the whole-record
// load and save, first-start defaults, and what happens when the file cannot be touched.

#include "config/fichierini.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

using namespace corvane;

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

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeRaw(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
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
    void init();
    void value_data();
    void value();
    void setValue_data();
    void setValue();
    void saveKeepsUnknownLines();
    void saveAddsMissingReglageKeys();
    void otherEditorsFiles_data();
    void otherEditorsFiles();
    void firstStartDefaults_data();
    void firstStartDefaults();
    void everyKeyHasItsOwnField();
    void loadMatchesSingleReads();
    void ownerOnlyMode_data();
    void ownerOnlyMode();
    void saveThatCannotWrite_data();
    void saveThatCannotWrite();
    void unreadableFileIsNotOverwritten_data();
    void unreadableFileIsNotOverwritten();
};

void TestConfig::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    path = dir->filePath("Corvane.cfg");
}

void TestConfig::value_data()
{
    QTest::addColumn<QByteArray>("file"); // UTF-8, LF; also run with CR LF
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const QByteArray& file, const char* section,
                        const char* key, const QString& expected) {
        QTest::newRow(name) << file << QString::fromUtf8(section) << QString::fromUtf8(key)
                            << expected;
    };
    const QByteArray x300(300, 'x');
    const QByteArray opt = "[OPTION]\nSauve Log=1\n";

    row("plain", opt, "OPTION", "Sauve Log", "1");
    row("blanks around name and value", "[OPTION]\n  Sauve Log \t=  \t1 \t\n", "OPTION",
        "Sauve Log", "1");
    row("blanks inside the header", "  [ OPTION ]  \nSauve Log=1\n", "OPTION", "Sauve Log", "1");
    row("inner blanks kept", "[SMTP]\nSujet=  Changement   IP  \n", "SMTP", "Sujet",
        "Changement   IP");
    row("no-break space is not a blank", "[SMTP]\nSujet=\xC2\xA0x\xC2\xA0\n", "SMTP", "Sujet",
        QString::fromUtf8("\u00A0x\u00A0"));
    row("quoted", "[SMTP]\nSujet=\"a b\"\n", "SMTP", "Sujet", "a b");
    row("two quotes read as empty", "[SMTP]\nAdresse N°4=\"\"\nAdresse N°5=e@x\n", "SMTP",
        "Adresse N°4", "");
    row("quotes after blanks, blanks inside kept", "[SMTP]\nSujet=  \" a \"  \n", "SMTP", "Sujet",
        " a ");
    row("only one pair removed", "[SMTP]\nSujet=\"\"a\"\"\n", "SMTP", "Sujet", "\"a\"");
    row("unbalanced quote kept", "[SMTP]\nSujet=\"abc\n", "SMTP", "Sujet", "\"abc");
    row("equals sign inside value", "[ADRESSE HTTP]\nadresse de IP detect.php=http://h/p?a=b\n",
        "ADRESSE HTTP", "adresse de IP detect.php", "http://h/p?a=b");
    row("value past 254 characters kept whole", "[SMTP]\nMessage=\"" + x300 + "\"\n", "SMTP",
        "Message", x300);
    row("missing key", opt, "OPTION", "Mail Auto", "");
    row("missing section", opt, "SMTP", "Sauve Log", "");
    row("key of another section", "[A]\nk=1\n[B]\nj=2\n", "B", "k", "");
    row("key before any section", "k=1\n[B]\nj=2\n", "B", "k", "");
    row("section names are whole", "[OPTIONS]\nSauve Log=1\n", "OPTION", "Sauve Log", "");
    row("key names are whole", "[SMTP]\nMessage de=x\n", "SMTP", "Message", "");
    row("section case", "[smtp]\nSujet=s\n", "SMTP", "Sujet", "s");
    row("key case with N°", "[SMTP]\nADRESSE n°1=a@b\n", "SMTP", "Adresse N°1", "a@b");
    row("accented capital matches small", "[ADRESSE FTP]\nFICHIER À TRANSFERER=f.php\n",
        "adresse ftp", "fichier à transferer", "f.php");
    row("° is not the ordinal º", "[SMTP]\nAdresse Nº1=a@b\n", "SMTP", "Adresse N°1", "");
    row("à is not a", "[ADRESSE FTP]\nfichier a transferer=f.php\n", "ADRESSE FTP",
        "fichier à transferer", "");
    row("duplicate key: first wins", "[OPTION]\nSauve Log=first\nSauve Log=second\n", "OPTION",
        "Sauve Log", "first");
    row("duplicate section: only the first is read",
        "[OPTION]\nMail Auto=1\n[SMTP]\n[option]\nSauve Log=second\n", "OPTION", "Sauve Log", "");
    row("comment is not a key", "[OPTION]\n;Sauve Log=1\n", "OPTION", ";Sauve Log", "");
    row("junk line is not a key", "[OPTION]\nSauve Log\nSauve Log=1\n", "OPTION", "Sauve Log", "1");
    row("header with trailing comment", "[OPTION] ; options\nSauve Log=1\n", "OPTION", "Sauve Log",
        "1");
    row("unclosed header does not open a section", "[OPTION]\n[SMTP\nSauve Log=1\n", "OPTION",
        "Sauve Log", "1");
    row("last line without line break", "[OPTION]\nSauve Log=1", "OPTION", "Sauve Log", "1");
    row("Windows-1252 key", "[SERVER]\nN°port In=81\n", "SERVER", "N°port In", "81");
    row("Windows-1252 value", "[A]\nprix=5 € déjà\n", "A", "prix", QString::fromUtf8("5 € déjà"));
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

    row("replaced where it stands", "; top\n[OPTION]\n a = 1 \nSauve Log = 0 ; old\nz=9\n",
        "OPTION", "Sauve Log", "1", "; top\n[OPTION]\n a = 1 \nSauve Log=1\nz=9\n");
    row("matched without case, written with the program's name", "[option]\nSAUVE LOG=0\n",
        "OPTION", "Sauve Log", "1", "[option]\nSauve Log=1\n");
    row("first duplicate replaced, second left", "[OPTION]\nSauve Log=0\nSauve Log=7\n", "OPTION",
        "Sauve Log", "1", "[OPTION]\nSauve Log=1\nSauve Log=7\n");
    row("duplicate sections: first one written", "[OPTION]\nMail Auto=0\n\n[OPTION]\nSauve Log=0\n",
        "OPTION", "Sauve Log", "1",
        "[OPTION]\nMail Auto=0\nSauve Log=1\n\n[OPTION]\nSauve Log=0\n");
    row("missing key after the section's last key",
        "[OPTION]\nSauve Log=1\n; note\n\n[SMTP]\nSujet=s\n", "OPTION", "Mail Auto", "0",
        "[OPTION]\nSauve Log=1\nMail Auto=0\n; note\n\n[SMTP]\nSujet=s\n");
    row("missing key in a section without keys", "[OPTION]\n\n[SMTP]\n", "OPTION", "Mail Auto", "0",
        "[OPTION]\nMail Auto=0\n\n[SMTP]\n");
    row("missing section at the end", "[A]\nk=1\n", "OPTION", "Mail Auto", "0",
        "[A]\nk=1\n\n[OPTION]\nMail Auto=0\n");
    row("missing section after a blank last line", "[A]\nk=1\n\n", "OPTION", "Mail Auto", "0",
        "[A]\nk=1\n\n[OPTION]\nMail Auto=0\n");
    row("missing section in an empty file", "", "OPTION", "Mail Auto", "0",
        "[OPTION]\nMail Auto=0\n");
    row("key of the same name elsewhere is not it", "[ADRESSE FTP]\nMot de passe=secret\n",
        "Mot de passe", "raz", "non",
        "[ADRESSE FTP]\nMot de passe=secret\n\n[Mot de passe]\nraz=non\n");
    row("line break cannot open a section", "[IP]\nDerniere IP=1\n[OPTION]\nMail Auto=0\n", "IP",
        "Derniere IP", "1.2.3.4\r\n[OPTION]\r\nMail Auto=1",
        "[IP]\nDerniere IP=1.2.3.4  [OPTION]  Mail Auto=1\n[OPTION]\nMail Auto=0\n");
    row("last line gets its line break", "[A]\nk=1", "A", "k", "2", "[A]\nk=2\n");
    // An address from a hostile answer must not turn the file into unreadable text.
    QTest::newRow("NUL becomes a blank") << QByteArray("[IP]\n") << "IP"
                                         << "Derniere IP" << QString("1.2.3.4") + QChar(0) + "x"
                                         << QByteArray("[IP]\nDerniere IP=1.2.3.4 x\n");
    row("Windows-1252 key and value", "[ADRESSE FTP]\nfichier à transferer=déjà.php\nprix=5 €\n",
        "ADRESSE FTP", "fichier à transferer", "été.php",
        "[ADRESSE FTP]\nfichier à transferer=été.php\nprix=5 €\n");
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

    QVERIFY(writeRaw(path, file));
    Parametres p = ChargeConfig(path);
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(readAll(path), file);

    p.Sujet = QString::fromUtf8("Nouvelle adresse à voir");
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(readAll(path),
             QByteArray(file).replace("Sujet=Changement IP", "Sujet=Nouvelle adresse \xE0 voir"));
}

void TestConfig::saveAddsMissingReglageKeys()
{
    // The sample file of the help window stops at the interval; an owner's section follows.
    const QByteArray head = kDefaultsFile.left(kDefaultsFile.indexOf("[REGLAGE]"));
    QVERIFY(writeRaw(path, head + "[REGLAGE]\r\nValeur_Bouton_Tempo=1\r\n\r\n[Perso]\r\nx=1\r\n"));

    Parametres p = ChargeConfig(path);
    QCOMPARE(p.ValeurBoutonTempo, "1");
    QCOMPARE(
        QStringList({p.LangageInt, p.TailleFenetre, p.PositionH, p.PositionV, p.ToujoursVisible})
            .join(""),
        "");

    p.PositionH = "1440";
    p.ToujoursVisible = "oui";
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(readAll(path), head + "[REGLAGE]\r\nValeur_Bouton_Tempo=1\r\nLangage Int=\r\n"
                                   "Taille fenetre=\r\nPosition H=1440\r\nPosition V=\r\n"
                                   "Toujours visible=oui\r\n\r\n[Perso]\r\nx=1\r\n");
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
    QVERIFY(writeRaw(path, file));
    Parametres p = ChargeConfig(path);
    QCOMPARE(p.PortIn, "81");
    QCOMPARE(p.FichierATransferer, "date.php");
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(readAll(path), rewritten);

    p.Sujet = QString::fromUtf8("Adresse → changée");
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(ChargeConfig(path).Sujet, utf8 ? p.Sujet : QString::fromUtf8("Adresse ? changée"));
}

void TestConfig::firstStartDefaults_data()
{
    QTest::addColumn<bool>("emptyFile"); // else no file at all
    QTest::newRow("no file") << false;
    QTest::newRow("file of 0 bytes") << true;
}

void TestConfig::firstStartDefaults()
{
    QFETCH(bool, emptyFile);
    if (emptyFile) {
        QVERIFY(writeRaw(path, {}));
        QCOMPARE(IniFile::fromBytes({}).toBytes(), QByteArray());
    }
    Parametres p = ChargeConfig(path);
    QCOMPARE(p, Parametres{});
    QVERIFY(ini_par_defaut(p, path).ok);
    QCOMPARE(readAll(path), kDefaultsFile);
    QCOMPARE(ChargeConfig(path), p);

    // Fields the defaults do not name keep what the previous load gave them.
    Parametres loaded;
    loaded.ValeurBoutonTempo = "2";
    loaded.ToujoursVisible = "oui";
    loaded.Adresses[5] = "f@example.org";
    loaded.Adresses[9] = "j@example.org";
    loaded.Adresses[3] = "d@example.org";
    loaded.TailleFenetre = "reduit";
    Parametres expected = p;
    expected.ValeurBoutonTempo = "2";
    expected.ToujoursVisible = "oui";
    expected.Adresses[5] = "f@example.org";
    expected.Adresses[9] = "j@example.org";
    QVERIFY(ini_par_defaut(loaded, path).ok);
    QCOMPARE(loaded, expected);
    QCOMPARE(ChargeConfig(path), loaded);
}

void TestConfig::everyKeyHasItsOwnField()
{
    const Parametres p = distinctRecord();
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(ChargeConfig(path), p);
    // Written in file order: each key's line comes after the previous key's.
    const QByteArray bytes = readAll(path);
    qsizetype last = -1;
    for (const ConfigKey& k : clesConfig()) {
        const qsizetype at =
            bytes.indexOf("\r\n" + toAnsi(QString::fromUtf8(k.key)) + "=", last + 1);
        QVERIFY2(at > last, k.key);
        last = at;
    }
}

void TestConfig::loadMatchesSingleReads()
{
    QVERIFY(writeRaw(path, ansi("[smtp]\n adresse n°2 = \"b@x\" \nSujet=a\nSujet=b\n"
                                "[OPTION]\nmail auto=1\n[SMTP]\nMessage=m\n")));
    const Parametres p = ChargeConfig(path);
    for (const ConfigKey& k : clesConfig()) {
        Parametres copy = p;
        QCOMPARE(champ(copy, k),
                 LireINI(path, QString::fromUtf8(k.section), QString::fromUtf8(k.key)));
    }
    QCOMPARE(p.Adresses[1], "b@x");
    QCOMPARE(p.Sujet, "a");
    QCOMPARE(p.MailAuto, "1");
    QCOMPARE(p.Message, "");
    QCOMPARE(LireINI(dir->filePath("absent.cfg"), "SMTP", "Sujet"), "");
}

void TestConfig::ownerOnlyMode_data()
{
    QTest::addColumn<int>("existingMode"); // 0: no file yet
    QTest::newRow("created") << 0;
    QTest::newRow("rewrite of 0644") << 0644;
    QTest::newRow("rewrite of 0400") << 0400;
}

void TestConfig::ownerOnlyMode()
{
    QFETCH(int, existingMode);
    if (existingMode != 0) {
        QVERIFY(writeRaw(path, "[Perso]\r\nx=1\r\n"));
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(existingMode)), 0);
    }
    Parametres p = distinctRecord();
    p.MotDePasseFtp = "secret";
    const WriteResult r = SauveConfig(p, path);
    QVERIFY2(r.ok, qPrintable(r.raison));
    QCOMPARE(modeOf(path), mode_t(0600));
    QCOMPARE(ChargeConfig(path), p);
}

void TestConfig::saveThatCannotWrite_data()
{
    QTest::addColumn<QString>("relative"); // "" : a path in /proc
    QTest::newRow("folder is a regular file") << "afile/Corvane.cfg";
    QTest::newRow("proc") << "";
}

void TestConfig::saveThatCannotWrite()
{
    QFETCH(QString, relative);
    const QByteArray blocker = "not a folder\r\n";
    QVERIFY(writeRaw(dir->filePath("afile"), blocker));
    const QString target = relative.isEmpty() ? QStringLiteral("/proc/corvane-test/Corvane.cfg")
                                              : dir->filePath(relative);

    Parametres p;
    const WriteResult r = ini_par_defaut(p, target);
    QVERIFY(!r.ok);
    QVERIFY(!r.raison.isEmpty());
    QVERIFY(!QFile::exists(target));
    QCOMPARE(readAll(dir->filePath("afile")), blocker);
    QCOMPARE(QDir(dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{"afile"});
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
        QVERIFY(writeRaw(path + "/inside", "kept"));
    } else {
        QVERIFY(writeRaw(path, file));
    }

    const WriteResult r = SauveConfig(distinctRecord(), path);
    QVERIFY(!r.ok);
    QVERIFY2(r.raison.contains(QString::fromUtf8("illisible")), qPrintable(r.raison));
    if (folder) {
        QCOMPARE(readAll(path + "/inside"), QByteArray("kept"));
    } else {
        QVERIFY(readAll(path) == file);
    }
    QCOMPARE(ChargeConfig(path), Parametres{});
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Corvane.cfg"});
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
