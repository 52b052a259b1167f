// The simulated board's rules, driven directly over bytes.
#include "BoardProtocol.h"
#include "DownloadSession.h"

#include <wirelet.h>

#include <QTest>

#include <vector>

using namespace board;

Q_DECLARE_METATYPE(std::vector<uint8_t>)
Q_DECLARE_METATYPE(board::ByteOrder)
Q_DECLARE_METATYPE(board::InputKind)

namespace {

using Bytes = std::vector<uint8_t>;

Bytes packet(ByteOrder order, const Bytes &data, uint16_t lastFlag, uint32_t checksum)
{
    const auto header = packetHeader(0, lastFlag, uint32_t(data.size()), checksum, order);
    Bytes out(header.size() + data.size());
    std::copy(header.begin(), header.end(), out.begin());
    std::copy(data.begin(), data.end(), out.begin() + std::ptrdiff_t(header.size()));
    return out;
}

Bytes withTail(Bytes bytes, uint8_t value)
{
    bytes.push_back(value);
    return bytes;
}

Bytes withByte(Bytes bytes, std::size_t offset, uint8_t value)
{
    bytes[offset] = value;
    return bytes;
}

Bytes joined(Bytes front, const Bytes &back)
{
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

QByteArray hex(const uint8_t *bytes, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(bytes), int(size)).toHex(' ');
}

} // namespace

class TestBoardProtocol : public QObject
{
    Q_OBJECT

private slots:
    void checkPacket_data()
    {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<ByteOrder>("order");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("maxPacket");

        const Bytes data{1, 2, 3, 4};
        const Bytes little = packet(ByteOrder::Little, data, 0, 0);
        const Bytes big = packet(ByteOrder::Big, data, 0, 0);
        QTest::newRow("good, little-endian") << little << ByteOrder::Little << int(kStatusAccepted) << 65536;
        QTest::newRow("good, big-endian") << big << ByteOrder::Big << int(kStatusAccepted) << 65536;
        QTest::newRow("length in the other order") << big << ByteOrder::Little << int(kStatusBadLength) << 65536;
        QTest::newRow("bad first signature byte") << withByte(little, 0, 'X') << ByteOrder::Little << int(kStatusBadSignature) << 65536;
        QTest::newRow("bad second signature byte") << withByte(little, 1, 'b') << ByteOrder::Little << int(kStatusBadSignature) << 65536;
        QTest::newRow("bad marker") << withByte(little, 2, 0xFE) << ByteOrder::Little << int(kStatusBadSignature) << 65536;
        QTest::newRow("default header kind 0") << withByte(little, 3, 0x00) << ByteOrder::Little << int(kStatusBadKind) << 65536;
        QTest::newRow("length says one more") << withByte(little, 8, 5) << ByteOrder::Little << int(kStatusBadLength) << 65536;
        QTest::newRow("length says one less") << withByte(little, 8, 3) << ByteOrder::Little << int(kStatusBadLength) << 65536;
        QTest::newRow("shorter than a header") << Bytes(little.begin(), little.begin() + 15) << ByteOrder::Little
                                               << int(kStatusBadLength) << 65536;
        QTest::newRow("header only, length 0") << packet(ByteOrder::Little, {}, 0xFFFF, 0) << ByteOrder::Little
                                               << int(kStatusAccepted) << 65536;
        QTest::newRow("as large as stated") << packet(ByteOrder::Little, Bytes(48, 7), 0, 0) << ByteOrder::Little
                                            << int(kStatusAccepted) << 64;
        QTest::newRow("larger than stated") << packet(ByteOrder::Little, Bytes(49, 7), 0, 0) << ByteOrder::Little
                                            << int(kStatusTooLarge) << 64;
    }

    void checkPacket()
    {
        QFETCH(Bytes, bytes);
        QFETCH(ByteOrder, order);
        QFETCH(int, status);
        QFETCH(int, maxPacket);
        QCOMPARE(int(board::checkPacket(bytes.data(), bytes.size(), order, uint32_t(maxPacket))), status);
    }

