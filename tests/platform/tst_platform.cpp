// The codec, atomic writes, safe reading, the single-instance lock and the autostart entry.

#include "platform/atomicfile.h"
#include "platform/autostart.h"
#include "platform/fullfile.h"
#include "platform/singleinstance.h"
#include "platform/textcodec.h"
#include "support/fichiers.h"

#include <QtTest>

#include <memory>
#include <numeric>

#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

// A key's value, its backslash escape undone (control characters are refused before).
QString cle(const QString& chemin, const QString& nom)
{
    const QString texte = QString::fromUtf8(test::lit(chemin));
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

class TestPlatform : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir; // a fresh one for each test

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        qputenv("HOME", QFile::encodeName(dir->filePath("home")));
        qunsetenv("XDG_CONFIG_HOME");
    }

    // 0x80-0x9F is where Windows-1252 and Latin-1 part; outside the code page is one "?".
    void windows1252()
    {
        QCOMPARE(toAnsi(QStringLiteral("\u20AC\u0081\u00E9 αβ a😀b")),
                 QByteArray("\x80\x81\xE9 ?? a?b"));
        QByteArray all(256, 0);
        std::iota(all.begin(), all.end(), char(0));
        const QString t = fromAnsi(all);
        QCOMPARE(t.mid(0x80, 2) + t[0xE9], QStringLiteral("\u20AC\u0081\u00E9"));
        QCOMPARE(toAnsi(t), all);
    }

    void atomicWrite_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("limit"); // the size a file may reach during the write
        QTest::addColumn<bool>("ok");
        QTest::newRow("replaces") << "date.php" << (1 << 30) << true;
        QTest::newRow("target is a folder") << "folder" << (1 << 30) << false;
        // Small data waits in QSaveFile's buffer: it fails only when flushed, as on a full disk.
        QTest::newRow("buffered, fails when flushed") << "date.php" << 16 << false;
    }

    // The old file is replaced whole or left as it was, and no temporary file is left behind.
    // A file for the owner only comes out 0600 over an old one of 0644.
    void atomicWrite()
    {
        QFETCH(QString, target);
        QFETCH(int, limit);
        QFETCH(bool, ok);
        const QString path = dir->filePath(target);
        const QByteArray old = "<?php old ?>\r\n";
        QVERIFY(QDir(dir->path()).mkdir("folder"));
        QVERIFY(target == u"folder" || (writeFileAtomically(path, old).ok &&
                                        ::chmod(QFile::encodeName(path).constData(), 0644) == 0));
        const QStringList before = QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden);
        const QByteArray data(100, 'n');
        WriteResult w;
        {
            const test::FileSizeLimit full(limit);
            w = writeFileAtomically(path, data, FileAccess::OwnerOnly);
        }
        QCOMPARE(w.ok, ok);
        QCOMPARE(w.raison.isEmpty(), ok);
        QVERIFY(target == u"folder" || readWholeFile(path).data == (ok ? data : old));
        QCOMPARE(modeOf(path) == 0600u, ok); // a failed write leaves the old mode too
        QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    }

    // Their size reads as 0: trusting it would read without end, or wait for a writer.
    void readOddFiles()
    {
        QVERIFY(QFile::link("/dev/zero", dir->filePath("zero")));
        QCOMPARE(::mkfifo(QFile::encodeName(dir->filePath("fifo")).constData(), 0600), 0);
        for (const char* name : {"zero", "fifo"}) {
            QElapsedTimer t;
            t.start();
            const ReadResult r = readWholeFile(dir->filePath(name), 100);
            QVERIFY(t.elapsed() < 1000);
            QVERIFY(!r.ok && !r.missing && r.data.isEmpty() && !r.raison.isEmpty());
        }
    }

    void singleInstance_data()
    {
        QTest::addColumn<QString>("planted");    // in the runtime folder under the lock's name
        QTest::addColumn<QString>("lockFolder"); // where the lock must end up
        const QString cache = "home/.cache/corvane";
        QTest::newRow("runtime folder") << QString() << QString("run");
        QTest::newRow("link planted under the lock's name") << QString("link") << cache;
        QTest::newRow("lock file of another user") << QString("foreign") << cache;
    }

    void singleInstance()
    {
        QFETCH(QString, planted);
        QFETCH(QString, lockFolder);
        if (planted == u"foreign" && ::geteuid() != 0) {
            QSKIP("giving a file to another user needs root");
        }
        const QString program = dir->filePath("program");
        QVERIFY(QDir().mkpath(program) && QDir().mkpath(dir->filePath("run")));
        QCOMPARE(::chmod(QFile::encodeName(dir->filePath("run")).constData(), 0700), 0);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir->filePath("run")));
        qunsetenv("XDG_CACHE_HOME");
        const QString name = QFileInfo(SingleInstance(program).lockPath()).fileName();
        const QString trap = dir->filePath("run/" + name);
        const QString victim = dir->filePath("victim");
        if (planted == u"link") {
            QVERIFY(QFile::link(victim, trap));
        } else if (planted == u"foreign") {
            QVERIFY(QFile(trap).open(QIODevice::WriteOnly));
            QCOMPARE(::chown(QFile::encodeName(trap).constData(), 65534, 65534), 0);
        }

        {
            SingleInstance first(program);
            QVERIFY(first.acquire());
            QCOMPARE(first.lockPath(), dir->filePath(lockFolder + "/" + name));
            QCOMPARE(modeOf(dir->filePath(lockFolder)) & 077, 0u);
            SingleInstance second(program);
            QVERIFY(!second.acquire());
            QVERIFY(second.refusal().contains(first.lockPath()));
        }
        QVERIFY(SingleInstance(program).acquire()); // the lock went with its holder
        QVERIFY(!QFileInfo::exists(victim));
    }

    void autostart_data()
    {
        QTest::addColumn<QString>("programme"); // under the temporary folder
        QTest::addColumn<bool>("accepte");
        QTest::newRow("caractères réservés") << "a$b\"c\\d%e`f'g;h/corvane" << true;
        QTest::newRow("retour à la ligne") << "a\nb/corvane" << false;
    }

    // Written where the desktop looks, read back by its rules whatever the path holds, removed.
    void autostart()
    {
        QFETCH(QString, programme);
        QFETCH(bool, accepte);
        const QString exe = dir->filePath(programme);
        QVERIFY(QDir().mkpath(QFileInfo(exe).absolutePath()) && test::ecrit(exe, {}));
        QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString entree = dir->filePath("home/.config/autostart/corvane.desktop");
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
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
