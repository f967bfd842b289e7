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

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

class TestPlatform : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir; // a fresh one for each test

private slots:
    void init();
    void everyByteRoundTrips();
    void windows1252Characters_data();
    void windows1252Characters();
    void outsideWindows1252_data();
    void outsideWindows1252();

    void atomicWriteReplaces();
    void atomicWriteFailureKeepsOldFile_data();
    void atomicWriteFailureKeepsOldFile();
    void fullDiskKeepsOldFile_data();
    void fullDiskKeepsOldFile();
    void ownerOnlyAccess();
    void readWholeFile_data();
    void readWholeFile();
    void singleInstance_data();
    void singleInstance();

    void valeurNumerique_data();
    void valeurNumerique();
    void arrondiBancaire_data();
    void arrondiBancaire();
    void arrondiBancaireOutOfRange();
};

void TestPlatform::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestPlatform::everyByteRoundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(char(b));
    }
    const QString text = fromAnsi(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(toAnsi(text), all);
    // One character per byte, never two bytes for the same character.
    QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);
}

void TestPlatform::windows1252Characters_data()
{
    QTest::addColumn<QByteArray>("byte");
    QTest::addColumn<QString>("character");

    // The 0x80-0x9F block where Windows-1252 and Latin-1 part (0x81 and 0x9D stay C1 controls),
    // then Latin-1 letters.
    const std::pair<uchar, char16_t> pairs[] = {{0x80, 0x20AC}, {0x8C, 0x0152}, {0x92, 0x2019},
                                                {0x9F, 0x0178}, {0x81, 0x0081}, {0x9D, 0x009D},
                                                {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF}};
    for (const auto& [byte, character] : pairs) {
        QTest::addRow("0x%02X", byte) << QByteArray(1, char(byte)) << QString(QChar(character));
    }
    QTest::newRow("words") << QByteArray("N\xB0port \xE0 d\xE9j\xE0 5\x80")
                           << QString::fromUtf8("N°port à déjà 5€");
}

void TestPlatform::windows1252Characters()
{
    QFETCH(QByteArray, byte);
    QFETCH(QString, character);
    QCOMPARE(fromAnsi(byte), character);
    QCOMPARE(toAnsi(character), byte);
}

void TestPlatform::outsideWindows1252_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("Greek") << QString::fromUtf8("αβ") << QByteArray("??");
    QTest::newRow("among 1252 letters") << QString::fromUtf8("é→à") << QByteArray("\xE9?\xE0");
    QTest::newRow("C1 control that 1252 assigns") << QString(QChar(0x0080)) << QByteArray("?");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
    QTest::newRow("one character beyond the BMP") << QString::fromUtf8("a😀b") << QByteArray("a?b");
}

void TestPlatform::outsideWindows1252()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(toAnsi(text), expected);
}

void TestPlatform::atomicWriteReplaces()
{
    const QString path = dir->filePath("ip_actu");
    QVERIFY(writeFileAtomically(path, "first\r\n").ok);
    QVERIFY(writeFileAtomically(path, "second, longer\r\n").ok);
    QVERIFY(writeFileAtomically(dir->filePath("empty"), {}).ok);

    const ReadResult r = corvane::readWholeFile(path);
    QVERIFY(r.ok);
    QCOMPARE(r.data, QByteArray("second, longer\r\n"));
    QCOMPARE(QFileInfo(dir->filePath("empty")).size(), 0);
    // Nothing but the two files: no temporary left behind.
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"empty", "ip_actu"}));
}

void TestPlatform::atomicWriteFailureKeepsOldFile_data()
{
    QTest::addColumn<QString>("target"); // relative to the temporary folder

    QTest::newRow("target is a folder") << "date.php";
    QTest::newRow("folder missing") << "missing/date.php";
}

void TestPlatform::atomicWriteFailureKeepsOldFile()
{
    QFETCH(QString, target);
    const QByteArray old = "<?php old ?>\r\n";
    QVERIFY(QDir(dir->path()).mkdir("date.php"));
    {
        QFile blocker(dir->filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QCOMPARE(blocker.write(old), old.size());
    }
    const WriteResult w = writeFileAtomically(dir->filePath(target), "<?php new ?>\r\n");
    QVERIFY(!w.ok);
    QVERIFY(!w.raison.isEmpty());
    QVERIFY(QFileInfo(dir->filePath("date.php")).isDir());
    const ReadResult r = corvane::readWholeFile(dir->filePath("blocker"));
    QVERIFY(r.ok);
    QCOMPARE(r.data, old);
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{"blocker", "date.php"}));
}

void TestPlatform::fullDiskKeepsOldFile_data()
{
    QTest::addColumn<bool>("tmpfs"); // a real full file system; else a file size limit
    QTest::addColumn<int>("size");   // of the new content
    // Small data waits in QSaveFile's buffer: the failure only comes when it is flushed.
    QTest::newRow("buffered, fails when flushed") << false << 100;
    QTest::newRow("large, fails at once") << false << (1 << 20);
    QTest::newRow("full tmpfs") << true << 8192;
}

void TestPlatform::fullDiskKeepsOldFile()
{
    QFETCH(bool, tmpfs);
    QFETCH(int, size);
    QString folder = dir->path();
    if (tmpfs) {
        if (::geteuid() != 0) {
            QSKIP("mounting a tmpfs needs root");
        }
        folder = dir->filePath("tmpfs");
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
    const QString path = folder + "/date.php";
    const QByteArray old = "<?php old ?>\r\n";
    QVERIFY(writeFileAtomically(path, old).ok);
    WriteResult w;
    if (tmpfs) {
        QFile filler(folder + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'f')) > 0) {
        }
        w = writeFileAtomically(path, QByteArray(size, 'n'));
    } else {
        test::FileSizeLimit full(16);
        w = writeFileAtomically(path, QByteArray(size, 'n'));
    }
    QVERIFY(!w.ok);
    QVERIFY(!w.raison.isEmpty());
    const ReadResult r = corvane::readWholeFile(path);
    QCOMPARE(r.data, old);
    // No temporary file left behind: only the page (and the filler).
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), tmpfs ? 2 : 1);
}

