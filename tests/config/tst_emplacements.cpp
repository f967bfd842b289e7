// Where the settings, the log and the pages go: beside a writable program, in the XDG folders
// when the program folder is read-only, or where --config says.

#include "config/emplacements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

class TestEmplacements : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString t(const QString& s) const { return QString(s).replace("<T>", dir->path()); }

private slots:
    void init();
    void emplacements_data();
    void emplacements();
    void dossierInscriptibleReel_data();
    void dossierInscriptibleReel();
};

void TestEmplacements::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    for (const char* sub : {"prog", "home", "cwd/sub", "xc"}) {
        QVERIFY(QDir().mkpath(dir->filePath(sub)));
    }
    for (const char* sub : {"xc", "home"}) {
        QVERIFY(::chmod(QFile::encodeName(dir->filePath(sub)).constData(), 0755) == 0);
    }
    QVERIFY(QFile(dir->filePath("fichier")).open(QIODevice::WriteOnly));
    QVERIFY(QDir::setCurrent(dir->filePath("cwd")));
}

namespace {
struct Cas {
    const char* xdgConfig; // "" unset
    const char* xdgState;
    bool home;
    bool inscriptible;
    const char* explicite;
    bool existe;        // the expected Corvane.cfg is there before the call
    const char* config; // "" when the call must fail
    const char* travail;
};
} // namespace
Q_DECLARE_METATYPE(Cas)

void TestEmplacements::emplacements_data()
{
    QTest::addColumn<Cas>("cas");
    const char* prog = "<T>/prog/Corvane.cfg";
    const char* maison = "<T>/home/.config/corvane/Corvane.cfg";
    const char* etat = "<T>/home/.local/state/corvane";
    const char* xc = "<T>/xc/corvane/Corvane.cfg";
    QTest::newRow("dossier inscriptible") << Cas{"", "", true, true, "", false, prog, "<T>/cwd"};
    QTest::newRow("lecture seule, XDG absents")
        << Cas{"", "", true, false, "", false, maison, etat};
    QTest::newRow("lecture seule, XDG posés")
        << Cas{"<T>/xc", "<T>/xs", true, false, "", false, xc, "<T>/xs/corvane"};
    QTest::newRow("XDG relatifs ignorés") << Cas{"xc", "xs", true, false, "", false, maison, etat};
    QTest::newRow("ni XDG ni HOME") << Cas{"", "", false, false, "", false, "", ""};
    QTest::newRow("--config relatif")
        << Cas{"", "", true, false, "sub/mon.cfg", false, "<T>/cwd/sub/mon.cfg", "<T>/cwd"};
    QTest::newRow("--config absolu, existant")
        << Cas{"", "", true, true, "<T>/fichier", true, "<T>/fichier", "<T>/cwd"};
    QTest::newRow("--config sur un dossier") << Cas{"", "", true, true, "sub", false, "", ""};
}

void TestEmplacements::emplacements()
{
    QFETCH(Cas, cas);
    const QString xdgConfig = cas.xdgConfig, xdgState = cas.xdgState, explicite = cas.explicite;
    const QString config = cas.config, travail = cas.travail;
    const bool home = cas.home, inscriptible = cas.inscriptible, existe = cas.existe;
    const auto pose = [this](const char* nom, const QString& valeur) {
        valeur.isEmpty() ? qunsetenv(nom) : qputenv(nom, QFile::encodeName(t(valeur)));
    };
    pose("XDG_CONFIG_HOME", xdgConfig);
    pose("XDG_STATE_HOME", xdgState);
    pose("HOME", home ? "<T>/home" : QString());
    if (existe) {
        QVERIFY(QDir().mkpath(QFileInfo(t(config)).absolutePath()));
        QFile f(t(config));
        QVERIFY(f.open(QIODevice::Append));
    }
    QStringList demandes;
    const Emplacements e =
        corvane::emplacements(t("<T>/prog"), t(explicite), [&](const QString& d) {
            demandes << d;
            return inscriptible;
        });

    QCOMPARE(e.ok, !config.isEmpty());
    QCOMPARE(e.raison.isEmpty(), e.ok);
    QCOMPARE(e.config, t(config));
    QCOMPARE(e.dossierTravail, t(travail));
    QCOMPARE(demandes, explicite.isEmpty() ? QStringList{t("<T>/prog")} : QStringList{});
    if (!e.ok) {
        return;
    }
    QCOMPARE(e.configNouvelle, !existe);
    QCOMPARE(e.dossiersUtilisateur, explicite.isEmpty() && !inscriptible);
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

void TestEmplacements::dossierInscriptibleReel_data()
{
    QTest::addColumn<QString>("dossier");
    QTest::addColumn<bool>("lectureSeule");
    QTest::addColumn<bool>("attendu");
    QTest::newRow("dossier ordinaire") << "<T>/prog" << false << true;
    QTest::newRow("dossier en lecture seule") << "<T>/prog" << true << false;
    // Root may write there, and the program must not.
    QTest::newRow("sous /usr") << "/usr/bin" << false << false;
}

void TestEmplacements::dossierInscriptibleReel()
{
    QFETCH(QString, dossier);
    QFETCH(bool, lectureSeule);
    QFETCH(bool, attendu);
    const QByteArray chemin = QFile::encodeName(t(dossier));
    bool monte = false;
    if (lectureSeule) {
        // Permission bits do not stop root; a read-only mount stops everyone.
        if (::geteuid() == 0) {
            monte = ::mount(chemin.constData(), chemin.constData(), nullptr, MS_BIND, nullptr) == 0;
            if (!monte || ::mount(nullptr, chemin.constData(), nullptr,
                                  MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
                if (monte) {
                    ::umount2(chemin.constData(), MNT_DETACH);
                }
                QSKIP("no read-only bind mount here");
            }
        } else {
            QVERIFY(::chmod(chemin.constData(), 0555) == 0);
        }
    }
    const auto retour = qScopeGuard([&] {
        if (monte) {
            ::umount2(chemin.constData(), MNT_DETACH);
        }
        ::chmod(chemin.constData(), 0755);
    });
    QCOMPARE(dossierInscriptible(t(dossier)), attendu);
    if (attendu) {
        QCOMPARE(QDir(t(dossier)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }
}

QTEST_GUILESS_MAIN(TestEmplacements)
#include "tst_emplacements.moc"