    void scanInput_data()
    {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<InputKind>("kind");
        QTest::addColumn<int>("size");

        const Bytes query{0x53, 0x51, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
        Bytes command = withByte(withByte(query, 1, 'T'), 11, 3);
        command.insert(command.end(), {'a', 'b', 0});
        const Bytes hello = frame(WIRELET_FRAME_HELLO, 0x1234, 0, Bytes{2, 66, 1, 0}.data(), 4);
        // A header whose own check holds but whose length no frame may have.
        Bytes tooLong = frame(WIRELET_FRAME_DATA, 0x1234, 1, nullptr, 0);
        tooLong[7] = 0x7F;
        writeU32(tooLong.data() + WIRELET_FRAME_HEADER_CHECK_OFFSET, crc32(tooLong.data(), WIRELET_FRAME_HEADER_CHECK_OFFSET),
                 ByteOrder::Little);
        // The first 40 bytes of a 100-byte packet's frame.
        const Bytes packetFrame = frame(WIRELET_FRAME_DATA, 0x1234, 1, Bytes(100, 0x57).data(), 100);
        const Bytes cutFrame(packetFrame.begin(), packetFrame.begin() + 40);

        QTest::newRow("identity query") << query << InputKind::Query << 16;
        QTest::newRow("query, more bytes behind") << withTail(query, 0x57) << InputKind::Query << 16;
        QTest::newRow("query, 15 bytes") << Bytes(query.begin(), query.end() - 1) << InputKind::NeedMore << 0;
        QTest::newRow("other command with payload") << command << InputKind::Garbage << 1;
        QTest::newRow("'S' with an impossible length") << withByte(query, 8, 1) << InputKind::Garbage << 1;
        QTest::newRow("stray 'S' before a frame") << joined({0x53}, hello) << InputKind::Garbage << 1;
        QTest::newRow("hello frame") << hello << InputKind::Frame << 28;
        QTest::newRow("frame still arriving") << Bytes(hello.begin(), hello.end() - 1) << InputKind::NeedMore << 0;
        QTest::newRow("frame check broken") << withByte(hello, 26, 67) << InputKind::Garbage << 1;
        QTest::newRow("header check broken") << withByte(hello, 9, 0x13) << InputKind::Garbage << 1;
        // A payload may hold anything: what looks like a header or the query
        // inside it is payload, whether the frame is in whole or in part.
        QTest::newRow("part of a frame, a frame header inside") << joined(cutFrame, hello) << InputKind::NeedMore << 0;
        QTest::newRow("part of a frame, the query inside") << joined(cutFrame, query) << InputKind::NeedMore << 0;
        const Bytes holdsHeader = frame(WIRELET_FRAME_DATA, 0x1234, 1, joined(hello, query).data(), 44);
        QTest::newRow("frame holding a frame header and the query") << holdsHeader << InputKind::Frame << 68;
        QTest::newRow("frame holding a header, damaged") << withByte(holdsHeader, 50, 0x99) << InputKind::Garbage << 1;
        QTest::newRow("lone frame magic") << Bytes{0x57} << InputKind::NeedMore << 0;
        QTest::newRow("magic broken") << Bytes{0x57, 0x57, 0x4C} << InputKind::Garbage << 1;
        QTest::newRow("frame longer than allowed") << tooLong << InputKind::Garbage << 1;
        QTest::newRow("stray byte") << Bytes{0x00} << InputKind::Garbage << 1;
        QTest::newRow("nothing") << Bytes{} << InputKind::NeedMore << 0;
    }

    void scanInput()
    {
        QFETCH(Bytes, bytes);
        QFETCH(InputKind, kind);
        QFETCH(int, size);
        const InputItem item = board::scanInput(bytes.data(), bytes.size(), 1024);
        QCOMPARE(item.kind, kind);
        QCOMPARE(int(item.size), size);
    }

    void identityReply_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("terminate");
        QTest::addColumn<QByteArray>("field"); // the name field up to its NUL or its end

        QTest::newRow("name and NUL") << QByteArray("VELVANE SIM-1") << true << QByteArray("VELVANE SIM-1");
        QTest::newRow("empty name") << QByteArray() << true << QByteArray();
        QTest::newRow("259 bytes fit") << QByteArray(259, 'n') << true << QByteArray(259, 'n');
        QTest::newRow("longer name cut to fit") << QByteArray(300, 'n') << true << QByteArray(259, 'n');
        QTest::newRow("no NUL: repeated") << QByteArray("ABC") << false << QByteArray("ABC").repeated(87).left(260);
        QTest::newRow("no NUL, empty: blanks") << QByteArray() << false << QByteArray(260, ' ');
    }

