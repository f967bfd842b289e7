// The autostart entry: written where the desktop looks for it, readable back by the rules of the
// Desktop Entry Specification (whatever the program's path holds), and removed again.

#include "platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace corvane;

namespace {

// The [Desktop Entry] keys, values with the string escape for backslash undone (the writer
// refuses control characters, so it needs no other).
QMap<QString, QString> lisEntree(const QString& chemin)
{
    QFile f(chemin);
    QMap<QString, QString> cles;
    for (const QString& ligne :
         f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n') : QStringList()) {
        const qsizetype egal = ligne.indexOf('=');
        if (egal > 0 && !ligne.startsWith('#') && !ligne.startsWith('[')) {
            cles[ligne.left(egal).trimmed()] = ligne.mid(egal + 1).trimmed().replace("\\\\", "\\");
        }
    }
    return cles;
}

// The one argument of an Exec value that must be a single quoted argument: inside the quotes a
// backslash takes the next character literally, %% is a percent sign; any of " ` $ \ left bare,
// or another field code, makes it no single argument ("<invalide>").
QString argumentUnique(const QString& exec)
{
    if (exec.size() < 2 || !exec.startsWith('"') || !exec.endsWith('"')) {
        return "<invalide>";
    }
    QString arg;
    for (qsizetype i = 1; i + 1 < exec.size(); ++i) {
        const QChar c = exec[i];
        if ((c == '\\' || c == '%') && i + 2 < exec.size() && (c == '\\' || exec[i + 1] == '%')) {
            arg += exec[++i];
        } else if (QStringLiteral("\"`$%\\").contains(c)) {
            return "<invalide>";
        } else {
            arg += c;
        }
    }
    return arg;
}

} // namespace

class TestAutostart : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init();
    void ecritRelitRetire_data();
    void ecritRelitRetire();
    void refus_data();
    void refus();
    void actifSelonLeBureau_data();
    void actifSelonLeBureau();
};

void TestAutostart::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    qputenv("HOME", QFile::encodeName(dir->filePath("home")));
    qunsetenv("XDG_CONFIG_HOME");
}

void TestAutostart::ecritRelitRetire_data()
{
    QTest::addColumn<QString>("programme"); // under the temporary folder
    QTest::addColumn<bool>("xdg");          // XDG_CONFIG_HOME set
    QTest::newRow("simple, ~/.config") << "bin/corvane" << false;
    QTest::newRow("caractères réservés") << "a$b\"c\\d%e`f'g;h/corvane" << false;
}

void TestAutostart::ecritRelitRetire()
{
    QFETCH(QString, programme);
    QFETCH(bool, xdg);
    if (xdg) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir->filePath("xdg")));
    }
    const QString exe = dir->filePath(programme);
    QVERIFY(QDir().mkpath(QFileInfo(exe).absolutePath()));
    QFile f(exe);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString attendu = dir->filePath(xdg ? "xdg/autostart/corvane.desktop"
                                              : "home/.config/autostart/corvane.desktop");
    QCOMPARE(cheminAutostart(), attendu);

    const Resultat on = activeAutostart(true, exe);
    QVERIFY2(on.ok, qPrintable(on.raison));
    QVERIFY(autostartActif());
    const auto cles = lisEntree(attendu);
    QCOMPARE(argumentUnique(cles.value("Exec")), exe);
    QCOMPARE(cles.value("TryExec"), exe);
    QCOMPARE(cles.value("Path"), QFileInfo(exe).absolutePath());
    QProcess valide;
    valide.start("desktop-file-validate", {attendu});
    QVERIFY2(valide.waitForFinished(), "desktop-file-validate (desktop-file-utils) missing");
    QVERIFY2(valide.exitCode() == 0, valide.readAllStandardOutput().constData());

    QVERIFY(activeAutostart(false, exe).ok);
    QVERIFY(!QFileInfo::exists(attendu));
    QVERIFY(!autostartActif());
    QVERIFY(activeAutostart(false, exe).ok); // already off
}

void TestAutostart::refus_data()
{
    QTest::addColumn<QString>("programme");
    QTest::newRow("retour à la ligne") << "<T>/a\nb";
}

void TestAutostart::refus()
{
    QFETCH(QString, programme);
    const Resultat r = activeAutostart(true, programme.replace("<T>", dir->path()));
    QVERIFY(!r.ok);
    QVERIFY(!r.raison.isEmpty());
    QVERIFY(!QFileInfo::exists(cheminAutostart()));
}

void TestAutostart::actifSelonLeBureau_data()
{
    QTest::addColumn<QByteArray>("contenu");
    QTest::addColumn<bool>("actif");
    QTest::newRow("coupée par GNOME")
        << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled = false\n") << false;
    QTest::newRow("Hidden d'une autre section")
        << QByteArray("[Desktop Entry]\nExec=corvane\n[Desktop Action x]\nHidden=true\n") << true;
}

void TestAutostart::actifSelonLeBureau()
{
    QFETCH(QByteArray, contenu);
    QFETCH(bool, actif);
    QVERIFY(QDir().mkpath(QFileInfo(cheminAutostart()).absolutePath()));
    QFile f(cheminAutostart());
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(contenu) == contenu.size());
    f.close();
    QCOMPARE(autostartActif(), actif);
}

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
