#include "CommandHeader.h"
#include "CommandPacket.h"
#include "HexDiff.h"

#include <QTest>

#include <cstring>

namespace {

std::vector<uint8_t> bytesOf(const QByteArray &hex)
{
    const QByteArray raw = QByteArray::fromHex(hex);
    return std::vector<uint8_t>(raw.begin(), raw.end());
}

} // namespace

class TestCommandHeader : public QObject
{
    Q_OBJECT

private slots:
    void header_data()
    {
        QTest::addColumn<char>("command");
        QTest::addColumn<int>("param1");
        QTest::addColumn<int>("param2");
        QTest::addColumn<uint>("value");
        QTest::addColumn<uint>("length");
        QTest::addColumn<bool>("hostOrder");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("identity query") << 'Q' << 0 << 0 << 0xFFFFFFFFu << 0u << false
                                        << QByteArray("53510000FFFFFFFF0000000000000000");
        QTest::newRow("T is class S") << 'T' << 1 << 2 << 0x01020304u << 0x0A0B0C0Du << false
                                      << QByteArray("53540102010203040A0B0C0D00000000");
        QTest::newRow("n is class s") << 'n' << 0xFE << 0x80 << 7u << 0x100u << false
                                      << QByteArray("736EFE80000000070000010000000000");
        QTest::newRow("B has no class") << 'B' << 0 << 0 << 0u << 0u << false
                                        << QByteArray("00420000000000000000000000000000");
        QTest::newRow("q has no class") << 'q' << 0 << 0 << 0u << 0u << false
                                        << QByteArray("00710000000000000000000000000000");
        QTest::newRow("A C D are class S") << 'D' << 0 << 0 << 0u << 0u << false
                                           << QByteArray("53440000000000000000000000000000");
        QTest::newRow("a is class s") << 'a' << 0 << 0 << 0u << 0u << false
                                      << QByteArray("73610000000000000000000000000000");
        // Host order stores the words as this machine keeps them in memory.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        const QByteArray hostWords("4433221188776655");
#else
        const QByteArray hostWords("1122334455667788");
#endif
        QTest::newRow("host order") << 'C' << 0 << 0 << 0x11223344u << 0x55667788u << true
                                    << QByteArray("53430000" + hostWords + "00000000");
    }

    // The header is cleared first, so leftovers never reach the wire.
    void header()
    {
        QFETCH(char, command);
        QFETCH(int, param1);
        QFETCH(int, param2);
        QFETCH(uint, value);
        QFETCH(uint, length);
        QFETCH(bool, hostOrder);
        QFETCH(QByteArray, expected);

        CommandHeader header;
        std::memset(header.bytes, 0xAA, sizeof header.bytes);
        buildCommandHeader(header, command, uint8_t(param1), uint8_t(param2), value, length, hostOrder);

        const std::vector<uint8_t> actual(header.bytes, header.bytes + sizeof header.bytes);
        const std::string diff = hexDiff(bytesOf(expected), actual);
        QVERIFY2(diff.empty(), diff.c_str());
    }

    void packetLength_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("expected");

        QTest::newRow("empty data area") << QByteArray() << 16;
        QTest::newRow("three letters and NUL") << QByteArray("abc") << 20;
        QTest::newRow("longest terminated text") << QByteArray(259, 'x') << 276;
        // No terminator in the area: the count stops at the block's end.
        QTest::newRow("unterminated full area") << QByteArray(260, 'x') << 276;
    }

    void packetLength()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, expected);

        CommandPacket packet;
        buildCommandHeader(packet.header, 'Q', 0, 0, 0xFFFFFFFFu, 0, false);
        std::memcpy(packet.data, payload.constData(), std::size_t(payload.size()));
        QCOMPARE(int(commandPacketLength(packet)), expected);
    }
};

QTEST_APPLESS_MAIN(TestCommandHeader)
#include "tst_CommandHeader.moc"