    void identityReply()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, terminate);
        QFETCH(QByteArray, field);
        const auto reply = board::identityReply(name.toStdString(), terminate);
        const QByteArray all(reinterpret_cast<const char *>(reply.data()), int(reply.size()));
        QCOMPARE(all.size(), 276);
        const int nul = all.indexOf('\0', 16);
        QCOMPARE(all.mid(16, nul < 0 ? -1 : nul - 16), field);
        QCOMPARE(nul >= 0, terminate);
    }

    void addToSumWraps()
    {
        const Bytes bytes{0xFF, 0x02};
        QCOMPARE(board::addToSum(0xFFFFFF00u, bytes.data(), bytes.size()), 0x00000001u);
    }

    // A whole download through the session: replies byte for byte, the
    // sum in the stated order and the report line.
    void download_data()
    {
        QTest::addColumn<ByteOrder>("order");
        QTest::addColumn<QByteArray>("lastReply");

        // 0xFF + 0xFF + 0x01 = 0x1FF.
        QTest::newRow("little-endian") << ByteOrder::Little
                                       << QByteArray("54 42 ff 01 00 00 ff ff 00 00 00 00 ff 01 00 00");
        QTest::newRow("big-endian") << ByteOrder::Big
                                    << QByteArray("54 42 ff 01 00 00 ff ff 00 00 00 00 00 00 01 ff");
    }

    void download()
    {
        QFETCH(ByteOrder, order);
        QFETCH(QByteArray, lastReply);
        DownloadSession session(order, 64, {});

        const Bytes first = packet(order, {0xFF, 0xFF}, 0, 0);
        const PacketOutcome one = session.onPacket(first.data(), first.size());
        QVERIFY(one.startsDownload);
        QCOMPARE(one.action, PacketOutcome::Action::Reply);
        QCOMPARE(hex(one.data, one.dataSize), QByteArray("ff ff"));
        QCOMPARE(hex(one.reply.data() + 4, 2), QByteArray("00 00"));
        QVERIFY(one.report.empty());

        const Bytes last = packet(order, {0x01}, 0xFFFF, 0x1FF);
        const PacketOutcome two = session.onPacket(last.data(), last.size());
        QVERIFY(!two.startsDownload);
        QCOMPARE(hex(two.reply.data(), two.reply.size()), lastReply);
        QCOMPARE(QString::fromStdString(two.report), QString("DOWNLOAD OK 3 0x000001ff"));

        // The next packet begins a new download.
        QVERIFY(session.onPacket(first.data(), first.size()).startsDownload);
    }

    // The sum checks on the last packet. Refusal, silence and vanishing are
    // driven through the real library in the download tests.
    void sumFaults_data()
    {
        QTest::addColumn<bool>("wrongSum");
        QTest::addColumn<uint32_t>("statedSum");
        QTest::addColumn<uint32_t>("reportedSum");
        QTest::addColumn<QString>("report");

        QTest::newRow("board reports a wrong sum") << true << 5u << 6u << "DOWNLOAD FAILED reported a wrong sum 0x00000006";
        QTest::newRow("host states another sum")
            << false << 4u << 5u << "DOWNLOAD FAILED sum mismatch: packet states 0x00000004, received 0x00000005";
    }

    void sumFaults()
    {
        QFETCH(bool, wrongSum);
        QFETCH(uint32_t, statedSum);
        QFETCH(uint32_t, reportedSum);
        QFETCH(QString, report);
        DownloadFaults faults;
        faults.wrongSum = wrongSum;
        DownloadSession session(ByteOrder::Big, 64, faults);

        const Bytes first = packet(ByteOrder::Big, {2, 2}, 0, 0);
        QVERIFY(session.onPacket(first.data(), first.size()).report.empty());
        const Bytes last = packet(ByteOrder::Big, {1}, 0xFFFF, statedSum);
        const PacketOutcome outcome = session.onPacket(last.data(), last.size());
        QCOMPARE(outcome.action, PacketOutcome::Action::Reply);
        QCOMPARE(int(readU16(outcome.reply.data() + kStatusOffset, ByteOrder::Big)), int(kStatusAccepted));
        QCOMPARE(readU32(outcome.reply.data() + kChecksumOffset, ByteOrder::Big), reportedSum);
        QCOMPARE(QString::fromStdString(outcome.report), report);
    }

    void disconnectMidDownloadIsReported()
    {
        DownloadSession session(ByteOrder::Little, 64, {});
        QVERIFY(session.onDisconnect().empty());
        const Bytes first = packet(ByteOrder::Little, {9}, 0, 0);
        session.onPacket(first.data(), first.size());
        QCOMPARE(QString::fromStdString(session.onDisconnect()), QString("DOWNLOAD FAILED disconnected after packet 1"));
        QVERIFY(session.onDisconnect().empty());
    }
};

QTEST_APPLESS_MAIN(TestBoardProtocol)
#include "tst_BoardProtocol.moc"
