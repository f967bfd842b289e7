// The autostart entry: where the desktop looks, read back by its rules whatever the path holds.

#include "platform/autostart.h"
#include "support/fichiers.h"

#include <QtTest>

#include <memory>

using namespace corvane;

namespace {

// A key's value, its backslash escape undone (control characters are refused before).
QString cle(const QString& chemin, const QString& nom)
{
    QFile f(chemin);
    const QString texte = f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    const QRegularExpression re("^" + nom + "\\s*=(.*)$", QRegularExpression::MultilineOption);
    return re.match(texte).captured(1).trimmed().replace("\\\\", "\\");
}

// The one argument a quoted Exec value stands for (\ before " ` $ \, %% for %); "<invalide>"
// when one of them is left bare or another field code makes it no single argument.
QString argumentUnique(const QString& exec)
{
    static const QRegularExpression guillemets(R"re(^"((?:[^"`$\\%]|\\["`$\\]|%%)*)"$)re");
    static const QRegularExpression echappe(R"(\\(.)|%(%))");
    const QRegularExpressionMatch m = guillemets.match(exec);
    return m.hasMatch() ? m.captured(1).replace(echappe, "\\1\\2") : "<invalide>";
}

} // namespace

class TestAutostart : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        qputenv("HOME", QFile::encodeName(dir->filePath("home")));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void ecritRelitRetire_data()
    {
        QTest::addColumn<QString>("programme"); // under the temporary folder
        QTest::addColumn<bool>("accepte");
        QTest::newRow("caractères réservés") << "a$b\"c\\d%e`f'g;h/corvane" << true;
        QTest::newRow("retour à la ligne") << "a\nb/corvane" << false;
    }

    void ecritRelitRetire()
    {
        QFETCH(QString, programme);
        QFETCH(bool, accepte);
        const QString exe = dir->filePath(programme);
        QVERIFY(QDir().mkpath(QFileInfo(exe).absolutePath()) && test::ecrit(exe, {}));
        QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString entree = dir->filePath("home/.config/autostart/corvane.desktop");
        QCOMPARE(cheminAutostart(), entree);

        const Resultat on = activeAutostart(true, exe);
        QVERIFY2(on.ok == accepte && on.raison.isEmpty() == accepte, qPrintable(on.raison));
        QCOMPARE(autostartActif(), accepte);
        if (!accepte) {
            QVERIFY(!QFileInfo::exists(entree));
            return;
        }
        QCOMPARE(argumentUnique(cle(entree, "Exec")), exe);
        QCOMPARE(cle(entree, "TryExec"), exe);
        QProcess valide;
        valide.start("desktop-file-validate", {entree});
        QVERIFY2(valide.waitForFinished(), "desktop-file-validate (desktop-file-utils) missing");
        QVERIFY2(valide.exitCode() == 0, valide.readAllStandardOutput().constData());

        QVERIFY(activeAutostart(false, exe).ok);
        QVERIFY(!QFileInfo::exists(entree));
        QVERIFY(!autostartActif());
        QVERIFY(activeAutostart(false, exe).ok); // already off
    }

    void actifSelonLeBureau_data()
    {
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<bool>("actif");
        QTest::newRow("coupée par GNOME")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled = false\n") << false;
        QTest::newRow("Hidden d'une autre section")
            << QByteArray("[Desktop Entry]\nExec=corvane\n[Desktop Action x]\nHidden=true\n")
            << true;
    }

    void actifSelonLeBureau()
    {
        QFETCH(QByteArray, contenu);
        QFETCH(bool, actif);
        QVERIFY(QDir().mkpath(QFileInfo(cheminAutostart()).absolutePath()));
        QVERIFY(test::ecrit(cheminAutostart(), contenu));
        QCOMPARE(autostartActif(), actif);
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
