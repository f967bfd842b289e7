// The settings file's rules and record, an unreadable file, where it goes, and single values.

#include "config/emplacements.h"
#include "config/fichierini.h"
#include "config/validation.h"
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
QByteArray ansi(const QByteArray& utf8, const char* eol = "\r\n")
{
    return toAnsi(QString::fromUtf8(utf8)).replace("\n", eol);
}

struct Cas {
    const char* xdgConfig; // "" unset
    const char* xdgState;
    bool home;
    bool inscriptible;
    const char* explicite;
    const char* config; // "" when the call must fail
    const char* travail;
};

} // namespace
Q_DECLARE_METATYPE(Cas)

class TestConfig : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path; // Corvane.cfg in a fresh folder for each test
    QString t(const QString& s) const { return QString(s).replace("<T>", dir->path()); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        path = dir->filePath("Corvane.cfg");
    }

    void valueAndSetValue_data()
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

        row("blanks trimmed, replaced where it stands", "; top\n[A]\n  k \t=  \t0 \t\njunk\nz=9\n",
            "A", "k", "0", "1", "; top\n[A]\nk=1\njunk\nz=9\n");
        row("no-break space is not a blank", "[A]\nk=\xC2\xA0x\xC2\xA0\n", "A", "k",
            "\u00A0x\u00A0");
        row("equals sign inside value", "[A]\nk=http://h/p?a=b\n", "A", "k", "http://h/p?a=b");
        row("value past 254 characters kept whole", "[A]\nk=\"" + x300 + "\"\n", "A", "k", x300,
            x300, "[A]\nk=" + x300 + "\n");
        row("name without case, written with the program's", "[a]\nADRESSE n°1=x\n", "A",
            "Adresse N°1", "x", "a@b", "[a]\nAdresse N°1=a@b\n");
        row("duplicate key: the first read and replaced", "[A]\nk=0\nk=7\n", "A", "k", "0", "1",
            "[A]\nk=1\nk=7\n");
        row("key of another section, added after the last key",
            "[A]\nk=1\n[B]\nj=s\n; note\n\n[C]\n", "B", "k", "", "0",
            "[A]\nk=1\n[B]\nj=s\nk=0\n; note\n\n[C]\n");
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

    void valueAndSetValue()
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

    void otherEditorsFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("sujet"); // read back after a save; null: the file is unreadable
        QTemporaryDir d;                    // the file a first start writes
        Parametres p;
        QVERIFY(ini_par_defaut(p, d.filePath("c.cfg")).ok);
        const QByteArray defauts = lit(d.filePath("c.cfg"));
        // "N°", "à" in key names; a character outside Windows-1252 survives in UTF-8 alone.
        QTest::newRow("UTF-8") << fromAnsi(defauts).toUtf8() << QString::fromUtf8("Sujet → 2");
        QTest::newRow("Windows-1252") << defauts << QString::fromUtf8("Sujet ? 2");
        // A folder here: tst_platform's atomicWrite; UTF-16: tst_moteur's demarrage.
        QTest::newRow("file over 1 MiB") << "[Perso]\r\nx=" + QByteArray(1024 * 1024, 'x') + "\r\n"
                                         << QString();
        QTest::newRow("UTF-32") << QByteArray("\xFF\xFE\0\0[\0\0\0", 8) << QString();
        QTest::newRow("UTF-8 mark over Windows-1252")
            << QByteArray("\xEF\xBB\xBF[IP]\r\nx=\xE9\r\n") << QString();
    }

    // Another editor's file comes back unchanged from a save that changed nothing (a key name
    // not read as written would be added again); one the program cannot read is never rewritten.
    void otherEditorsFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, sujet);
        QVERIFY(ecrit(path, file));
        Parametres p = ChargeConfig(path);
        const WriteResult r = SauveConfig(p, path);
        QCOMPARE(lit(path), file);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Corvane.cfg"});
        if (sujet.isNull()) {
            QVERIFY2(!r.ok && r.raison.contains(QString::fromUtf8("illisible")),
                     qPrintable(r.raison));
            QCOMPARE(p, Parametres{});
            return;
        }
        QVERIFY(r.ok);
        p.Sujet = QString::fromUtf8("Sujet → 2");
        QVERIFY(SauveConfig(p, path).ok);
        QCOMPARE(ChargeConfig(path).Sujet, sujet);
    }

    // The defaults read back as written; then fields that all differ, to show a key miswired.
    void firstStartAndEveryField()
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

    void emplacements_data()
    {
        QTest::addColumn<Cas>("cas");
        const char* prog = "<T>/prog/Corvane.cfg";
        const char* maison = "<T>/home/.config/corvane/Corvane.cfg";
        const char* etat = "<T>/home/.local/state/corvane";
        const char* xc = "<T>/xc/corvane/Corvane.cfg";
        QTest::newRow("dossier inscriptible") << Cas{"", "", true, true, "", prog, "<T>/cwd"};
        QTest::newRow("lecture seule, XDG absents") << Cas{"", "", true, false, "", maison, etat};
        QTest::newRow("lecture seule, XDG posés")
            << Cas{"<T>/xc", "<T>/xs", true, false, "", xc, "<T>/xs/corvane"};
        QTest::newRow("XDG relatifs ignorés") << Cas{"xc", "xs", true, false, "", maison, etat};
        QTest::newRow("ni XDG ni HOME") << Cas{"", "", false, false, "", "", ""};
        QTest::newRow("--config relatif")
            << Cas{"", "", true, false, "sub/mon.cfg", "<T>/cwd/sub/mon.cfg", "<T>/cwd"};
        QTest::newRow("--config absolu, existant")
            << Cas{"", "", true, true, "<T>/fichier", "<T>/fichier", "<T>/cwd"};
        QTest::newRow("--config sur un dossier") << Cas{"", "", true, true, "sub", "", ""};
    }

    void emplacements()
    {
        QFETCH(Cas, cas);
        const QStringList avant{"prog", "home", "cwd", "cwd/sub", "xc"}; // already there, 0755
        for (const QString& sub : avant) {
            QVERIFY(QDir().mkpath(dir->filePath(sub)));
            QVERIFY(::chmod(QFile::encodeName(dir->filePath(sub)).constData(), 0755) == 0);
        }
        QVERIFY(ecrit(dir->filePath("fichier"), {}) && QDir::setCurrent(dir->filePath("cwd")));
        const QString config = t(cas.config);
        const bool nouvelle = !QFileInfo::exists(config);
        const std::pair<const char*, const char*> env[] = {{"XDG_CONFIG_HOME", cas.xdgConfig},
                                                           {"XDG_STATE_HOME", cas.xdgState},
                                                           {"HOME", cas.home ? "<T>/home" : ""}};
        for (const auto& [nom, valeur] : env) {
            *valeur ? qputenv(nom, QFile::encodeName(t(valeur))) : qunsetenv(nom);
        }
        QStringList demandes;
        const Emplacements e =
            corvane::emplacements(t("<T>/prog"), t(cas.explicite), [&](const QString& d) {
                demandes << d;
                return cas.inscriptible;
            });

        QCOMPARE(e.ok, !config.isEmpty());
        QCOMPARE(e.raison.isEmpty(), e.ok);
        QCOMPARE(e.config, config);
        QCOMPARE(e.dossierTravail, t(cas.travail));
        QCOMPARE(demandes, *cas.explicite ? QStringList{} : QStringList{t("<T>/prog")});
        if (!e.ok) {
            return;
        }
        QCOMPARE(e.configNouvelle, nouvelle);
        // Each folder made for the user has 0700; one that was there keeps its mode.
        for (const QString& d : {QFileInfo(e.config).absolutePath(), e.dossierTravail}) {
            for (QString p = d; p != dir->path(); p = QFileInfo(p).absolutePath()) {
                struct stat st {};
                QVERIFY(::stat(QFile::encodeName(p).constData(), &st) == 0);
                QCOMPARE(st.st_mode & 07777,
                         avant.contains(p.mid(dir->path().size() + 1)) ? 0755u : 0700u);
            }
        }
    }

    void dossierInscriptibleReel()
    {
        QVERIFY(QDir().mkpath(t("<T>/prog")));
        QVERIFY(dossierInscriptible(t("<T>/prog")));
        QCOMPARE(QDir(t("<T>/prog")).entryList(QDir::Files | QDir::Hidden),
                 QStringList());                   // the trial file went again
        QVERIFY(!dossierInscriptible("/proc"));    // nothing can be made there, even by root
        QVERIFY(!dossierInscriptible("/usr/bin")); // root may write there; the program must not
    }

    void valeur_data()
    {
        QTest::addColumn<GenreValeur>("genre");
        QTest::addColumn<QString>("texte");
        QTest::addColumn<bool>("bon");
        using G = GenreValeur;
        const auto row = [](G genre, const QString& texte, bool bon) {
            QTest::addRow("%d %s", int(genre), qPrintable(texte)) << genre << texte << bon;
        };
        row(G::Url, "http://[::1]/ip", true);
        row(G::HotePort, "[2001:db8::1]:2121", true);
        row(G::HotePort, "2001:db8::1", true);
        row(G::HotePort, "[fe80::1%eth0]:25", true);
        row(G::HotePort, "[2001:db8::g]:2121", false);
        row(G::HotePort, "2001:db8:::1", false);
        row(G::HotePort, "fe80::1%", false);
        row(G::HotePort, "hote:65536", false);
        row(G::HotePort, "mauvais hote", false);
        row(G::AdresseMail, "root@localhost", true);
        row(G::AdresseMail, "moi@example.org\r\nRCPT TO:<x@y>", false);
        row(G::Empreinte, "SHA256:" + QString(43, u'A') + "=", true);
        row(G::Empreinte, "SHA256:" + QString(42, u'A'), false);
        row(G::Ttl, "2147483647", true);
        row(G::Ttl, "2147483648", false);
        row(G::NomHote, "maison.example.org.", true);
        row(G::NomHote, "maison..example.org", false);
        row(G::Base64, "c2VjcmV0IGRlIHRlc3Q=", true);
        row(G::Base64, "abc", false);
        row(G::Ttl, "  ", true); // empty passes, whatever the kind
    }

    void valeur()
    {
        QFETCH(GenreValeur, genre);
        QFETCH(QString, texte);
        QFETCH(bool, bon);
        const QString raison = verifieValeur(genre, texte);
        QVERIFY2(raison.isEmpty() == bon, qPrintable(raison));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
