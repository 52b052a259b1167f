#include "EmbeddedFirmwareDigest.h"
#include "IFirmwareImage.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

// The image linked into the executable is the file the build was told to
// embed, found only as "BINFILE" 104.
class TestEmbeddedImage : public QObject
{
    Q_OBJECT

private slots:
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("found");

        QTest::newRow("the image") << QByteArray("BINFILE") << 104 << true;
        QTest::newRow("other id") << QByteArray("BINFILE") << 105 << false;
        QTest::newRow("other type") << QByteArray("RCDATA") << 104 << false;
        QTest::newRow("type in other case") << QByteArray("binfile") << 104 << false;
    }

    void lookup()
    {
        QFETCH(QByteArray, type);
        QFETCH(int, id);
        QFETCH(bool, found);

        FirmwareBytes bytes;
        QCOMPARE(embeddedFirmwareImage().locate(type.constData(), id, bytes), found);
    }

    void matchesTheEmbeddedFile()
    {
        QFile file(QStringLiteral(FIRMWARE_IMAGE_FILE));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QByteArray expected = file.readAll();

        FirmwareBytes bytes;
        QVERIFY(embeddedFirmwareImage().locate("BINFILE", 104, bytes));
        QCOMPARE(qsizetype(bytes.size), expected.size());
        QVERIFY(std::memcmp(bytes.data, expected.constData(), bytes.size) == 0);
#ifdef PLACEHOLDER_IMAGE_SIZE
        QCOMPARE(bytes.size, std::size_t(PLACEHOLDER_IMAGE_SIZE));
#endif
    }

    // The digest the build recorded is that of the file it embedded, so a
    // program whose image is intact passes its check.
    void recordedDigestIsTheEmbeddedFiles()
    {
        QFile file(QStringLiteral(FIRMWARE_IMAGE_FILE));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        QCOMPARE(QByteArray(kEmbeddedFirmwareSha256),
                 QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
    }

    // The placeholder is the same for every build: a shorter image is the
    // start of a longer one, and two runs agree.
    void placeholderIsDeterministic()
    {
        QTemporaryDir dir;
        const QString shortImage = dir.filePath("short.bin");
        const QString longImage = dir.filePath("long.bin");
        QCOMPARE(QProcess::execute(QStringLiteral(GENERATOR_PATH), {shortImage, "1000"}), 0);
        QCOMPARE(QProcess::execute(QStringLiteral(GENERATOR_PATH), {longImage, "70001"}), 0);

        QFile shortFile(shortImage);
        QFile longFile(longImage);
        QVERIFY(shortFile.open(QIODevice::ReadOnly) && longFile.open(QIODevice::ReadOnly));
        const QByteArray head = shortFile.readAll();
        const QByteArray whole = longFile.readAll();
        QCOMPARE(head.size(), 1000);
        QCOMPARE(whole.size(), 70001);
        QCOMPARE(whole.left(1000), head);
        QVERIFY(head.count(head.at(0)) < head.size()); // not one repeated byte
    }

    void generatorRefusesBadSize()
    {
        QTemporaryDir dir;
        QVERIFY(QProcess::execute(QStringLiteral(GENERATOR_PATH), {dir.filePath("x.bin"), "12k"}) != 0);
        QVERIFY(!QFile::exists(dir.filePath("x.bin")));
    }
};

QTEST_GUILESS_MAIN(TestEmbeddedImage)
#include "tst_EmbeddedImage.moc"
