// The codec, atomic writes, safe reading, the single-instance lock and the number reader.

#include "config/numbers.h"
#include "platform/atomicfile.h"
#include "platform/fullfile.h"
#include "platform/singleinstance.h"
#include "platform/textcodec.h"

#include <QtTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
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
    }

    // 0x80-0x9F is where Windows-1252 and Latin-1 part; 0x81 stays a C1 control, and a
    // character outside the code page is one "?", beyond the BMP too.
    void windows1252()
    {
        QCOMPARE(toAnsi(QStringLiteral("\u20AC\u0081\u00E9 αβ a😀b")),
                 QByteArray("\x80\x81\xE9 ?? a?b"));
        QByteArray all;
        for (int b = 0; b < 256; ++b) {
            all.append(char(b));
        }
        const QString t = fromAnsi(all);
        QCOMPARE(t.mid(0x80, 2) + t[0xE9], QStringLiteral("\u20AC\u0081\u00E9"));
        QCOMPARE(QSet<QChar>(t.begin(), t.end()).size(), 256);
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
    void atomicWrite()
    {
        QFETCH(QString, target);
        QFETCH(int, limit);
        QFETCH(bool, ok);
        const QString path = dir->filePath(target);
        const QByteArray old = "<?php old ?>\r\n";
        QVERIFY(QDir(dir->path()).mkdir("folder"));
        QVERIFY(target == u"folder" || writeFileAtomically(path, old).ok);
        const QStringList before = QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden);
        const QByteArray data(100, 'n');
        WriteResult w;
        {
            const test::FileSizeLimit full(limit);
            w = writeFileAtomically(path, data);
        }
        QCOMPARE(w.ok, ok);
        QCOMPARE(w.raison.isEmpty(), ok);
        QVERIFY(target == u"folder" || readWholeFile(path).data == (ok ? data : old));
        QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    }

    void ownerOnlyAccess()
    {
        const QString path = dir->filePath("secret.cfg");
        QVERIFY(writeFileAtomically(path, "a", FileAccess::OwnerOnly).ok);
        QCOMPARE(modeOf(path), 0600u);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0644), 0);
        QVERIFY(writeFileAtomically(path, "b", FileAccess::OwnerOnly).ok);
        QCOMPARE(modeOf(path), 0600u);
        // A plain rewrite keeps the mode the owner chose.
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0640), 0);
        QVERIFY(writeFileAtomically(path, "c").ok);
        QCOMPARE(modeOf(path), 0640u);
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
        qputenv("HOME", QFile::encodeName(dir->filePath("home")));
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
        QCOMPARE(QFileInfo(trap).isSymLink(), planted == u"link");
    }

    void nombres_data()
    {
        QTest::addColumn<QString>("texte");
        QTest::addColumn<double>("valeur");  // as read
        QTest::addColumn<qint64>("arrondi"); // of valeur; ±1: anything beyond ±10^15 of that sign
        QTest::newRow("blanks then digits then letters") << "  12abc" << 12.0 << qint64(12);
        QTest::newRow("address") << "81.2.3.4" << 81.2 << qint64(81);
        QTest::newRow("exponent is not read") << "1e5" << 1.0 << qint64(1);
        QTest::newRow("400 digits") << "1" + QString(400, u'0') << 0.0 << qint64(0);
        QTest::newRow("tie, up to even") << "1.5" << 1.5 << qint64(2);
        // A settings value of 300 digits must not reach an out-of-range integer conversion.
        QTest::newRow("300 digits") << "1" + QString(300, u'0') << 1e300 << qint64(1);
        QTest::newRow("-300 digits") << "-1" + QString(300, u'0') << -1e300 << qint64(-1);
    }

    void nombres()
    {
        QFETCH(QString, texte);
        QFETCH(double, valeur);
        QFETCH(qint64, arrondi);
        const double lu = valeurNumerique(texte);
        QVERIFY2(std::abs(lu - valeur) <= std::abs(valeur) * 1e-12,
                 qPrintable(QString::number(lu, 'g', 17)));
        const qint64 got = arrondiBancaire(valeur);
        QVERIFY2(std::abs(valeur) <= 1e15 ? got == arrondi
                                          : got / 1'000'000'000'000'000LL * arrondi > 0,
                 qPrintable(QString::number(got)));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
