#include "CBoardSimProcess.h"
#include "DeviceDescriptor.h"
#include "FirmwareDownload.h"
#include "CMemoryFirmwareImage.h"
#include "CShortTimeoutTransport.h"

#include <QTest>

#include <cstring>
#include <numeric>

namespace {

// The connection as burnFirmware makes it, but keeping the download's own
// result so a refusal and a wrong sum can be told apart.
int connectAndDownload(ITransport &transport, const std::string &path, IFirmwareImage &image)
{
    uint32_t handle = 0;
    if (transport.commOpen(path.c_str(), 0, &handle, 0, 26214) != 0)
        return -100;
    uint8_t option = 1;
    if (transport.commConnect(handle, 66, &option, 0, 0) != 0) {
        transport.commClose(handle);
        return -101;
    }
    const int result = downloadImage(handle, DownloadContext{transport, image, {}});
    transport.commDisconnect(handle);
    transport.commClose(handle);
    return result;
}

} // namespace

// Downloads through the real transport library to the board simulator.
class TestBoardDownload : public QObject
{
    Q_OBJECT

private slots:
    // The full-size embedded image arrives byte for byte, through the same
    // calls the burn thread makes.
    void fullImage()
    {
        CBoardSimProcess board;
        const QString saved = board.directory() + "/received.bin";
        QVERIFY(board.start({"--save", saved}));

        const std::string descriptor = formatDeviceDescriptor("VELVANE SIM-1", board.linkPath().toStdString());
        int reports = 0;
        const DownloadContext context{libraryTransport(), embeddedFirmwareImage(), [&reports] { ++reports; }};
        const QStringList before = openDescriptors();
        QCOMPARE(burnFirmware(descriptor, context), kBurnSucceeded);
        QCOMPARE(openDescriptors(), before);
        QCOMPARE(reports, 0);

        FirmwareBytes image;
        QVERIFY(embeddedFirmwareImage().locate("BINFILE", 104, image));
        const uint32_t sum = std::accumulate(image.data, image.data + image.size, 0u);
        QCOMPARE(board.waitForLine("DOWNLOAD ", 10000), downloadAcceptedLine(image.size, sum));
        const QByteArray received = fileContents(saved);
        QCOMPARE(received.size(), qsizetype(image.size));
        QVERIFY(std::memcmp(received.constData(), image.data, image.size) == 0);
    }

    void boardFaults_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("arrives");

        QTest::newRow("big-endian board") << QStringList{"--byte-order", "big"} << kDownloadOk << true;
        QTest::newRow("small packets") << QStringList{"--max-packet", "1000"} << kDownloadOk << true;
        QTest::newRow("small packets, big-endian") << QStringList{"--max-packet", "517", "--byte-order", "big"} << kDownloadOk
                                                   << true;
        QTest::newRow("throttled line") << QStringList{"--rate", "400000"} << kDownloadOk << true;
        QTest::newRow("no room for data") << QStringList{"--max-packet", "16"} << kDownloadRefused << false;
        QTest::newRow("later packet refused") << QStringList{"--refuse-packet", "3"} << kDownloadRefused << false;
        QTest::newRow("wrong sum") << QStringList{"--wrong-sum"} << kDownloadSumMismatch << true;
        QTest::newRow("stops answering") << QStringList{"--stop-at-packet", "2"} << kDownloadRefused << false;
        QTest::newRow("cable pulled") << QStringList{"--vanish-at-packet", "2"} << kDownloadRefused << false;
        // 20000 bytes in packets of 4096: five packets.
        QTest::newRow("packet answered twice") << QStringList{"--double-reply", "2"} << kDownloadRefused << false;
        // The reply's first 16 bytes decide, whatever else the library hands out.
        QTest::newRow("last answer one byte too long") << QStringList{"--long-reply", "5"} << kDownloadOk << true;
        QTest::newRow("first answer one byte short") << QStringList{"--short-reply", "1"} << kDownloadOk << true;
        // The sum's last byte never arrived, so it cannot confirm the image.
        QTest::newRow("last answer one byte short") << QStringList{"--short-reply", "5"} << kDownloadSumMismatch << true;
    }

    void boardFaults()
    {
        QFETCH(QStringList, options);
        QFETCH(int, result);
        QFETCH(bool, arrives);

        CBoardSimProcess board;
        const QString saved = board.directory() + "/received.bin";
        QVERIFY(board.start(QStringList{"--save", saved, "--max-packet", "4096"} + options));

        const std::vector<uint8_t> bytes = CMemoryFirmwareImage::patternBytes(20000, 11);
        CMemoryFirmwareImage image(bytes);
        CShortTimeoutTransport transport(500);
        const QStringList before = openDescriptors();
        QCOMPARE(connectAndDownload(transport, board.linkPath().toStdString(), image), result);
        QCOMPARE(openDescriptors(), before);
        if (arrives) {
            QVERIFY(fileContents(saved) == QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size())));
        }
    }
};

QTEST_GUILESS_MAIN(TestBoardDownload)
#include "tst_BoardDownload.moc"
