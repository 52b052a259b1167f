// The transport library for real, against the board simulator.
#include "BoardProtocol.h"
#include "CBoardSimProcess.h"
#include "CMemoryFirmwareImage.h"

#include <wirelet.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include <sys/uio.h>

using board::ByteOrder;
using Bytes = std::vector<uint8_t>;

namespace {

// Faults of the system below the library, put in its place by this
// executable's own definitions (they come first in the symbol lookup):
// a node whose writes take nothing, and allocations that fail; and a record
// of the waits the library asks for.
std::atomic<bool> g_writesTakeNothing{false};
thread_local bool t_allocationsFail = false;

// The longest wait this thread asked poll() for while it recorded them.
thread_local bool t_recordWaits = false;
thread_local int t_longestWaitMs = -1;

void *allocate(std::size_t size)
{
    if (t_allocationsFail)
        throw std::bad_alloc();
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

// Arms the failing allocations on this thread for one call.
template <typename Call>
int withoutMemory(Call call)
{
    t_allocationsFail = true;
    const int result = call();
    t_allocationsFail = false;
    return result;
}

} // namespace

extern "C" ssize_t writev(int fd, const struct iovec *parts, int count)
{
    if (g_writesTakeNothing)
        return 0;
    using Real = ssize_t (*)(int, const struct iovec *, int);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "writev"));
    return real(fd, parts, count);
}

extern "C" int poll(struct pollfd *nodes, nfds_t count, int timeoutMs)
{
    if (t_recordWaits)
        t_longestWaitMs = std::max(t_longestWaitMs, timeoutMs);
    using Real = int (*)(struct pollfd *, nfds_t, int);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "poll"));
    return real(nodes, count, timeoutMs);
}

// Every form of new and delete that pairs with the ones below, so that no
// block crosses between this allocator and the runtime's.
void *operator new(std::size_t size) { return allocate(size); }
void *operator new[](std::size_t size) { return allocate(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    return t_allocationsFail ? nullptr : std::malloc(size ? size : 1);
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    return t_allocationsFail ? nullptr : std::malloc(size ? size : 1);
}
void operator delete(void *memory) noexcept { std::free(memory); }
void operator delete[](void *memory) noexcept { std::free(memory); }
void operator delete(void *memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void *memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void *memory, const std::nothrow_t &) noexcept { std::free(memory); }
void operator delete[](void *memory, const std::nothrow_t &) noexcept { std::free(memory); }

namespace {

constexpr int kTimeoutMs = 26214;
constexpr int kShortTimeoutMs = 300;
constexpr uint8_t kConnectOptions = 1;

// What became of a download driven packet by packet.
struct Transfer
{
    int result = WIRELET_OK;  // the first failing library call's code
    int packets = 0;          // packets sent
    uint16_t status = 0;      // the last reply's status
    uint32_t sum = 0;         // our running sum
    uint32_t reportedSum = 0; // the last reply's checksum
};

// Sends `image` in packets of at most `maxPacket` bytes, one reply each,
// stopping at the first failure or refusal.
Transfer sendImage(uint32_t handle, const Bytes &image, ByteOrder order, uint32_t maxPacket)
{
    Transfer transfer;
    const std::size_t room = maxPacket - board::kPacketHeaderSize;
    Bytes buffer(board::kPacketHeaderSize + std::min(room, image.size()));
    std::size_t offset = 0;
    while (offset < image.size()) {
        const std::size_t n = std::min(room, image.size() - offset);
        const bool last = offset + n == image.size();
        std::copy(image.begin() + std::ptrdiff_t(offset), image.begin() + std::ptrdiff_t(offset + n),
                  buffer.begin() + board::kPacketHeaderSize);
        transfer.sum = board::addToSum(transfer.sum, image.data() + offset, n);
        const auto header = board::packetHeader(0, last ? board::kLastPacket : 0, uint32_t(n),
                                                last ? transfer.sum : 0, order);
        std::copy(header.begin(), header.end(), buffer.begin());
        offset += n;

        ++transfer.packets;
        transfer.result = CommSendData(handle, buffer.data(), uint32_t(board::kPacketHeaderSize + n), WIRELET_MODE_BLOCKS, 1);
        if (transfer.result != WIRELET_OK)
            return transfer;
        uint8_t reply[board::kPacketHeaderSize] = {};
        uint32_t length = sizeof reply;
        uint8_t more = 0, status = 0;
        transfer.result = CommReceiveData(handle, reply, &length, &more, &status);
        if (transfer.result != WIRELET_OK)
            return transfer;
        transfer.status = board::readU16(reply + board::kStatusOffset, order);
        transfer.reportedSum = board::readU32(reply + board::kChecksumOffset, order);
        if (transfer.status != 0)
            return transfer;
    }
    return transfer;
}

// The identity query, written to the board's node outside any connection.
bool writeIdentityQuery(int fd)
{
    return ::write(fd, board::kIdentityQuery.data(), board::kIdentityQuery.size()) == ssize_t(board::kIdentityQuery.size());
}

// The 276-byte reply, or what came of it within `timeoutMs`.
QByteArray readIdentityReply(int fd, int timeoutMs)
{
    QByteArray reply;
    QDeadlineTimer deadline(timeoutMs);
    while (reply.size() < int(board::kIdentityReplySize) && !deadline.hasExpired()) {
        pollfd node{fd, POLLIN, 0};
        if (::poll(&node, 1, int(deadline.remainingTime())) <= 0)
            continue;
        char chunk[board::kIdentityReplySize];
        const ssize_t n = ::read(fd, chunk, sizeof chunk - std::size_t(reply.size()));
        if (n <= 0)
            break;
        reply.append(chunk, int(n));
    }
    return reply;
}

// `size` bytes in which the identity query and whole frames (a handshake of
// another connection, a goodbye of this one) recur among other bytes.
Bytes headerLikeBytes(std::size_t size, uint32_t connection)
{
    const uint8_t helloPayload[WIRELET_HELLO_SIZE] = {WIRELET_WIRE_VERSION, WIRELET_MODE_BLOCKS, 1, 0};
    const Bytes hello = board::frame(WIRELET_FRAME_HELLO, connection, 0, helloPayload, sizeof helloPayload);
    const Bytes bye = board::frame(WIRELET_FRAME_BYE, connection, 0, nullptr, 0);
    Bytes bytes;
    while (bytes.size() < size) {
        bytes.insert(bytes.end(), board::kIdentityQuery.begin(), board::kIdentityQuery.end());
        bytes.insert(bytes.end(), hello.begin(), hello.end());
        bytes.insert(bytes.end(), bye.begin(), bye.end());
        for (int i = 0; i < 37; ++i)
            bytes.push_back(uint8_t(bytes.size() * 7));
    }
    bytes.resize(size);
    return bytes;
}

// A board's reading: the next frame of `type` on `master`, within 5 s;
// `pending` holds what was read but not yet taken.
board::InputItem awaitFrame(int master, uint8_t type, Bytes &pending)
{
    QDeadlineTimer deadline(5000);
    for (;;) {
        while (!pending.empty()) {
            const board::InputItem item = board::scanInput(pending.data(), pending.size(), WIRELET_MAX_FRAME_PAYLOAD);
            if (item.kind == board::InputKind::NeedMore)
                break;
            pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(item.size));
            if (item.kind == board::InputKind::Frame && item.frameType == type)
                return item;
        }
        pollfd node{master, POLLIN, 0};
        if (deadline.hasExpired() || ::poll(&node, 1, int(deadline.remainingTime())) <= 0)
            return {};
        uint8_t chunk[4096];
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n <= 0)
            return {};
        pending.insert(pending.end(), chunk, chunk + n);
    }
}

