// The settings file: Windows profile-file reading rules, in-place writing, the whole-record
// load and save, first-start defaults, and what happens when the file cannot be touched.

#include "config/fichierini.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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
    if (!f.open(QIODevice::ReadOnly)) {
        return "<unreadable>";
    }
    return f.readAll();
}

bool writeRaw(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

mode_t modeOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return 0;
    }
    return st.st_mode & 07777;
}

// The file the program writes on a first start, byte for byte; "N\xB0" and "\xE0" are the
// Windows-1252 bytes of "N°" and "à". Hex escapes are split so that a digit after them stays
// a digit.
const QByteArray kDefaultsFile = crlf("[Mot de passe]\n"
                                      "raz=non\n"
                                      "\n"
                                      "[IP]\n"
                                      "Derniere IP=xxx.xxx.xxx.xxx\n"
                                      "\n"
                                      "[ADRESSE HTTP]\n"
                                      "adresse de IP detect.php=http://www.example.org/php/"
                                      "ip_check.php\n"
                                      "\n"
                                      "[ADRESSE FTP]\n"
                                      "Nom de domaine=monsite\n"
                                      "Mot de passe=kkkkkkkk\n"
                                      "ftp hebergeur=ftp.example.org\n"
                                      "fichier \xE0 transferer=date.php\n"
                                      "emplacement et fichier=/ma_page/date.php\n"
                                      "\n"
                                      "[SERVER]\n"
                                      "N\xB0port In=81\n"
                                      "\n"
                                      "[OPTION]\n"
                                      "Bip changement IP=0\n"
                                      "Sauve Log=1\n"
                                      "Upload fichier=0\n"
                                      "Mail Auto=0\n"
                                      "Mode Debug=0\n"
                                      "Color text console=1\n"
                                      "\n"
                                      "[SMTP]\n"
                                      "Serveur smtp=smtp.example.org\n"
                                      "Message de=msg_auto_velmo\n"
                                      "Sujet=Changement IP\n"
                                      "Message=Hello, voici ma nouvelle IP\n"
                                      "Adresse N\xB0"
                                      "1=alice@example.org\n"
                                      "Adresse N\xB0"
                                      "2=bob@example.net\n"
                                      "Adresse N\xB0"
                                      "3=carol@example.org\n"
                                      "Adresse N\xB0"
                                      "4=\n"
                                      "Adresse N\xB0"
                                      "5=\n"
                                      "Adresse N\xB0"
                                      "6=\n"
                                      "Adresse N\xB0"
                                      "7=\n"
                                      "Adresse N\xB0"
                                      "8=\n"
                                      "Adresse N\xB0"
                                      "9=\n"
                                      "Adresse N\xB0"
                                      "10=\n"
                                      "\n"
                                      "[REGLAGE]\n"
                                      "Valeur_Bouton_Tempo=\n"
                                      "Langage Int=non\n"
                                      "Taille fenetre=\n"
                                      "Position H=\n"
                                      "Position V=\n"
                                      "Toujours visible=\n");

// A record whose 35 fields all differ, so a key wired to the wrong field shows.
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

private slots:
    void value_data();
    void value();
    void windows1252NamesAndValues();
    void setValue_data();
    void setValue();
    void saveKeepsUnknownLines();
    void saveAddsMissingReglageKeys();
    void firstStartDefaults();
    void everyKeyHasItsOwnField();
    void loadMatchesSingleReads();
    void emptyFile();
    void ownerOnlyMode_data();
    void ownerOnlyMode();
    void saveThatCannotWrite_data();
    void saveThatCannotWrite();
    void unreadableFileIsNotOverwritten_data();
    void unreadableFileIsNotOverwritten();
};

