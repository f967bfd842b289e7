// The small helpers every module leans on: the Windows-1252 codec, atomic file writes, safe
// reading, the single-instance lock, and reading numbers the way the settings and the
// detection answer are read.

#include "config/numbers.h"
#include "platform/atomicfile.h"
#include "platform/fullfile.h"
#include "platform/singleinstance.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/mount.h>
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
    void windows1252_data();
    void windows1252();

    void atomicWrite_data();
    void atomicWrite();
    void ownerOnlyAccess();
    void readWholeFile_data();
    void readWholeFile();
    void singleInstance_data();
    void singleInstance();

    void valeurNumerique_data();
    void valeurNumerique();
    void arrondiBancaire_data();
    void arrondiBancaire();
};

void TestPlatform::windows1252_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("both"); // the bytes also read back as the text

    // The 0x80-0x9F block where Windows-1252 and Latin-1 part (0x81 and 0x9D stay C1 controls),
    // then Latin-1 letters.
    const std::pair<uchar, char16_t> pairs[] = {{0x80, 0x20AC}, {0x81, 0x0081}, {0xE9, 0x00E9}};
    for (const auto& [byte, character] : pairs) {
        QTest::addRow("0x%02X", byte)
            << QByteArray(1, char(byte)) << QString(QChar(character)) << true;
    }
    // Outside the code page: "?".
    QTest::newRow("Greek") << QByteArray("??") << QString::fromUtf8("αβ") << false;
    QTest::newRow("beyond the BMP") << QByteArray("a?b") << QString::fromUtf8("a😀b") << false;
}

void TestPlatform::windows1252()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, both);
    QCOMPARE(toAnsi(text), bytes);
    if (both) {
        QCOMPARE(fromAnsi(bytes), text);
    }
    // Every byte is one character of its own, and comes back.
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(char(b));
    }
    const QString t = fromAnsi(all);
    QCOMPARE(QSet<QChar>(t.begin(), t.end()).size(), 256);
    QCOMPARE(toAnsi(t), all);
}

void TestPlatform::atomicWrite_data()
{
    QTest::addColumn<QString>("target"); // "folder" is a folder, "tmpfs/" a full file system
    QTest::addColumn<int>("limit");      // a file size limit during the write; 0: none
    QTest::addColumn<int>("size");       // of the new content
    QTest::newRow("replaces") << "date.php" << 0 << 100;
    QTest::newRow("target is a folder") << "folder" << 0 << 100;
    // Small data waits in QSaveFile's buffer: the failure only comes when it is flushed.
    QTest::newRow("buffered, fails when flushed") << "date.php" << 16 << 100;
    QTest::newRow("full tmpfs") << "tmpfs/date.php" << 0 << 8192;
}

// The old file is replaced whole or left as it was, and no temporary file is left behind.
void TestPlatform::atomicWrite()
{
    QFETCH(QString, target);
    QFETCH(int, limit);
    QFETCH(int, size);
    const QString path = dir->filePath(target);
    const QString folder = QFileInfo(path).absolutePath();
    QVERIFY(QDir(dir->path()).mkdir("folder"));
    const bool tmpfs = target.startsWith("tmpfs/");
    if (tmpfs) {
        if (::geteuid() != 0) {
            QSKIP("mounting a tmpfs needs root");
        }
        QVERIFY(QDir().mkdir(folder));
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0) {
            QSKIP(qPrintable(QStringLiteral("tmpfs not mounted: ") + std::strerror(errno)));
        }
    }
    const auto unmount = qScopeGuard([&] {
        if (tmpfs) {
            ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
        }
    });
    const QByteArray old = "<?php old ?>\r\n";
    const bool oldFile = QFileInfo(folder).isDir() && target != u"folder";
    QVERIFY(!oldFile || writeFileAtomically(path, old).ok);
    if (tmpfs) {
        QFile filler(folder + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'f')) > 0) {
        }
    }
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);
    const bool ok = limit == 0 && !tmpfs && oldFile;
    WriteResult w;
    {
        std::optional<test::FileSizeLimit> full;
        if (limit > 0) {
            full.emplace(limit);
        }
        w = writeFileAtomically(path, QByteArray(size, 'n'));
    }
    QCOMPARE(w.ok, ok);
    QCOMPARE(w.raison.isEmpty(), ok);
    if (oldFile) {
        QCOMPARE(corvane::readWholeFile(path).data, ok ? QByteArray(size, 'n') : old);
    }
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), before);
}

void TestPlatform::ownerOnlyAccess()
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