// Opens and connects; fails the calling test otherwise.
#define OPEN_AND_CONNECT(board, handle, timeoutMs)                                                 \
    uint32_t handle = 0;                                                                           \
    QCOMPARE(CommOpen(qPrintable((board).linkPath()), 0, &handle, 0, timeoutMs), int(WIRELET_OK)); \
    QVERIFY(handle != 0);                                                                          \
    {                                                                                              \
        uint8_t options = kConnectOptions;                                                         \
        QCOMPARE(CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0), int(WIRELET_OK));       \
    }

} // namespace

class TestWirelet : public QObject
{
    Q_OBJECT

private slots:
    void handshake_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<int>("maxPacket");
        QTest::addColumn<int>("littleEndian");

        QTest::newRow("little, 65536") << "little" << 65536 << 1;
        QTest::newRow("big, 4096") << "big" << 4096 << 0;
        QTest::newRow("little, 17") << "little" << 17 << 1;
        QTest::newRow("little, 16 MiB") << "little" << 16 * 1024 * 1024 << 1;
    }

    void handshake()
    {
        QFETCH(QString, order);
        QFETCH(int, maxPacket);
        QFETCH(int, littleEndian);
        CBoardSimProcess board;
        QVERIFY(board.start({"--byte-order", order, "--max-packet", QString::number(maxPacket)}));

        uint32_t handle = 0;
        QCOMPARE(CommOpen(qPrintable(board.linkPath()), 0, &handle, 0, kTimeoutMs), int(WIRELET_OK));
        int32_t value = -7;
        QCOMPARE(CommGetOption(handle, WIRELET_OPTION_MAX_PACKET, &value), int(WIRELET_ERR_STATE));
        uint8_t options = kConnectOptions;
        QCOMPARE(CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0), int(WIRELET_OK));
        QCOMPARE(CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0), int(WIRELET_ERR_STATE));

        QCOMPARE(CommGetOption(handle, WIRELET_OPTION_MAX_PACKET, &value), int(WIRELET_OK));
        QCOMPARE(value, maxPacket);
        value = 1 - littleEndian;
        QCOMPARE(CommGetOption(handle, WIRELET_OPTION_BYTE_ORDER, &value), int(WIRELET_OK));
        QCOMPARE(value, littleEndian);
        QCOMPARE(CommGetOption(handle, 2, &value), int(WIRELET_ERR_OPTION));

        QCOMPARE(CommDisconnect(handle), int(WIRELET_OK));
        QCOMPARE(CommGetOption(handle, WIRELET_OPTION_MAX_PACKET, &value), int(WIRELET_ERR_STATE));
        // The same handle connects again.
        QCOMPARE(CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0), int(WIRELET_OK));
        QCOMPARE(CommClose(handle), int(WIRELET_OK));
        QVERIFY(board.stop().clean());
    }

    // A board that stops answering makes the receive fail within the
    // connection's timeout; one that vanishes is a hang-up. Either way the
    // failed receive takes nothing, and once the exchange's time is spent
    // the calls behind it no longer wait: the handle closes at once.
    void lineFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("linkRemains");
        QTest::addColumn<QString>("report");

        QTest::newRow("stops answering") << "--stop-at-packet" << kShortTimeoutMs << int(WIRELET_ERR_TIMEOUT) << true
                                         << "DOWNLOAD FAILED stopped answering at packet 2";
        QTest::newRow("vanishes") << "--vanish-at-packet" << kTimeoutMs << int(WIRELET_ERR_HANGUP) << false
                                  << "DOWNLOAD FAILED vanished at packet 2";
    }

    void lineFaults()
    {
        QFETCH(QString, fault);
        QFETCH(int, timeoutMs);
        QFETCH(int, result);
        QFETCH(bool, linkRemains);
        QFETCH(QString, report);
        CBoardSimProcess board;
        QVERIFY(board.start({"--max-packet", "1040", fault, "2"}));
        OPEN_AND_CONNECT(board, handle, timeoutMs);

        const Transfer transfer = sendImage(handle, CMemoryFirmwareImage::patternBytes(5000), ByteOrder::Little, 1040);
        QCOMPARE(transfer.packets, 2);
        QCOMPARE(transfer.result, result);
        QTRY_VERIFY2(board.reports().contains(report), qPrintable(board.reports().join('\n')));
        QCOMPARE(QFileInfo(board.linkPath()).isSymLink(), linkRemains);

        uint8_t reply[16];
        uint32_t length = sizeof reply;
        uint8_t more = 9, status = 0;
        t_longestWaitMs = 0;
        t_recordWaits = true;
        const int receivedAgain = CommReceiveData(handle, reply, &length, &more, &status);
        const int closed = CommClose(handle);
        t_recordWaits = false;
        QCOMPARE(receivedAgain, result);
        QCOMPARE(length, 0u);
        QCOMPARE(int(status), result);
        QCOMPARE(closed, int(WIRELET_OK));
        QCOMPARE(t_longestWaitMs, 0);
        QVERIFY(board.stop().clean());
    }

    // A board that stops reading in the middle of a packet: the close drops
    // what the line has not sent, rather than leave it for the board (or
    // wait for it to drain). The board finds no more than its line
    // discipline had taken in before (4096 bytes).
    void closeDropsUnsentBytes()
    {
        int master = -1, slave = -1;
        char name[256];
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        std::thread boardThread([&] {
            Bytes pending;
            const board::InputItem hello = awaitFrame(master, WIRELET_FRAME_HELLO, pending);
            const Bytes ackPayload = board::helloAckPayload(ByteOrder::Little, 1 << 20);
            const Bytes ack = board::frame(WIRELET_FRAME_HELLO_ACK, hello.connection, 0, ackPayload.data(), ackPayload.size());
            (void)!::write(master, ack.data(), ack.size());
        });
        uint32_t handle = 0;
        QCOMPARE(CommOpen(name, 0, &handle, 0, kShortTimeoutMs), int(WIRELET_OK));
        uint8_t options = kConnectOptions;
        const int connected = CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0);
        boardThread.join();
        const Bytes packet(512 * 1024, 0x33);
        const int sent = CommSendData(handle, packet.data(), uint32_t(packet.size()), WIRELET_MODE_BLOCKS, 1);
        QCOMPARE(CommClose(handle), int(WIRELET_OK));
        ::close(slave);
        std::size_t found = 0;
        uint8_t chunk[4096];
        for (ssize_t n; (n = ::read(master, chunk, sizeof chunk)) > 0;)
            found += std::size_t(n);
        ::close(master);
        QCOMPARE(connected, int(WIRELET_OK));
        QCOMPARE(sent, int(WIRELET_ERR_TIMEOUT));
        QVERIFY2(found <= 4096, qPrintable(QString::number(found)));
    }

    // Closing a handle while another thread waits on it: the close waits
    // for that call to end, then the handle is gone for both.
    void closeWhileReceiving()
    {
        CBoardSimProcess board;
        QVERIFY(board.start({"--stop-at-packet", "1"}));
        OPEN_AND_CONNECT(board, handle, kShortTimeoutMs);
        const auto packet = board::packetHeader(0, board::kLastPacket, 0, 0, ByteOrder::Little);
        QCOMPARE(CommSendData(handle, packet.data(), uint32_t(packet.size()), WIRELET_MODE_BLOCKS, 1), int(WIRELET_OK));

        std::atomic<int> received{-1};
        std::thread receiver([&] {
            uint8_t reply[16];
            uint32_t length = sizeof reply;
            uint8_t more = 0, status = 0;
            received = CommReceiveData(handle, reply, &length, &more, &status);
        });
        QTRY_VERIFY(board.reports().contains("DOWNLOAD FAILED stopped answering at packet 1"));
        const int closed = CommClose(handle);
        receiver.join();
        QCOMPARE(closed, int(WIRELET_OK));
        // Either the receive ran first and timed out, or the close came first.
        QVERIFY2(received == WIRELET_ERR_TIMEOUT || received == WIRELET_ERR_HANDLE, qPrintable(QString::number(received)));
        QCOMPARE(CommClose(handle), int(WIRELET_ERR_HANDLE));
        QVERIFY(board.stop().clean());
    }

    void unknownHandle_data()
    {
        QTest::addColumn<bool>("closed");
        QTest::addColumn<uint32_t>("handle");
        QTest::newRow("zero") << false << 0u;
        QTest::newRow("never opened") << false << 0xDEADBEEFu;
        QTest::newRow("closed") << true << 0u;
    }

    void unknownHandle()
    {
        QFETCH(bool, closed);
        QFETCH(uint32_t, handle);
        CBoardSimProcess board;
        if (closed) {
            QVERIFY(board.start());
            QCOMPARE(CommOpen(qPrintable(board.linkPath()), 0, &handle, 0, kTimeoutMs), int(WIRELET_OK));
            QCOMPARE(CommClose(handle), int(WIRELET_OK));
        }
        uint8_t options = kConnectOptions, bytes[16] = {}, more = 0, status = 0;
        int32_t value = 0;
        uint32_t length = sizeof bytes;
        QCOMPARE(CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0), int(WIRELET_ERR_HANDLE));
        QCOMPARE(CommGetOption(handle, WIRELET_OPTION_MAX_PACKET, &value), int(WIRELET_ERR_HANDLE));
        QCOMPARE(CommSendData(handle, bytes, sizeof bytes, WIRELET_MODE_BLOCKS, 1), int(WIRELET_ERR_HANDLE));
        QCOMPARE(CommReceiveData(handle, bytes, &length, &more, &status), int(WIRELET_ERR_HANDLE));
        QCOMPARE(CommDisconnect(handle), int(WIRELET_ERR_HANDLE));
        QCOMPARE(CommClose(handle), int(WIRELET_ERR_HANDLE));
    }

    void openRefused_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("result");
        QTest::newRow("port 1") << "port" << int(WIRELET_ERR_PORT);
        QTest::newRow("no such node") << "missing" << int(WIRELET_ERR_OPEN);
        QTest::newRow("held by another open and lock") << "flock" << int(WIRELET_ERR_BUSY);
        QTest::newRow("held by another handle") << "handle" << int(WIRELET_ERR_BUSY);
        QTest::newRow("no timeout") << "timeout" << int(WIRELET_ERR_ARGUMENT);
        QTest::newRow("regular file where the board was") << "file" << int(WIRELET_ERR_OPEN);
        QTest::newRow("FIFO where the board was") << "fifo" << int(WIRELET_ERR_OPEN);
    }

    void openRefused()
    {
        QFETCH(QString, situation);
        QFETCH(int, result);
        CBoardSimProcess board;
        QVERIFY(board.start());
        QString path = board.linkPath();
        int port = 0, timeout = kTimeoutMs, heldFd = -1;
        uint32_t holder = 0;
        if (situation == "port")
            port = 1;
        else if (situation == "missing")
            path = board.directory() + "/board9";
        else if (situation == "timeout")
            timeout = 0;
        else if (situation == "file") {
            path = board.directory() + "/plain";
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (situation == "fifo") {
            path = board.directory() + "/fifo";
            QCOMPARE(::mkfifo(qPrintable(path), 0600), 0);
        } else if (situation == "flock") {
            heldFd = ::open(qPrintable(path), O_RDWR | O_NOCTTY | O_CLOEXEC);
            QVERIFY(heldFd >= 0);
            QCOMPARE(::flock(heldFd, LOCK_EX | LOCK_NB), 0);
        } else {
            QCOMPARE(CommOpen(qPrintable(path), 0, &holder, 0, kTimeoutMs), int(WIRELET_OK));
        }

        uint32_t handle = 0;
        QCOMPARE(CommOpen(qPrintable(path), port, &handle, 0, timeout), result);
        QCOMPARE(handle, 0u);
        if (heldFd >= 0)
            ::close(heldFd);
        if (holder)
            QCOMPARE(CommClose(holder), int(WIRELET_OK));
        // Once the holder lets go the node opens.
        QCOMPARE(CommOpen(qPrintable(board.linkPath()), 0, &handle, 0, kTimeoutMs), int(WIRELET_OK));
        QCOMPARE(CommClose(handle), int(WIRELET_OK));
        QVERIFY(board.stop().clean());
    }

    // The identity query and a connection share the node: each gets its
    // own answer, also when the query's reply was left unread.
    void identityQueryThenConnection_data()
    {
        QTest::addColumn<bool>("readReply");
        QTest::newRow("reply read") << true;
        QTest::newRow("reply left unread") << false;
    }

    void identityQueryThenConnection()
    {
        QFETCH(bool, readReply);
        CBoardSimProcess board;
        QVERIFY(board.start({"--name", "SIM (2)", "--max-packet", "4096"}));
        const int fd = ::open(qPrintable(board.linkPath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        QVERIFY(writeIdentityQuery(fd));
        const QByteArray reply = readReply ? readIdentityReply(fd, kTimeoutMs) : QByteArray();
        ::close(fd);
        if (readReply) {
            QCOMPARE(reply.size(), 276);
            QCOMPARE(reply.mid(16, 8), QByteArray("SIM (2)\0", 8));
        }

        OPEN_AND_CONNECT(board, handle, kShortTimeoutMs);
        int32_t value = 0;
        QCOMPARE(CommGetOption(handle, WIRELET_OPTION_MAX_PACKET, &value), int(WIRELET_OK));
        QCOMPARE(value, 4096);
        const Transfer transfer = sendImage(handle, CMemoryFirmwareImage::patternBytes(5000), ByteOrder::Little, 4096);
        QCOMPARE(transfer.result, int(WIRELET_OK));
        QCOMPARE(transfer.reportedSum, transfer.sum);
        QCOMPARE(CommClose(handle), int(WIRELET_OK));
        QVERIFY(board.stop().clean());
    }

    // A node that never answers the handshake, whether it stays silent or
    // never stops delivering bytes: the handshake gives up after the timeout.
    void connectWithoutBoardTimesOut_data()
    {
        QTest::addColumn<QString>("node"); // empty: a pseudo-terminal nobody serves
        QTest::addColumn<bool>("writesTakeNothing");
        QTest::newRow("silent line") << QString() << false;
        QTest::newRow("endless zeros") << "/dev/zero" << false;
        QTest::newRow("endless random bytes") << "/dev/urandom" << false;
        QTest::newRow("writes that take nothing") << QString() << true;
        QTest::newRow("writes that take nothing, /dev/null") << "/dev/null" << true;
    }

    void connectWithoutBoardTimesOut()
    {
        QFETCH(QString, node);
        QFETCH(bool, writesTakeNothing);
        int master = -1, slave = -1;
        char name[256];
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        uint32_t handle = 0;
        QCOMPARE(CommOpen(node.isEmpty() ? name : qPrintable(node), 0, &handle, 0, kShortTimeoutMs), int(WIRELET_OK));
        uint8_t options = kConnectOptions;
        QElapsedTimer elapsed;
        elapsed.start();
        g_writesTakeNothing = writesTakeNothing;
        const int connected = CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0);
        g_writesTakeNothing = false;
        QCOMPARE(connected, int(WIRELET_ERR_TIMEOUT));
        QVERIFY(elapsed.elapsed() >= kShortTimeoutMs);
        int32_t value = 0;
        QCOMPARE(CommGetOption(handle, WIRELET_OPTION_MAX_PACKET, &value), int(WIRELET_ERR_STATE));
        QCOMPARE(CommClose(handle), int(WIRELET_OK));
        ::close(slave);
        ::close(master);
    }

    // Receives hand out the one answer to the packet, however it is asked
    // for, and never more than that answer.
    void receiveOneAnswer_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QList<int>>("asked");    // the lengths asked for, one receive each
        QTest::addColumn<QStringList>("results"); // "<length>[ more]" or the failure code

        const QString timeout = QString::number(WIRELET_ERR_TIMEOUT);
        QTest::newRow("in pieces") << QStringList() << QList<int>{4, 12, 1} << QStringList{"4 more", "12", timeout};
        QTest::newRow("one byte short") << QStringList{"--short-reply", "1"} << QList<int>{16, 1}
                                        << QStringList{"15", timeout};
    }

    void receiveOneAnswer()
    {
        QFETCH(QStringList, options);
        QFETCH(QList<int>, asked);
        QFETCH(QStringList, results);
        CBoardSimProcess board;
        QVERIFY(board.start(options));
        OPEN_AND_CONNECT(board, handle, kShortTimeoutMs);
        const auto packet = board::packetHeader(0, board::kLastPacket, 0, 0, ByteOrder::Little);
        QCOMPARE(CommSendData(handle, packet.data(), uint32_t(packet.size()), WIRELET_MODE_BLOCKS, 1), int(WIRELET_OK));

        QStringList seen;
        QByteArray received;
        for (const int wanted : asked) {
            char bytes[16] = {};
            uint32_t length = uint32_t(wanted);
            uint8_t more = 0, status = 99;
            const int result = CommReceiveData(handle, bytes, &length, &more, &status);
            QCOMPARE(int(status), result);
            if (result != WIRELET_OK) {
                QCOMPARE(length, 0u);
                seen << QString::number(result);
                continue;
            }
            seen << QString::number(length) + (more ? " more" : "");
            received.append(bytes, int(length));
        }
        QCOMPARE(seen, results);
        const auto reply = board::packetReply(0, board::kLastPacket, 0, ByteOrder::Little);
        QCOMPARE(received, QByteArray(reinterpret_cast<const char *>(reply.data()), int(received.size())));
        QCOMPARE(CommClose(handle), int(WIRELET_OK));
        QVERIFY(board.stop().clean());
    }

    // A send above the board's largest packet, or above what a frame may
    // carry when the board states more, is refused before anything is written.
    void sendRefusals_data()
    {
        QTest::addColumn<int>("maxPacket");
        QTest::addColumn<uint32_t>("tooLarge");
        QTest::newRow("above the board's largest packet") << 64 << 65u;
        QTest::newRow("above the frame limit") << INT32_MAX << WIRELET_MAX_FRAME_PAYLOAD + 1;
    }

    void sendRefusals()
    {
        QFETCH(int, maxPacket);
        QFETCH(uint32_t, tooLarge);
        CBoardSimProcess board;
        QVERIFY(board.start({"--max-packet", QString::number(maxPacket)}));
        uint32_t handle = 0;
        QCOMPARE(CommOpen(qPrintable(board.linkPath()), 0, &handle, 0, kShortTimeoutMs), int(WIRELET_OK));
        const Bytes bytes(tooLarge, 1);
        QCOMPARE(CommSendData(handle, bytes.data(), 16, WIRELET_MODE_BLOCKS, 1), int(WIRELET_ERR_STATE));
        uint8_t options = kConnectOptions;
        QCOMPARE(CommConnect(handle, 65, &options, 0, 0), int(WIRELET_ERR_ARGUMENT));
        QCOMPARE(CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0), int(WIRELET_OK));
        QCOMPARE(CommSendData(handle, bytes.data(), tooLarge, WIRELET_MODE_BLOCKS, 1), int(WIRELET_ERR_TOO_LARGE));
        QCOMPARE(CommSendData(handle, bytes.data(), 0, WIRELET_MODE_BLOCKS, 1), int(WIRELET_ERR_ARGUMENT));
        QCOMPARE(CommSendData(handle, nullptr, 16, WIRELET_MODE_BLOCKS, 1), int(WIRELET_ERR_ARGUMENT));
        QCOMPARE(CommSendData(handle, bytes.data(), 64, 0, 1), int(WIRELET_ERR_ARGUMENT));
        QCOMPARE(CommClose(handle), int(WIRELET_OK));
        QVERIFY(board.stop().clean());
    }

    // No C++ exception leaves the library: an allocation that fails inside
    // a call is a result code, and the handle works on afterwards.
    void noExceptionCrossesTheInterface_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("open") << "open";
        QTest::newRow("connect") << "connect";
        QTest::newRow("receive") << "receive";
    }

    void noExceptionCrossesTheInterface()
    {
        QFETCH(QString, call);
        CBoardSimProcess board;
        QVERIFY(board.start());
        const QByteArray path = board.linkPath().toLocal8Bit();
        uint32_t handle = 0;
        if (call == "open") {
            QCOMPARE(withoutMemory([&] { return CommOpen(path.constData(), 0, &handle, 0, kTimeoutMs); }),
                     int(WIRELET_ERR_NO_MEMORY));
            QCOMPARE(handle, 0u);
        }
        QCOMPARE(CommOpen(path.constData(), 0, &handle, 0, kTimeoutMs), int(WIRELET_OK));
        uint8_t options = kConnectOptions;
        if (call == "connect")
            QCOMPARE(withoutMemory([&] { return CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0); }),
                     int(WIRELET_ERR_NO_MEMORY));
        QCOMPARE(CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0), int(WIRELET_OK));
        if (call == "receive") {
            const auto packet = board::packetHeader(0, board::kLastPacket, 0, 0, ByteOrder::Little);
            QCOMPARE(CommSendData(handle, packet.data(), uint32_t(packet.size()), WIRELET_MODE_BLOCKS, 1), int(WIRELET_OK));
            uint8_t reply[16];
            uint32_t length = sizeof reply;
            uint8_t more = 9, status = 0;
            QCOMPARE(withoutMemory([&] { return CommReceiveData(handle, reply, &length, &more, &status); }),
                     int(WIRELET_ERR_NO_MEMORY));
            QCOMPARE(length, 0u);
            QCOMPARE(int(status), int(WIRELET_ERR_NO_MEMORY));
        }
        const Transfer transfer = sendImage(handle, CMemoryFirmwareImage::patternBytes(5000), ByteOrder::Little, 65536);
        QCOMPARE(transfer.result, int(WIRELET_OK));
        QCOMPARE(transfer.reportedSum, transfer.sum);
        QCOMPARE(CommClose(handle), int(WIRELET_OK));
        QVERIFY(board.stop().clean());
    }

    // A firmware image may hold any bytes, the identity query and frame
    // headers included: the board takes such a packet whole, whether it
    // arrives in one read or in many.
    void headerLikePayloadToBoard_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("in one piece") << 100;
        QTest::newRow("in pieces") << 60000;
    }

    void headerLikePayloadToBoard()
    {
        QFETCH(int, size);
        CBoardSimProcess board;
        QVERIFY(board.start());
        OPEN_AND_CONNECT(board, handle, kTimeoutMs);
        const Bytes image = headerLikeBytes(std::size_t(size), 0x5A5A5A5A);
        const Transfer transfer = sendImage(handle, image, ByteOrder::Little, 65536);
        QCOMPARE(transfer.result, int(WIRELET_OK));
        QCOMPARE(transfer.packets, 1);
        QCOMPARE(transfer.reportedSum, transfer.sum);
        QCOMPARE(board.waitForLine("DOWNLOAD", kTimeoutMs), downloadAcceptedLine(image.size(), transfer.sum));
        QCOMPARE(CommClose(handle), int(WIRELET_OK));
        QVERIFY(board.stop().clean());
    }

    // The same on the host's end: a board's answer whose payload holds a
    // whole frame of the same connection and packet is handed out whole,
    // also when it arrives in two pieces, the inner frame's header complete
    // in the first.
    void headerLikePayloadFromBoard_data()
    {
        QTest::addColumn<int>("split"); // bytes in the first piece; 0: one piece
        QTest::newRow("in one piece") << 0;
        QTest::newRow("in pieces") << 56;
    }

    void headerLikePayloadFromBoard()
    {
        QFETCH(int, split);
        int master = -1, slave = -1;
        char name[256];
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        Bytes answer;
        std::thread boardThread([&] {
            Bytes pending;
            const board::InputItem hello = awaitFrame(master, WIRELET_FRAME_HELLO, pending);
            const Bytes ackPayload = board::helloAckPayload(ByteOrder::Little, 4096);
            const Bytes ack = board::frame(WIRELET_FRAME_HELLO_ACK, hello.connection, 0, ackPayload.data(), ackPayload.size());
            (void)!::write(master, ack.data(), ack.size());
            const board::InputItem packet = awaitFrame(master, WIRELET_FRAME_DATA, pending);
            const Bytes inner = board::frame(WIRELET_FRAME_ANSWER, packet.connection, packet.sequence,
                                             Bytes(16, 0xEE).data(), 16);
            answer = inner;
            answer.insert(answer.end(), board::kIdentityQuery.begin(), board::kIdentityQuery.end());
            const Bytes outer = board::frame(WIRELET_FRAME_ANSWER, packet.connection, packet.sequence, answer.data(),
                                             answer.size());
            const std::size_t first = split > 0 ? std::size_t(split) : outer.size();
            (void)!::write(master, outer.data(), first);
            ::usleep(100 * 1000);
            (void)!::write(master, outer.data() + first, outer.size() - first);
        });
        uint32_t handle = 0;
        QCOMPARE(CommOpen(name, 0, &handle, 0, kShortTimeoutMs * 10), int(WIRELET_OK));
        uint8_t options = kConnectOptions;
        const int connected = CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0);
        const auto packet = board::packetHeader(0, board::kLastPacket, 0, 0, ByteOrder::Little);
        const int sent = CommSendData(handle, packet.data(), uint32_t(packet.size()), WIRELET_MODE_BLOCKS, 1);
        uint8_t reply[128] = {};
        uint32_t length = sizeof reply;
        uint8_t more = 0, status = 0;
        const int received = CommReceiveData(handle, reply, &length, &more, &status);
        boardThread.join();
        QCOMPARE(CommClose(handle), int(WIRELET_OK));
        ::close(slave);
        ::close(master);
        QCOMPARE(connected, int(WIRELET_OK));
        QCOMPARE(sent, int(WIRELET_OK));
        QCOMPARE(received, int(WIRELET_OK));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reply), int(length)).toHex(' '),
                 QByteArray(reinterpret_cast<const char *>(answer.data()), int(answer.size())).toHex(' '));
    }

    // What a first conversation leaves behind on the line does not answer
    // or swallow the next one: a handshake answered too late, a packet's
    // frame cut off by the host's send timeout (which the close finishes).
    void nextConversation_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("firstTimeoutMs");
        QTest::addColumn<int>("firstConnect"); // the first handshake's result
        QTest::addColumn<QString>("next");     // "connect" again, or the identity "query"
        QTest::addColumn<int>("timeoutMs");    // for the next handshake or query
        QTest::addColumn<int>("result");       // of the next handshake

        const QStringList cut{"--max-packet", "1048576", "--cut-frame", "1"};
        // Below the board's one-second pause, so the send gives up half-way;
        // the close's own timeout then outlasts the pause.
        const int cutTimeoutMs = 700;
        QTest::newRow("late handshake answer") << QStringList{"--late-ack"} << kShortTimeoutMs << int(WIRELET_ERR_TIMEOUT)
                                               << "connect" << kShortTimeoutMs << int(WIRELET_ERR_TIMEOUT);
        QTest::newRow("cut-off frame, then a connection") << cut << cutTimeoutMs << int(WIRELET_OK) << "connect" << 5000
                                                          << int(WIRELET_OK);
        QTest::newRow("cut-off frame, then the identity query") << cut << cutTimeoutMs << int(WIRELET_OK) << "query"
                                                                << 5000 << int(WIRELET_OK);
    }

    void nextConversation()
    {
        QFETCH(QStringList, options);
        QFETCH(int, firstTimeoutMs);
        QFETCH(int, firstConnect);
        QFETCH(QString, next);
        QFETCH(int, timeoutMs);
        QFETCH(int, result);
        CBoardSimProcess board;
        QVERIFY(board.start(QStringList{"--name", "SIM-2"} + options));

        uint32_t first = 0;
        QCOMPARE(CommOpen(qPrintable(board.linkPath()), 0, &first, 0, firstTimeoutMs), int(WIRELET_OK));
        uint8_t options1 = kConnectOptions;
        QCOMPARE(CommConnect(first, WIRELET_MODE_BLOCKS, &options1, 0, 0), firstConnect);
        if (firstConnect == WIRELET_OK) {
            // One packet far larger than the line holds: the board stops
            // reading in its middle and the send gives up.
            const Transfer transfer = sendImage(first, CMemoryFirmwareImage::patternBytes(2 << 20), ByteOrder::Little, 1 << 20);
            QCOMPARE(transfer.packets, 1);
            QCOMPARE(transfer.result, int(WIRELET_ERR_TIMEOUT));
        }
        QCOMPARE(CommClose(first), int(WIRELET_OK));

        if (next == "query") {
            const int fd = ::open(qPrintable(board.linkPath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
            QVERIFY(fd >= 0);
            QVERIFY(writeIdentityQuery(fd));
            const QByteArray reply = readIdentityReply(fd, timeoutMs);
            ::close(fd);
            QCOMPARE(reply.size(), 276);
            QCOMPARE(reply.mid(16, 6), QByteArray("SIM-2\0", 6));
        } else {
            uint32_t handle = 0;
            QCOMPARE(CommOpen(qPrintable(board.linkPath()), 0, &handle, 0, timeoutMs), int(WIRELET_OK));
            uint8_t options2 = kConnectOptions;
            QCOMPARE(CommConnect(handle, WIRELET_MODE_BLOCKS, &options2, 0, 0), result);
            if (result == WIRELET_OK) {
                const Transfer transfer = sendImage(handle, CMemoryFirmwareImage::patternBytes(5000), ByteOrder::Little, 1 << 20);
                QCOMPARE(transfer.result, int(WIRELET_OK));
                QCOMPARE(board.waitForLine("DOWNLOAD OK", timeoutMs), downloadAcceptedLine(5000, transfer.sum));
            }
            QCOMPARE(CommClose(handle), int(WIRELET_OK));
        }
        QVERIFY(board.stop().clean());
    }
};

QTEST_GUILESS_MAIN(TestWirelet)
#include "tst_Wirelet.moc"
