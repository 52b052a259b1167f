#include "DeviceLog.h"
#include "FirmwareDownload.h"
#include "HexDiff.h"
#include "CMemoryFirmwareImage.h"
#include "CRecordingTransport.h"

#include <QTest>

#include <algorithm>
#include <numeric>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kDescriptor[] = "VELVANE SIM-1 (/dev/parvel/board0 : 0)";

void put(std::vector<uint8_t> &bytes, std::size_t at, uint32_t value, int width, bool littleEndian)
{
    for (int i = 0; i < width; ++i)
        bytes[at + std::size_t(littleEndian ? i : width - 1 - i)] = uint8_t(value >> (8 * i));
}

uint32_t byteSum(const std::vector<uint8_t> &bytes)
{
    return std::accumulate(bytes.begin(), bytes.end(), 0u);
}

// A request as it must appear on the wire.
std::vector<uint8_t> request(const std::vector<uint8_t> &data, bool last, uint32_t checksum, bool littleEndian)
{
    std::vector<uint8_t> bytes{'T', 'B', 0xFF, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put(bytes, 6, last ? 0xFFFF : 0, 2, littleEndian);
    put(bytes, 8, uint32_t(data.size()), 4, littleEndian);
    put(bytes, 12, checksum, 4, littleEndian);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

QStringList texts(const std::vector<std::string> &lines)
{
    QStringList all;
    for (const std::string &line : lines)
        all << QString::fromStdString(line);
    return all;
}

int countOf(const CRecordingTransport &transport, const char *call)
{
    int n = 0;
    for (const std::string &text : transport.callTexts())
        n += text.rfind(call, 0) == 0;
    return n;
}

// The call lines of a connection with handle 23063 that gets this far.
const QString kOpen = "CommOpen(/dev/parvel/board0, 0, *handle=0, 0, 26214)";
const QString kConnect = "CommConnect(23063, 66, *options=1, 0, 0)";
const QString kLargest = "CommGetOption(23063, 1)";
const QString kOrder = "CommGetOption(23063, 16, *value=1)";
const QString kReceive = "CommReceiveData(23063, *length=16, *more=0, *status=0)";
const QString kDisconnect = "CommDisconnect(23063)";
const QString kClose = "CommClose(23063)";

// The device layer's log while it lives: a failed update must name the
// step that failed.
class CLogCapture
{
public:
    CLogCapture()
    {
        setDeviceLogSink([this](DeviceLogLevel, const std::string &line) { m_lines << QString::fromStdString(line); });
    }
    ~CLogCapture() { setDeviceLogSink({}); }
    bool contains(const QByteArray &text) const
    {
        return std::any_of(m_lines.begin(), m_lines.end(), [&](const QString &line) { return line.contains(text); });
    }
    QString all() const { return m_lines.join('\n'); }

private:
    QStringList m_lines;
};

// An image that claims more bytes than it holds: the download must give up
// before it reads any of them.
class COverlargeImage final : public IFirmwareImage
{
public:
    bool locate(const char *, int, FirmwareBytes &bytes) override
    {
        static const uint8_t kFew[16] = {};
        bytes.data = kFew;
        bytes.size = std::size_t(2) << 30;
        return true;
    }
};

} // namespace

class TestFirmwareDownload : public QObject
{
    Q_OBJECT

private slots:
    void burnSequence_data()
    {
        QTest::addColumn<QByteArray>("descriptor");
        QTest::addColumn<int>("openResult");
        QTest::addColumn<int>("connectResult");
        QTest::addColumn<bool>("imageMissing");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("missingReports");
        QTest::addColumn<QByteArray>("logged");

        const QString send = "CommSendData(23063, 116, 66, 1)";
        QTest::newRow("success") << QByteArray(kDescriptor) << 0 << 0 << false << kBurnSucceeded
                                 << QStringList{kOpen, kConnect, kLargest, kOrder, send, kReceive, kDisconnect, kClose}
                                 << 0 << QByteArray("update succeeded after");
        QTest::newRow("other port passed on") << QByteArray("P (/dev/parvel/board0 : 7)") << 0 << 0 << false << kBurnSucceeded
                                              << QStringList{"CommOpen(/dev/parvel/board0, 7, *handle=0, 0, 26214)",
                                                             kConnect, kLargest, kOrder, send, kReceive, kDisconnect,
                                                             kClose}
                                              << 0 << QByteArray("update succeeded after");
        QTest::newRow("empty descriptor") << QByteArray() << 0 << 0 << false << kBurnFailed << QStringList{} << 0 << QByteArray("cannot be read");
        // A board's name is whatever it sent; a line break in it must not forge a log line.
        QTest::newRow("line break in the name") << QByteArray("VELVANE\n12:00:00.000 tiskarupd.device info: update succeeded (/dev/parvel/board0 : 0)")
                                                << 0 << 0 << false << kBurnSucceeded
                                                << QStringList{kOpen, kConnect, kLargest, kOrder, send, kReceive, kDisconnect, kClose}
                                                << 0 << QByteArray("update of VELVANE\\x0a12:00:00.000 tiskarupd.device info: update succeeded (");
        QTest::newRow("unparseable descriptor") << QByteArray("VELVANE SIM-1") << 0 << 0 << false << kBurnFailed
                                                << QStringList{} << 0 << QByteArray("cannot be read");
        QTest::newRow("overlong path") << QByteArray("P (/" + QByteArray(300, 'p') + " : 0)") << 0 << 0 << false << kBurnFailed
                                       << QStringList{} << 0 << QByteArray("cannot be read");
        QTest::newRow("open fails") << QByteArray(kDescriptor) << 2 << 0 << false << kBurnFailed << QStringList{kOpen} << 0 << QByteArray("CommOpen(/dev/parvel/board0, port 0) failed with result 2");
        QTest::newRow("connect fails") << QByteArray(kDescriptor) << 0 << 2 << false << kBurnFailed
                                       << QStringList{kOpen, kConnect, kClose} << 0 << QByteArray("CommConnect failed with result 2");
        QTest::newRow("image missing") << QByteArray(kDescriptor) << 0 << 0 << true << kBurnFailed
                                       << QStringList{kOpen, kConnect, kDisconnect, kClose} << 1 << QByteArray("BINFILE 104 not found");
    }

    void burnSequence()
    {
        QFETCH(QByteArray, descriptor);
        QFETCH(int, openResult);
        QFETCH(int, connectResult);
        QFETCH(bool, imageMissing);
        QFETCH(int, result);
        QFETCH(QStringList, calls);
        QFETCH(int, missingReports);
        QFETCH(QByteArray, logged);

        CLogCapture log;
        CRecordingTransport transport;
        transport.openResult = openResult;
        transport.connectResult = connectResult;
        CMemoryFirmwareImage image(CMemoryFirmwareImage::patternBytes(100));
        image.missing = imageMissing;
        int reports = 0;
        const DownloadContext context{transport, image, [&reports] { ++reports; }};

        QCOMPARE(burnFirmware(descriptor.toStdString(), context), result);
        QCOMPARE(texts(transport.callTexts()), calls);
        QCOMPARE(reports, missingReports);
        QVERIFY2(log.contains(logged), qPrintable(log.all()));
    }

    // Every packet on the wire, byte for byte, in the byte order the board
    // stated (-1: it left the option untouched).
    void packets_data()
    {
        QTest::addColumn<int>("imageSize");
        QTest::addColumn<int>("largestPacket");
        QTest::addColumn<int>("order");
        QTest::addColumn<QList<int>>("lengths");
        QTest::addColumn<QByteArray>("lastLength"); // the last packet's length field, where given

        QTest::newRow("fewer than the largest packet") << 10 << 64 << 1 << QList<int>{10} << QByteArray();
        QTest::newRow("exactly room") << 48 << 64 << 1 << QList<int>{48} << QByteArray();
        QTest::newRow("room plus one") << 49 << 64 << 1 << QList<int>{48, 1} << QByteArray();
        QTest::newRow("several") << 3 * 48 + 5 << 64 << 1 << QList<int>{48, 48, 48, 5} << QByteArray();
        QTest::newRow("one byte of room") << 3 << 17 << 1 << QList<int>{1, 1, 1} << QByteArray();
        QTest::newRow("4096, big-endian") << 4096 << 8192 << 0 << QList<int>{4096} << QByteArray("00001000");
        QTest::newRow("4096, little-endian") << 4096 << 8192 << 1 << QList<int>{4096} << QByteArray("00100000");
        QTest::newRow("any nonzero is little-endian") << 4096 << 8192 << 0x100 << QList<int>{4096} << QByteArray("00100000");
        QTest::newRow("order option left untouched") << 4096 << 8192 << -1 << QList<int>{4096} << QByteArray("00100000");
        QTest::newRow("big-endian, several") << 49 << 64 << 0 << QList<int>{48, 1} << QByteArray();
    }

    void packets()
    {
        QFETCH(int, imageSize);
        QFETCH(int, largestPacket);
        QFETCH(int, order);
        QFETCH(QList<int>, lengths);
        QFETCH(QByteArray, lastLength);

        CRecordingTransport transport;
        transport.largestPacket = largestPacket;
        transport.statesByteOrder = order >= 0;
        transport.byteOrder = order;
        const bool little = order != 0;
        const std::vector<uint8_t> bytes = CMemoryFirmwareImage::patternBytes(std::size_t(imageSize));
        CMemoryFirmwareImage image(bytes);
        QCOMPARE(downloadImage(transport.handle, DownloadContext{transport, image, {}}), kDownloadOk);

        const std::vector<std::vector<uint8_t>> sent = transport.sentPackets();
        QCOMPARE(int(sent.size()), lengths.size());
        std::size_t offset = 0;
        for (int i = 0; i < lengths.size(); ++i) {
            const bool last = i == lengths.size() - 1;
            const std::vector<uint8_t> data(bytes.begin() + long(offset), bytes.begin() + long(offset) + lengths[i]);
            offset += std::size_t(lengths[i]);
            const std::string diff =
                hexDiff(request(data, last, last ? byteSum(bytes) : 0, little), sent[std::size_t(i)]);
            QVERIFY2(diff.empty(), qPrintable(QString("packet %1\n%2").arg(i + 1).arg(diff.c_str())));
        }
        QVERIFY(transport.received == bytes);
        if (!lastLength.isEmpty())
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(sent.back().data()) + 8, 4).toHex(), lastLength);
    }

    // The verdict on each packet, the faults of the line, and what the
    // board states about itself. A failure always stops the packets.
    void verdicts_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("imageSize");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("sends");
        QTest::addColumn<int>("receives");
        QTest::addColumn<QByteArray>("logged");

        QTest::newRow("all accepted") << QByteArray() << 100 << kDownloadOk << 3 << 3 << QByteArray("confirmed 100 bytes in 3 packets");
        QTest::newRow("first packet refused") << QByteArray("refuse=1") << 100 << kDownloadRefused << 1 << 1 << QByteArray("refused packet 1 of 3 with status 1");
        QTest::newRow("last packet refused") << QByteArray("refuse=3") << 100 << kDownloadRefused << 3 << 3 << QByteArray("refused packet 3 of 3 with status 1");
        QTest::newRow("sum off by one") << QByteArray("sumError=1") << 100 << kDownloadSumMismatch << 3 << 3 << QByteArray("reports the sum");
        QTest::newRow("right sum in the other order") << QByteArray("otherOrder") << 100 << kDownloadSumMismatch << 3 << 3 << QByteArray("reports the sum");
        QTest::newRow("big-endian board, right sum") << QByteArray("order=0") << 100 << kDownloadOk << 3 << 3 << QByteArray("big-endian");
        QTest::newRow("big-endian board, sum in the other order") << QByteArray("order=0 otherOrder") << 100 << kDownloadSumMismatch
                                                                  << 3 << 3 << QByteArray("reports the sum");
        // A failed send leaves the board nothing to answer: the receive
        // finds no reply, whatever the calls return.
        QTest::newRow("send fails") << QByteArray("failSend=1") << 100 << kDownloadRefused << 1 << 1 << QByteArray("no reply to packet 1 of 3 arrived");
        QTest::newRow("send fails later") << QByteArray("failSend=2") << 100 << kDownloadRefused << 2 << 2 << QByteArray("no reply to packet 2 of 3 arrived");
        QTest::newRow("receive fails") << QByteArray("failReceive=1") << 100 << kDownloadRefused << 1 << 1 << QByteArray("CommReceiveData gave 3");
        QTest::newRow("receive of the last reply fails") << QByteArray("failReceive=3") << 100 << kDownloadRefused << 3 << 3 << QByteArray("no reply to packet 3 of 3 arrived");
        // A library that says all went well is not believed over the area.
        QTest::newRow("receive succeeds without a reply") << QByteArray("failReceive=2 lineFailure=0") << 100 << kDownloadRefused << 2 << 2 << QByteArray("no reply to packet 2 of 3 arrived");
        QTest::newRow("last receive succeeds without a reply") << QByteArray("failReceive=3 lineFailure=0") << 100 << kDownloadRefused << 3 << 3 << QByteArray("no reply to packet 3 of 3 arrived");
        // The library's conventions for its results are its own: they are
        // logged, and the replies decide.
        QTest::newRow("receive gives 16 and sets both values") << QByteArray("receiveSuccess=16 flags=1") << 100 << kDownloadOk << 3 << 3 << QByteArray("CommReceiveData gave 16 with the reply length 16 and the values 1 and 1");
        QTest::newRow("send gives a byte count") << QByteArray("sendSuccess=56") << 100 << kDownloadOk << 3 << 3 << QByteArray("CommSendData gave 56");
        QTest::newRow("receive writes past the reply length") << QByteArray("writesPast=40") << 100 << kDownloadOk << 3 << 3 << QByteArray("confirmed 100 bytes in 3 packets");
        QTest::newRow("another reply length stated") << QByteArray("statedLength=24") << 100 << kDownloadOk << 3 << 3 << QByteArray("reply length 24");
        QTest::newRow("such a library still meets a refusal") << QByteArray("receiveSuccess=16 flags=1 refuse=2") << 100 << kDownloadRefused << 2 << 2 << QByteArray("refused packet 2 of 3 with status 1");
        QTest::newRow("such a library still meets a wrong sum") << QByteArray("receiveSuccess=16 flags=1 sumError=1") << 100 << kDownloadSumMismatch << 3 << 3 << QByteArray("reports the sum");
        QTest::newRow("largest packet with a result code") << QByteArray("largestResult=5") << 100 << kDownloadOk << 3 << 3 << QByteArray("CommGetOption(largest packet) gave result 5 and the value 56");
        QTest::newRow("no room for data") << QByteArray("largest=16") << 100 << kDownloadRefused << 0 << 0 << QByteArray("largest packet of 16 bytes");
        QTest::newRow("negative largest packet") << QByteArray("largest=-1") << 100 << kDownloadRefused << 0 << 0 << QByteArray("largest packet of -1 bytes");
        QTest::newRow("empty image") << QByteArray() << 0 << kDownloadRefused << 0 << 0 << QByteArray("image is empty");
        QTest::newRow("stop asked for during packet 2") << QByteArray("stopAfter=2") << 100 << kDownloadRefused << 2 << 2 << QByteArray("stopped after packet 2 of 3");
    }

    void verdicts()
    {
        QFETCH(QByteArray, script);
        QFETCH(int, imageSize);
        QFETCH(int, result);
        QFETCH(int, sends);
        QFETCH(int, receives);
        QFETCH(QByteArray, logged);

        // Run the download alone, then the whole burn on a fresh board.
        for (bool whole : {false, true}) {
            CLogCapture log;
            CRecordingTransport transport;
            transport.largestPacket = 16 + 40; // 100 bytes: 40 + 40 + 20
            int stopAfter = 0;
            for (const QByteArray &item : script.split(' ')) {
                const int value = item.mid(item.indexOf('=') + 1).toInt();
                if (item.startsWith("refuse="))
                    transport.refusePacket = value;
                else if (item.startsWith("sumError="))
                    transport.sumError = value;
                else if (item == "otherOrder")
                    transport.sumInOtherOrder = true;
                else if (item.startsWith("order="))
                    transport.byteOrder = value;
                else if (item.startsWith("failSend="))
                    transport.failSendAt = value;
                else if (item.startsWith("failReceive="))
                    transport.failReceiveAt = value;
                else if (item.startsWith("lineFailure="))
                    transport.lineFailure = value;
                else if (item.startsWith("sendSuccess="))
                    transport.sendSuccess = value;
                else if (item.startsWith("receiveSuccess="))
                    transport.receiveSuccess = value;
                else if (item.startsWith("flags="))
                    transport.receiveFlags = uint8_t(value);
                else if (item.startsWith("writesPast="))
                    transport.writesPast = uint32_t(value);
                else if (item.startsWith("statedLength="))
                    transport.statedReplyLength = uint32_t(value);
                else if (item.startsWith("largestResult="))
                    transport.largestPacketResult = value;
                else if (item.startsWith("largest="))
                    transport.largestPacket = value;
                else if (item.startsWith("stopAfter="))
                    stopAfter = value;
                else
                    QVERIFY2(item.isEmpty(), item.constData());
            }
            CMemoryFirmwareImage image(CMemoryFirmwareImage::patternBytes(std::size_t(imageSize), 3));
            const auto stopRequested = [&] {
                return stopAfter > 0 && countOf(transport, "CommSendData") >= stopAfter;
            };
            const DownloadContext context{transport, image, {}, stopRequested};

            if (whole) {
                QCOMPARE(burnFirmware(kDescriptor, context), result == kDownloadOk ? kBurnSucceeded : kBurnFailed);
                const QStringList calls = texts(transport.callTexts());
                QCOMPARE(calls.mid(calls.size() - 2), (QStringList{kDisconnect, kClose}));
            } else {
                QCOMPARE(downloadImage(transport.handle, context), result);
            }
            QCOMPARE(countOf(transport, "CommSendData"), sends);
            QCOMPARE(countOf(transport, "CommReceiveData"), receives);
            QVERIFY2(log.contains(logged), qPrintable(log.all()));
        }
    }

    void missingImage()
    {
        CRecordingTransport transport;
        CMemoryFirmwareImage image;
        image.missing = true;
        int reports = 0;
        QCOMPARE(downloadImage(transport.handle, DownloadContext{transport, image, [&reports] { ++reports; }}), kDownloadNoImage);
        QCOMPARE(reports, 1);
        QVERIFY(transport.calls.empty());
        QCOMPARE(texts(image.lookups), QStringList{"BINFILE 104"});
    }

    // Under a capped address space a 1 GiB largest packet cannot be had:
    // the download must give up before the first packet, unless the image
    // is small, when the buffer is only the image and its header. Each row
    // runs in a child so the cap stays there.
    void packetBuffer_data()
    {
        QTest::addColumn<bool>("overlarge");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("sends");

        QTest::newRow("buffer cannot be had") << true << kDownloadRefused << 0;
        QTest::newRow("small image, small buffer") << false << kDownloadOk << 1;
    }

    void packetBuffer()
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        QSKIP("sanitizers reserve more address space than the cap allows");
#endif
        QFETCH(bool, overlarge);
        QFETCH(int, result);
        QFETCH(int, sends);

        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            long pages = 0;
            if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
                if (std::fscanf(statm, "%ld", &pages) != 1)
                    pages = 0;
                std::fclose(statm);
            }
            const rlim_t cap = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(64) << 20);
            const rlimit limit{cap, cap};
            if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0)
                _exit(3);
            CRecordingTransport transport;
            transport.largestPacket = 1 << 30;
            COverlargeImage big;
            CMemoryFirmwareImage small(CMemoryFirmwareImage::patternBytes(10));
            IFirmwareImage &image = overlarge ? static_cast<IFirmwareImage &>(big) : small;
            const int got = downloadImage(transport.handle, DownloadContext{transport, image, {}});
            _exit(got == result && int(transport.sentPackets().size()) == sends ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY2(WIFEXITED(status), "the download read past the image instead of giving up");
        QCOMPARE(WEXITSTATUS(status), 0);
    }
};

QTEST_APPLESS_MAIN(TestFirmwareDownload)
#include "tst_FirmwareDownload.moc"