void TestConfig::value_data()
{
    QTest::addColumn<QByteArray>("file"); // UTF-8, LF; also run with CR LF
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString x300(300, u'x');
    const QString x254(254, u'x');

    QTest::newRow("plain") << QByteArray("[OPTION]\nSauve Log=1\n") << "OPTION"
                           << "Sauve Log"
                           << "1";
    QTest::newRow("blanks around name and value")
        << QByteArray("[OPTION]\n  Sauve Log \t=  \t1 \t\n") << "OPTION"
        << "Sauve Log"
        << "1";
    QTest::newRow("blanks inside the header")
        << QByteArray("  [ OPTION ]  \nSauve Log=1\n") << "OPTION"
        << "Sauve Log"
        << "1";
    QTest::newRow("caller's blanks ignored") << QByteArray("[OPTION]\nSauve Log=1\n") << " OPTION "
                                             << " Sauve Log\t"
                                             << "1";
    QTest::newRow("inner blanks kept")
        << QByteArray("[SMTP]\nSujet=  Changement   IP  \n") << "SMTP"
        << "Sujet"
        << "Changement   IP";
    QTest::newRow("no-break space is not a blank")
        << QByteArray("[SMTP]\nSujet=\xC2\xA0x\xC2\xA0\n") << "SMTP"
        << "Sujet" << QString::fromUtf8("\u00A0x\u00A0");
    QTest::newRow("quoted") << QByteArray("[SMTP]\nSujet=\"a b\"\n") << "SMTP"
                            << "Sujet"
                            << "a b";
    QTest::newRow("two quotes read as empty") << QByteArray("[SMTP]\nAdresse N\xC2\xB0"
                                                            "4=\"\"\nAdresse N\xC2\xB0"
                                                            "5=e@x\n")
                                              << "SMTP" << QString::fromUtf8("Adresse N°4") << "";
    QTest::newRow("quotes after blanks, blanks inside kept")
        << QByteArray("[SMTP]\nSujet=  \" a \"  \n") << "SMTP"
        << "Sujet"
        << " a ";
    QTest::newRow("only one pair removed") << QByteArray("[SMTP]\nSujet=\"\"a\"\"\n") << "SMTP"
                                           << "Sujet"
                                           << "\"a\"";
    QTest::newRow("lone quote kept") << QByteArray("[SMTP]\nSujet=\"\n") << "SMTP"
                                     << "Sujet"
                                     << "\"";
    QTest::newRow("unbalanced quote kept") << QByteArray("[SMTP]\nSujet=\"abc\n") << "SMTP"
                                           << "Sujet"
                                           << "\"abc";
    QTest::newRow("empty value") << QByteArray("[SMTP]\nSujet=\n") << "SMTP"
                                 << "Sujet"
                                 << "";
    QTest::newRow("equals sign inside value")
        << QByteArray("[ADRESSE HTTP]\nadresse de IP detect.php=http://h/p?a=b\n") << "ADRESSE HTTP"
        << "adresse de IP detect.php"
        << "http://h/p?a=b";
    QTest::newRow("254 characters kept") << ("[SMTP]\nMessage=" + x254.toUtf8() + "\n") << "SMTP"
                                         << "Message" << x254;
    QTest::newRow("longer value cut to 254")
        << ("[SMTP]\nMessage=" + x300.toUtf8() + "\n") << "SMTP"
        << "Message" << x254;
    QTest::newRow("quoted long value: quotes off, then cut")
        << ("[SMTP]\nMessage=\"" + x300.toUtf8() + "\"\n") << "SMTP"
        << "Message" << x254;
    QTest::newRow("missing key") << QByteArray("[OPTION]\nSauve Log=1\n") << "OPTION"
                                 << "Mail Auto"
                                 << "";
    QTest::newRow("missing section") << QByteArray("[OPTION]\nSauve Log=1\n") << "SMTP"
                                     << "Sauve Log"
                                     << "";
    QTest::newRow("key of another section") << QByteArray("[A]\nk=1\n[B]\nj=2\n") << "B"
                                            << "k"
                                            << "";
    QTest::newRow("key before any section") << QByteArray("k=1\n[B]\nj=2\n") << "B"
                                            << "k"
                                            << "";
    QTest::newRow("section names are whole") << QByteArray("[OPTIONS]\nSauve Log=1\n") << "OPTION"
                                             << "Sauve Log"
                                             << "";
    QTest::newRow("key names are whole") << QByteArray("[SMTP]\nMessage de=x\n") << "SMTP"
                                         << "Message"
                                         << "";
    QTest::newRow("section case") << QByteArray("[smtp]\nSujet=s\n") << "SMTP"
                                  << "Sujet"
                                  << "s";
    QTest::newRow("key case with N\xC2\xB0") << QByteArray("[SMTP]\nADRESSE n\xC2\xB0"
                                                           "1=a@b\n")
                                             << "SMTP" << QString::fromUtf8("Adresse N°1") << "a@b";
    QTest::newRow("accented capital matches small")
        << QByteArray("[ADRESSE FTP]\nFICHIER \xC3\x80 TRANSFERER=f.php\n") << "adresse ftp"
        << QString::fromUtf8("fichier à transferer") << "f.php";
    QTest::newRow("\xC2\xB0 is not the ordinal \xC2\xBA")
        << QByteArray("[SMTP]\nAdresse N\xC2\xBA"
                      "1=a@b\n")
        << "SMTP" << QString::fromUtf8("Adresse N°1") << "";
    QTest::newRow("\xC3\xA0 is not a")
        << QByteArray("[ADRESSE FTP]\nfichier a transferer=f.php\n") << "ADRESSE FTP"
        << QString::fromUtf8("fichier à transferer") << "";
    QTest::newRow("duplicate key: first wins")
        << QByteArray("[OPTION]\nSauve Log=first\nSauve Log=second\n") << "OPTION"
        << "Sauve Log"
        << "first";
    QTest::newRow("duplicate key in other case: first wins")
        << QByteArray("[OPTION]\nsauve log=first\nSAUVE LOG=second\n") << "OPTION"
        << "Sauve Log"
        << "first";
    QTest::newRow("duplicate section: first wins")
        << QByteArray("[OPTION]\nSauve Log=first\n[SMTP]\n[OPTION]\nSauve Log=second\n") << "OPTION"
        << "Sauve Log"
        << "first";
    QTest::newRow("duplicate section: only the first is read")
        << QByteArray("[OPTION]\nMail Auto=1\n[SMTP]\n[option]\nSauve Log=second\n") << "OPTION"
        << "Sauve Log"
        << "";
    QTest::newRow("comment is not a key") << QByteArray("[OPTION]\n;Sauve Log=1\n") << "OPTION"
                                          << ";Sauve Log"
                                          << "";
    QTest::newRow("junk line is not a key")
        << QByteArray("[OPTION]\nSauve Log\nSauve Log=1\n") << "OPTION"
        << "Sauve Log"
        << "1";
    QTest::newRow("header with trailing comment")
        << QByteArray("[OPTION] ; options\nSauve Log=1\n") << "OPTION"
        << "Sauve Log"
        << "1";
    QTest::newRow("unclosed header does not open a section")
        << QByteArray("[OPTION]\n[SMTP\nSauve Log=1\n") << "OPTION"
        << "Sauve Log"
        << "1";
    QTest::newRow("last line without line break") << QByteArray("[OPTION]\nSauve Log=1") << "OPTION"
                                                  << "Sauve Log"
                                                  << "1";
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

void TestConfig::windows1252NamesAndValues()
{
    const QByteArray file = "[SERVER]\r\nN\xB0port In=81\r\n"
                            "[ADRESSE FTP]\r\nfichier \xE0 transferer=d\xE9j\xE0.php\r\n"
                            "[Autre]\r\nprix=5 \x80\r\n";
    IniFile ini = IniFile::fromBytes(file);
    QCOMPARE(ini.value("SERVER", QString::fromUtf8("N°port In")), "81");
    QCOMPARE(ini.value("ADRESSE FTP", QString::fromUtf8("fichier à transferer")),
             QString::fromUtf8("déjà.php"));
    QCOMPARE(ini.value("Autre", "prix"), QString::fromUtf8("5 €"));
    QCOMPARE(ini.toBytes(), file);

    ini.setValue("ADRESSE FTP", QString::fromUtf8("fichier à transferer"),
                 QString::fromUtf8("été.php"));
    QCOMPARE(ini.toBytes(), QByteArray("[SERVER]\r\nN\xB0port In=81\r\n"
                                       "[ADRESSE FTP]\r\nfichier \xE0 transferer=\xE9t\xE9.php\r\n"
                                       "[Autre]\r\nprix=5 \x80\r\n"));
}

void TestConfig::setValue_data()
{
    QTest::addColumn<QByteArray>("before"); // UTF-8, LF
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after"); // UTF-8, LF; the file is CR LF

    QTest::newRow("replaced where it stands")
        << QByteArray("; top\n[OPTION]\n a = 1 \nSauve Log = 0 ; old\nz=9\n") << "OPTION"
        << "Sauve Log"
        << "1" << QByteArray("; top\n[OPTION]\n a = 1 \nSauve Log=1\nz=9\n");
    QTest::newRow("matched without case, written with the program's name")
        << QByteArray("[option]\nSAUVE LOG=0\n") << "OPTION"
        << "Sauve Log"
        << "1" << QByteArray("[option]\nSauve Log=1\n");
    QTest::newRow("first duplicate replaced, second left")
        << QByteArray("[OPTION]\nSauve Log=0\nSauve Log=7\n") << "OPTION"
        << "Sauve Log"
        << "1" << QByteArray("[OPTION]\nSauve Log=1\nSauve Log=7\n");
    QTest::newRow("duplicate sections: first one written")
        << QByteArray("[OPTION]\nMail Auto=0\n\n[OPTION]\nSauve Log=0\n") << "OPTION"
        << "Sauve Log"
        << "1" << QByteArray("[OPTION]\nMail Auto=0\nSauve Log=1\n\n[OPTION]\nSauve Log=0\n");
    QTest::newRow("missing key after the section's last key")
        << QByteArray("[OPTION]\nSauve Log=1\n; note\n\n[SMTP]\nSujet=s\n") << "OPTION"
        << "Mail Auto"
        << "0" << QByteArray("[OPTION]\nSauve Log=1\nMail Auto=0\n; note\n\n[SMTP]\nSujet=s\n");
    QTest::newRow("missing key in the last section")
        << QByteArray("[A]\nk=1\n[OPTION]\nSauve Log=1\n") << "OPTION"
        << "Mail Auto"
        << "0" << QByteArray("[A]\nk=1\n[OPTION]\nSauve Log=1\nMail Auto=0\n");
    QTest::newRow("missing key in a section without keys")
        << QByteArray("[OPTION]\n\n[SMTP]\n") << "OPTION"
        << "Mail Auto"
        << "0" << QByteArray("[OPTION]\nMail Auto=0\n\n[SMTP]\n");
    QTest::newRow("missing section at the end")
        << QByteArray("[A]\nk=1\n") << "OPTION"
        << "Mail Auto"
        << "0" << QByteArray("[A]\nk=1\n\n[OPTION]\nMail Auto=0\n");
    QTest::newRow("missing section after a blank last line")
        << QByteArray("[A]\nk=1\n\n") << "OPTION"
        << "Mail Auto"
        << "0" << QByteArray("[A]\nk=1\n\n[OPTION]\nMail Auto=0\n");
    QTest::newRow("missing section in an empty file")
        << QByteArray() << "OPTION"
        << "Mail Auto"
        << "0" << QByteArray("[OPTION]\nMail Auto=0\n");
    QTest::newRow("key of the same name elsewhere is not it")
        << QByteArray("[ADRESSE FTP]\nMot de passe=secret\n") << "Mot de passe"
        << "raz"
        << "non" << QByteArray("[ADRESSE FTP]\nMot de passe=secret\n\n[Mot de passe]\nraz=non\n");
    QTest::newRow("empty value keeps the key") << QByteArray("[SMTP]\nSujet=s\n") << "SMTP"
                                               << "Sujet"
                                               << "" << QByteArray("[SMTP]\nSujet=\n");
    QTest::newRow("line break cannot open a section")
        << QByteArray("[IP]\nDerniere IP=1\n[OPTION]\nMail Auto=0\n") << "IP"
        << "Derniere IP"
        << "1.2.3.4\r\n[OPTION]\r\nMail Auto=1"
        << QByteArray("[IP]\nDerniere IP=1.2.3.4  [OPTION]  Mail Auto=1\n[OPTION]\nMail Auto=0\n");
    QTest::newRow("last line gets its line break") << QByteArray("[A]\nk=1") << "A"
                                                   << "k"
                                                   << "2" << QByteArray("[A]\nk=2\n");
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
        const IniFile reread = IniFile::fromBytes(ini.toBytes());
        QCOMPARE(reread.value(section, key), ini.value(section, key));
    }
}