void TestPlatform::ownerOnlyAccess()
{
    const QString path = dir->filePath("secret.cfg");
    auto mode = [&] {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 0777) : 0;
    };
    QVERIFY(writeFileAtomically(path, "a", FileAccess::OwnerOnly).ok);
    QCOMPARE(mode(), 0600u);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    QVERIFY(writeFileAtomically(path, "b", FileAccess::OwnerOnly).ok);
    QCOMPARE(mode(), 0600u);
    // A plain rewrite keeps the mode the owner chose.
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    QVERIFY(writeFileAtomically(path, "c").ok);
    QCOMPARE(mode(), 0640u);
}

void TestPlatform::readWholeFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("whole file") << "ten" << qint64(100) << true << false
                                << QByteArray("0123456789");
    QTest::newRow("exactly the limit")
        << "ten" << qint64(10) << true << false << QByteArray("0123456789");
    QTest::newRow("over the limit") << "ten" << qint64(9) << false << false << QByteArray();
    QTest::newRow("empty file") << "empty" << qint64(100) << true << false << QByteArray();
    QTest::newRow("missing") << "nothing" << qint64(100) << false << true << QByteArray();
    QTest::newRow("folder") << "folder" << qint64(100) << false << false << QByteArray();
    QTest::newRow("link to a file")
        << "link" << qint64(100) << true << false << QByteArray("0123456789");
    // Their size reads as 0: trusting it would read without end, or wait for a writer.
    QTest::newRow("FIFO") << "fifo" << qint64(100) << false << false << QByteArray();
    QTest::newRow("link to /dev/zero") << "zero" << qint64(100) << false << false << QByteArray();
}

void TestPlatform::readWholeFile()
{
    QFETCH(QString, name);
    QFETCH(qint64, maxBytes);
    QFETCH(bool, ok);
    QFETCH(bool, missing);
    QFETCH(QByteArray, data);
    QVERIFY(writeFileAtomically(dir->filePath("ten"), "0123456789").ok);
    QVERIFY(writeFileAtomically(dir->filePath("empty"), {}).ok);
    QVERIFY(QDir(dir->path()).mkdir("folder"));
    QVERIFY(QFile::link(dir->filePath("ten"), dir->filePath("link")));
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

    QTest::newRow("runtime folder") << true << ""
                                    << "run";
    QTest::newRow("no runtime folder: the user's cache, not /tmp") << false << ""
                                                                   << "home/.cache/corvane";
    QTest::newRow("link planted under the lock's name") << true << "link"
                                                        << "home/.cache/corvane";
    QTest::newRow("lock file of another user") << true << "foreign"
                                               << "home/.cache/corvane";
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
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(dir->filePath(lockFolder)).constData(), &st), 0);
        QCOMPARE(st.st_mode & 077, 0u);
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

    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks then digits then letters") << "  12abc" << 12.0;
    QTest::newRow("CR LF") << "\r\n81" << 81.0;
    QTest::newRow("negative") << "-3" << -3.0;
    QTest::newRow("fraction") << "1.5" << 1.5;
    QTest::newRow("address") << "81.2.3.4" << 81.2;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("blank after sign") << "- 3" << 0.0;
    QTest::newRow("exponent is not read") << "1e5" << 1.0;
    QTest::newRow("no-break space is not skipped") << QString(QChar(0xA0)) + "9" << 0.0;
    QTest::newRow("20 digits") << "12345678901234567890" << 12345678901234567890.0;
    QTest::newRow("300 digits") << "1" + QString(300, u'0') << 1e300;
    QTest::newRow("400 digits") << "1" + QString(400, u'0') << 0.0;
    QTest::newRow("400 fraction digits") << "2." + QString(400, u'5') << 2.5555555555555555;
}

void TestPlatform::valeurNumerique()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double got = corvane::valeurNumerique(text);
    if (expected == 0) {
        QCOMPARE(got, 0.0);
    } else {
        QVERIFY2(std::abs(got - expected) <= std::abs(expected) * 1e-12,
                 qPrintable(QString::number(got, 'g', 17)));
    }
}

void TestPlatform::arrondiBancaire_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected");

    const std::pair<double, qint64> pairs[] = {{0.5, 0},     {1.5, 2},     {2.5, 2},  {-1.5, -2},
                                               {254.5, 254}, {255.5, 256}, {1.51, 2}, {-2.6, -3}};
    for (const auto& [value, expected] : pairs) {
        QTest::addRow("%g", value) << value << expected;
    }
}

void TestPlatform::arrondiBancaire()
{
    QFETCH(double, value);
    QFETCH(qint64, expected);
    QCOMPARE(corvane::arrondiBancaire(value), expected);
}

void TestPlatform::arrondiBancaireOutOfRange()
{
    // A settings value of 300 digits must not reach an out-of-range integer conversion.
    QVERIFY(corvane::arrondiBancaire(1e300) > 1'000'000'000'000'000LL);
    QVERIFY(corvane::arrondiBancaire(-1e300) < -1'000'000'000'000'000LL);
    QVERIFY(corvane::arrondiBancaire(corvane::valeurNumerique(QString(40, u'9'))) > 0);
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
