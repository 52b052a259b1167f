#include "CScriptedDeviceIo.h"
#include "TargetQuery.h"

#include <QTest>

#include <cstring>

namespace {

const char kBoard[] = "/dev/parvel/board0";

// A 276-byte reply: `header` filler in the first 16 bytes, then `name`.
// The rest of the buffer is zero.
std::vector<uint8_t> replyBytes(const QByteArray &name, uint8_t header = 0, std::size_t size = 276)
{
    std::vector<uint8_t> bytes(size, 0);
    std::fill(bytes.begin(), bytes.begin() + std::min<std::size_t>(16, size), header);
    for (int i = 0; i < name.size() && 16 + std::size_t(i) < size; ++i)
        bytes[16 + std::size_t(i)] = uint8_t(name[i]);
    return bytes;
}

// The recorded calls, one a line, so a mismatch shows both sequences.
QString lines(const std::vector<std::string> &events)
{
    QStringList all;
    for (const std::string &event : events)
        all << QString::fromStdString(event);
    return all.join('\n');
}

} // namespace

Q_DECLARE_METATYPE(std::vector<uint8_t>)

class TestTargetQuery : public QObject
{
    Q_OBJECT

private slots:
    void reply_data()
    {
        QTest::addColumn<std::vector<uint8_t>>("answer");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("blanks and parentheses kept") << replyBytes("  a (b) : c ") << 0 << QByteArray("  a (b) : c ");
        QTest::newRow("reply header ignored") << replyBytes("P1", 0xFF) << 0 << QByteArray("P1");
        QTest::newRow("just before the second pause ends") << replyBytes("late") << 999 << QByteArray("late");
        QTest::newRow("NUL at offset 16") << replyBytes("") << 0 << QByteArray();
        QTest::newRow("only the reply header") << replyBytes("", 0x53, 16) << 0 << QByteArray();
        QTest::newRow("one name byte") << replyBytes("X", 0, 17) << 0 << QByteArray("X");
        // More than fits: the buffer ends the name.
        QTest::newRow("overlong reply") << replyBytes(QByteArray(300, 'L'), 0, 400) << 0 << QByteArray(260, 'L');
    }

    void reply()
    {
        QFETCH(std::vector<uint8_t>, answer);
        QFETCH(int, delayMs);
        QFETCH(QByteArray, expected);

        CScriptedDeviceIo io;
        io.boards[kBoard] = CScriptedDeviceIo::Board{answer, delayMs};
        const std::string name = queryTargetName(io, kBoard);

        QCOMPARE(QByteArray::fromStdString(name), expected);
        QCOMPARE(io.openHandles, 0);
    }

    // One write of exactly the query during the first pause, the second
    // pause to collect the reply, and the board closed.
    // A board that cannot be opened gets nothing written and nothing
    // closed, but the exchange still takes its full second.
    void exchange_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("events");

        QTest::newRow("board answers") << kBoard
                                       << QStringList{QString("open ") + kBoard,
                                                      "write 500 53 51 00 00 FF FF FF FF 00 00 00 00 00 00 00 00",
                                                      "collect 276 500", "close"};
        QTest::newRow("board cannot be opened")
            << "/dev/parvel/gone" << QStringList{"open /dev/parvel/gone", "pause 500", "pause 500"};
    }

    void exchange()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, events);

        CScriptedDeviceIo io;
        io.boards[kBoard] = CScriptedDeviceIo::Board{replyBytes("P1"), 0};
        const std::string name = queryTargetName(io, path.toStdString());

        QCOMPARE(lines(io.events), events.join('\n'));
        QCOMPARE(QByteArray::fromStdString(name), QByteArray(path == kBoard ? "P1" : ""));
        QCOMPARE(io.openHandles, 0);
    }
};

QTEST_APPLESS_MAIN(TestTargetQuery)
#include "tst_TargetQuery.moc"