void TestConfig::saveKeepsUnknownLines()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Corvane.cfg");

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
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Corvane.cfg");
    // The sample file of the help window stops at the interval; an owner's section follows.
    const int reglage = kDefaultsFile.indexOf("[REGLAGE]");
    const QByteArray head = kDefaultsFile.left(reglage);
    QVERIFY(writeRaw(path, head + "[REGLAGE]\r\nValeur_Bouton_Tempo=1\r\n\r\n[Perso]\r\nx=1\r\n"));

    Parametres p = ChargeConfig(path);
    QCOMPARE(p.ValeurBoutonTempo, "1");
    QCOMPARE(p.LangageInt, "");
    QCOMPARE(p.TailleFenetre, "");
    QCOMPARE(p.PositionH, "");
    QCOMPARE(p.PositionV, "");
    QCOMPARE(p.ToujoursVisible, "");

    p.PositionH = "1440";
    p.ToujoursVisible = "oui";
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(readAll(path), head + "[REGLAGE]\r\nValeur_Bouton_Tempo=1\r\nLangage Int=\r\n"
                                   "Taille fenetre=\r\nPosition H=1440\r\nPosition V=\r\n"
                                   "Toujours visible=oui\r\n\r\n[Perso]\r\nx=1\r\n");
}

void TestConfig::firstStartDefaults()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Corvane.cfg");

    Parametres p = ChargeConfig(path);
    QCOMPARE(p, Parametres{});
    QVERIFY(ini_par_defaut(p, path).ok);
    QCOMPARE(readAll(path), kDefaultsFile);
    QCOMPARE(ChargeConfig(path), p);
    QCOMPARE(p.Adresses[3], "");

    // Fields the defaults do not name keep what the previous load gave them.
    Parametres loaded;
    loaded.ValeurBoutonTempo = "2";
    loaded.ToujoursVisible = "oui";
    loaded.Adresses[5] = "f@example.org";
    loaded.Adresses[9] = "j@example.org";
    loaded.Adresses[3] = "d@example.org";
    loaded.TailleFenetre = "reduit";
    QVERIFY(ini_par_defaut(loaded, path).ok);
    QCOMPARE(loaded.ValeurBoutonTempo, "2");
    QCOMPARE(loaded.ToujoursVisible, "oui");
    QCOMPARE(loaded.Adresses[5], "f@example.org");
    QCOMPARE(loaded.Adresses[9], "j@example.org");
    QCOMPARE(loaded.Adresses[3], "");
    QCOMPARE(loaded.TailleFenetre, "");
    QCOMPARE(ChargeConfig(path), loaded);
}

