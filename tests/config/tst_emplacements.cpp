// Where the settings and the files go: beside the program, in the XDG folders, or --config.

#include "config/emplacements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

using namespace corvane;

namespace {
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

class TestEmplacements : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString t(const QString& s) const { return QString(s).replace("<T>", dir->path()); }

private slots:
    void init();
    void emplacements_data();
    void emplacements();
    void dossierInscriptibleReel();
};

void TestEmplacements::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    for (const char* sub : {"prog", "home", "cwd/sub", "xc"}) {
        QVERIFY(QDir().mkpath(dir->filePath(sub)));
        QVERIFY(::chmod(QFile::encodeName(dir->filePath(sub)).constData(), 0755) == 0);
    }
    QVERIFY(QFile(dir->filePath("fichier")).open(QIODevice::WriteOnly));
    QVERIFY(QDir::setCurrent(dir->filePath("cwd")));
}

void TestEmplacements::emplacements_data()
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

void TestEmplacements::emplacements()
{
    QFETCH(Cas, cas);
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
    QCOMPARE(e.dossiersUtilisateur, !*cas.explicite && !cas.inscriptible);
    if (e.dossiersUtilisateur) {
        // Each folder made has 0700; one that was there keeps its mode.
        for (const QString& d : {QFileInfo(e.config).absolutePath(), e.dossierTravail}) {
            for (QString p = d; p != dir->path(); p = QFileInfo(p).absolutePath()) {
                struct stat st {};
                QVERIFY(::stat(QFile::encodeName(p).constData(), &st) == 0);
                const mode_t attendu = p == t("<T>/xc") || p == t("<T>/home") ? 0755 : 0700;
                QCOMPARE(st.st_mode & 07777, attendu);
            }
        }
    }
}

void TestEmplacements::dossierInscriptibleReel()
{
    QVERIFY(dossierInscriptible(t("<T>/prog")));
    QCOMPARE(QDir(t("<T>/prog")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());                   // the trial file went again
    QVERIFY(!dossierInscriptible("/proc"));    // nothing can be made there, even by root
    QVERIFY(!dossierInscriptible("/usr/bin")); // root may write there; the program must not
}

QTEST_GUILESS_MAIN(TestEmplacements)
#include "tst_emplacements.moc"
