// The small helpers every module leans on: the Windows-1252 codec, atomic file writes, and
// reading numbers the way the settings and the detection answer are read.

#include "config/numbers.h"
#include "platform/atomicfile.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

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
    void ownerOnlyAccess();
    void readWholeFile_data();
    void readWholeFile();

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
    const std::pair<uchar, char16_t> pairs[] = {
        {0x80, 0x20AC}, {0x82, 0x201A}, {0x85, 0x2026}, {0x8A, 0x0160}, {0x8C, 0x0152},
        {0x92, 0x2019}, {0x96, 0x2013}, {0x99, 0x2122}, {0x9C, 0x0153}, {0x9F, 0x0178},
        {0x81, 0x0081}, {0x9D, 0x009D}, {0xA0, 0x00A0}, {0xB0, 0x00B0}, {0xE0, 0x00E0},
        {0xE9, 0x00E9}, {0xFF, 0x00FF}};
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
    QTest::newRow("Cyrillic") << QString::fromUtf8("Жx") << QByteArray("?x");
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
    QTest::newRow("folder is a file") << "blocker/date.php";
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
    QVERIFY(!w.error.isEmpty());
    QVERIFY(QFileInfo(dir->filePath("date.php")).isDir());
    const ReadResult r = corvane::readWholeFile(dir->filePath("blocker"));
    QVERIFY(r.ok);
    QCOMPARE(r.data, old);
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{"blocker", "date.php"}));
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

    const ReadResult r = corvane::readWholeFile(dir->filePath(name), maxBytes);
    QCOMPARE(r.ok, ok);
    QCOMPARE(r.missing, missing);
    QCOMPARE(r.data, data);
    QCOMPARE(r.error.isEmpty(), ok);
}

void TestPlatform::valeurNumerique_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks then digits then letters") << "  12abc" << 12.0;
    QTest::newRow("tab") << "\t5" << 5.0;
    QTest::newRow("line feed") << "\n7" << 7.0;
    QTest::newRow("CR LF") << "\r\n81" << 81.0;
    QTest::newRow("negative") << "-3" << -3.0;
    QTest::newRow("plus sign") << "+4" << 4.0;
    QTest::newRow("fraction") << "1.5" << 1.5;
    QTest::newRow("fraction without integer part") << ".5" << 0.5;
    QTest::newRow("negative fraction") << "-0.5" << -0.5;
    QTest::newRow("twips") << "1440" << 1440.0;
    QTest::newRow("negative twips") << "-15360" << -15360.0;
    QTest::newRow("address of zeros") << "0.0.0.0" << 0.0;
    QTest::newRow("address") << "81.2.3.4" << 81.2;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
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

    const std::pair<double, qint64> pairs[] = {{0.5, 0},  {1.5, 2},   {2.5, 2},     {3.5, 4},
                                               {-0.5, 0}, {-1.5, -2}, {255.5, 256}, {254.5, 254},
                                               {0.49, 0}, {1.51, 2},  {-2.6, -3},   {7.0, 7}};
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