void TestConfig::everyKeyHasItsOwnField()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Corvane.cfg");
    const Parametres p = distinctRecord();
    QVERIFY(SauveConfig(p, path).ok);
    QCOMPARE(ChargeConfig(path), p);
    // Written in file order: each key's line comes after the previous key's.
    const QByteArray bytes = readAll(path);
    qsizetype last = -1;
    for (const ConfigKey& k : clesConfig()) {
        const QByteArray line = "\r\n" + toAnsi(QString::fromUtf8(k.key)) + "=";
        const qsizetype at = bytes.indexOf(line);
        QVERIFY2(at > last, k.key);
        last = at;
    }
}

void TestConfig::loadMatchesSingleReads()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Corvane.cfg");
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
    QCOMPARE(LireINI(dir.filePath("absent.cfg"), "SMTP", "Sujet"), "");
}

void TestConfig::emptyFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Corvane.cfg");
    QVERIFY(writeRaw(path, {}));
    QCOMPARE(QFileInfo(path).size(), 0);
    QCOMPARE(IniFile::fromBytes({}).toBytes(), QByteArray());
    QCOMPARE(ChargeConfig(path), Parametres{});

    Parametres p;
    QVERIFY(ini_par_defaut(p, path).ok);
    QCOMPARE(readAll(path), kDefaultsFile);
}