void TestPlatform::readWholeFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QByteArray>("data");
    const auto row = [](const char* nom, const char* name, qint64 max, bool ok, bool missing,
                        const char* data) {
        QTest::newRow(nom) << name << max << ok << missing << QByteArray(data);
    };
    row("whole file", "ten", 100, true, false, "0123456789");
    row("over the limit", "ten", 9, false, false, "");
    row("missing", "nothing", 100, false, true, "");
    // Their size reads as 0: trusting it would read without end, or wait for a writer.
    row("FIFO", "fifo", 100, false, false, "");
    row("link to /dev/zero", "zero", 100, false, false, "");
}

void TestPlatform::readWholeFile()
{
    QFETCH(QString, name);
    QFETCH(qint64, maxBytes);
    QFETCH(bool, ok);
    QFETCH(bool, missing);
    QFETCH(QByteArray, data);
    QVERIFY(writeFileAtomically(dir->filePath("ten"), "0123456789").ok);
    QVERIFY(QFile::link("/dev/zero", dir->filePath("zero")));
    QCOMPARE(::mkfifo(QFile::encodeName(dir->filePath("fifo")).constData(), 0600), 0);

    QElapsedTimer t;
    t.start();
    const ReadResult r = corvane::readWholeFile(dir->filePath(name), maxBytes);
    QVERIFY(t.elapsed() < 1000);
    QCOMPARE(r.ok, ok);
    QCOMPARE(r.missing, missing);
    QCOMPARE(r.data, data);
    QCOMPARE(r.raison.isEmpty(), ok);
}

void TestPlatform::singleInstance_data()
{
    QTest::addColumn<bool>("runtime");       // XDG_RUNTIME_DIR set (else only HOME)
    QTest::addColumn<QString>("planted");    // in the runtime folder under the lock's name
    QTest::addColumn<QString>("lockFolder"); // where the lock must end up
    const char* cache = "home/.cache/corvane";
    QTest::newRow("runtime folder") << true << ""
                                    << "run";
    QTest::newRow("link planted under the lock's name") << true << "link" << cache;
    QTest::newRow("lock file of another user") << true << "foreign" << cache;
}

void TestPlatform::singleInstance()
{
    QFETCH(bool, runtime);
    QFETCH(QString, planted);
    QFETCH(QString, lockFolder);
    if (planted == u"foreign" && ::geteuid() != 0) {
        QSKIP("giving a file to another user needs root");
    }
    const QByteArray names[] = {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "HOME"};
    QList<QByteArray> saved;
    for (const QByteArray& n : names) {
        saved.append(qgetenv(n.constData()));
    }
    const auto restore = qScopeGuard([&] {
        for (int i = 0; i < 3; ++i) {
            qputenv(names[i].constData(), saved[i]);
        }
    });
    QVERIFY(QDir(dir->path()).mkpath("run"));
    QCOMPARE(::chmod(QFile::encodeName(dir->filePath("run")).constData(), 0700), 0);
    qputenv("XDG_RUNTIME_DIR", runtime ? QFile::encodeName(dir->filePath("run")) : QByteArray());
    qunsetenv("XDG_CACHE_HOME");
    qputenv("HOME", QFile::encodeName(dir->filePath("home")));

    const QString program = dir->filePath("program");
    QVERIFY(QDir().mkpath(program));
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

void TestPlatform::valeurNumerique_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("blanks then digits then letters") << "  12abc" << 12.0;
    QTest::newRow("address") << "81.2.3.4" << 81.2;
    QTest::newRow("exponent is not read") << "1e5" << 1.0;
    QTest::newRow("400 digits") << "1" + QString(400, u'0') << 0.0;
}

void TestPlatform::valeurNumerique()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double got = corvane::valeurNumerique(text);
    QVERIFY2(std::abs(got - expected) <= std::abs(expected) * 1e-12,
             qPrintable(QString::number(got, 'g', 17)));
}

void TestPlatform::arrondiBancaire_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected"); // ±1: anything beyond ±10^15 of that sign

    const std::pair<double, qint64> pairs[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-1.5, -2}, {1.51, 2}};
    for (const auto& [value, expected] : pairs) {
        QTest::addRow("%g", value) << value << expected;
    }
    // A settings value of 300 digits must not reach an out-of-range integer conversion.
    QTest::newRow("1e300") << 1e300 << qint64(1);
    QTest::newRow("-1e300") << -1e300 << qint64(-1);
}

void TestPlatform::arrondiBancaire()
{
    QFETCH(double, value);
    QFETCH(qint64, expected);
    const qint64 got = corvane::arrondiBancaire(value);
    if (std::abs(value) > 1e15) {
        QVERIFY2(expected > 0 ? got > 1'000'000'000'000'000LL : got < -1'000'000'000'000'000LL,
                 qPrintable(QString::number(got)));
    } else {
        QCOMPARE(got, expected);
    }
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