void TestConfig::ownerOnlyMode_data()
{
    QTest::addColumn<int>("existingMode"); // 0: no file yet

    QTest::newRow("created") << 0;
    QTest::newRow("rewrite of 0644") << 0644;
    QTest::newRow("rewrite of 0666") << 0666;
    QTest::newRow("rewrite of 0400") << 0400;
}

void TestConfig::ownerOnlyMode()
{
    QFETCH(int, existingMode);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Corvane.cfg");
    if (existingMode != 0) {
        QVERIFY(writeRaw(path, "[Perso]\r\nx=1\r\n"));
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(existingMode)), 0);
        QCOMPARE(modeOf(path), mode_t(existingMode));
    }
    Parametres p = distinctRecord();
    p.MotDePasseFtp = "secret";
    const WriteResult r = SauveConfig(p, path);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(modeOf(path), mode_t(0600));
    QCOMPARE(ChargeConfig(path), p);
}

void TestConfig::saveThatCannotWrite_data()
{
    QTest::addColumn<QString>("relative"); // "" : a path in /proc

    QTest::newRow("folder is a regular file") << "afile/Corvane.cfg";
    QTest::newRow("folder missing") << "nofolder/sub/Corvane.cfg";
    QTest::newRow("proc") << "";
}

void TestConfig::saveThatCannotWrite()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray blocker = "not a folder\r\n";
    QVERIFY(writeRaw(dir.filePath("afile"), blocker));
    const QString path = relative.isEmpty() ? QStringLiteral("/proc/corvane-test/Corvane.cfg")
                                            : dir.filePath(relative);

    Parametres p;
    const WriteResult r = ini_par_defaut(p, path);
    QVERIFY(!r.ok);
    QVERIFY(!r.error.isEmpty());
    QVERIFY(!QFile::exists(path));
    QCOMPARE(readAll(dir.filePath("afile")), blocker);
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{"afile"});
}

void TestConfig::unreadableFileIsNotOverwritten_data()
{
    QTest::addColumn<bool>("folder"); // else a file too large to be a settings file

    QTest::newRow("folder in the file's place") << true;
    QTest::newRow("file over 16 MiB") << false;
}

void TestConfig::unreadableFileIsNotOverwritten()
{
    // Root reads every file, so "cannot be read" is a folder standing where the file goes, or
    // a file too large to be taken for settings.
    QFETCH(bool, folder);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Corvane.cfg");
    const QByteArray big = "[Perso]\r\nx=" + QByteArray(16 * 1024 * 1024, 'x') + "\r\n";
    if (folder) {
        QVERIFY(QDir().mkpath(path));
        QVERIFY(writeRaw(path + "/inside", "kept"));
    } else {
        QVERIFY(writeRaw(path, big));
    }

    Parametres p = distinctRecord();
    const WriteResult r = SauveConfig(p, path);
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(QString::fromUtf8("illisible")), qPrintable(r.error));
    if (folder) {
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(readAll(path + "/inside"), QByteArray("kept"));
    } else {
        QVERIFY(readAll(path) == big);
    }
    QCOMPARE(ChargeConfig(path), Parametres{});
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Corvane.cfg"});
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
