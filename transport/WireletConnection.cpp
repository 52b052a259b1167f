#include "WireletConnection.h"

#include "ByteOrder.h"
#include "Deadline.h"
#include "wirelet.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr int kMaxDiscardReads = 256;

// Random, so that a late answer to another connection, of this process or
// an earlier one, never carries this connection's id.
uint32_t newConnectionId(uint32_t previous)
{
    std::random_device source;
    uint32_t id = 0;
    while (id == 0 || id == previous)
        id = uint32_t(source());
    return id;
}

// A terminal line (a simulated board) must pass every byte unchanged and
// must not keep anything from an earlier conversation.
void prepareLine(int fd)
{
    termios mode;
    if (::tcgetattr(fd, &mode) != 0)
        return; // not a terminal: a board's own node
    ::cfmakeraw(&mode);
    ::tcsetattr(fd, TCSANOW, &mode);
    ::tcflush(fd, TCIOFLUSH);
}

} // namespace

int WireletConnection::open(const char *path, int timeoutMs, std::unique_ptr<WireletConnection> *out)
{
    if (!path || !out || timeoutMs <= 0)
        return WIRELET_ERR_ARGUMENT;
    const int fd = ::open(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return WIRELET_ERR_OPEN;
    // A board is a character device; frames must never land in a file or a
    // pipe that happens to sit where the board was.
    struct stat node;
    if (::fstat(fd, &node) != 0 || !S_ISCHR(node.st_mode)) {
        ::close(fd);
        return WIRELET_ERR_OPEN;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? WIRELET_ERR_BUSY : WIRELET_ERR_OPEN;
    }
    prepareLine(fd);
    out->reset(new WireletConnection(fd, timeoutMs));
    return WIRELET_OK;
}

WireletConnection::WireletConnection(int fd, int timeoutMs) : m_fd(fd), m_timeoutMs(timeoutMs)
{
}

WireletConnection::~WireletConnection()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

WireletConnection::Clock::time_point WireletConnection::deadline() const
{
    return Clock::now() + std::chrono::milliseconds(m_timeoutMs);
}

int WireletConnection::checkOpen() const
{
    return m_fd >= 0 ? WIRELET_OK : WIRELET_ERR_HANDLE;
}

int WireletConnection::checkConnected() const
{
    if (m_fd < 0)
        return WIRELET_ERR_HANDLE;
    return m_connected ? WIRELET_OK : WIRELET_ERR_STATE;
}

int WireletConnection::connect(int mode, uint8_t options)
{
    if (const int result = checkOpen())
        return result;
    if (m_connected)
        return WIRELET_ERR_STATE;
    if (mode != WIRELET_MODE_BLOCKS)
        return WIRELET_ERR_ARGUMENT;
    dropInput();
    m_connection = newConnectionId(m_connection);
    m_sequence = 0;
    m_answerTaken = false;

    const Clock::time_point until = deadline();
    const uint8_t hello[WIRELET_HELLO_SIZE] = {WIRELET_WIRE_VERSION, uint8_t(mode), options, 0};
    if (const int result = writeFrame(WIRELET_FRAME_HELLO, 0, hello, sizeof hello, 0, until))
        return result;
    if (const int result = awaitHelloAck(until))
        return result;
    m_connected = true;
    return WIRELET_OK;
}

// Only the answer to this connection's own HELLO counts.
int WireletConnection::awaitHelloAck(Clock::time_point until)
{
    for (;;) {
        WireletFrameReader::Frame frame;
        if (const int result = nextFrame(until, &frame))
            return result;
        if (frame.header.type != WIRELET_FRAME_HELLO_ACK || frame.header.connection != m_connection)
            continue;
        const uint8_t *ack = frame.payload;
        if (frame.header.length < WIRELET_HELLO_ACK_SIZE || ack[0] != WIRELET_WIRE_VERSION)
            return WIRELET_ERR_PROTOCOL;
        const uint32_t maxPacket = load32(ack + WIRELET_ACK_MAX_PACKET_OFFSET, kFrameLittleEndian);
        if (maxPacket > uint32_t(INT32_MAX))
            return WIRELET_ERR_PROTOCOL;
        m_maxPacket = int32_t(maxPacket);
        m_littleEndian = ack[WIRELET_ACK_ORDER_OFFSET] != 0 ? 1 : 0;
        return WIRELET_OK;
    }
}

int WireletConnection::option(int option, int32_t *value) const
{
    if (const int result = checkConnected())
        return result;
    if (!value)
        return WIRELET_ERR_ARGUMENT;
    switch (option) {
    case WIRELET_OPTION_MAX_PACKET:
        *value = m_maxPacket;
        return WIRELET_OK;
    case WIRELET_OPTION_BYTE_ORDER:
        *value = m_littleEndian;
        return WIRELET_OK;
    }
    return WIRELET_ERR_OPTION;
}

int WireletConnection::send(const void *data, uint32_t length, int mode, int flags)
{
    if (const int result = checkConnected())
        return result;
    if (!data || length == 0 || mode != WIRELET_MODE_BLOCKS)
        return WIRELET_ERR_ARGUMENT;
    if (length > uint32_t(m_maxPacket) || length > WIRELET_MAX_FRAME_PAYLOAD)
        return WIRELET_ERR_TOO_LARGE;
    // From here on only an answer to this packet counts, even when the
    // write fails half-way.
    m_sequence = m_sequence == UINT32_MAX ? 1 : m_sequence + 1;
    m_answerTaken = false;
    m_answer.clear();
    m_answerStart = 0;
    return writeFrame(WIRELET_FRAME_DATA, uint8_t(flags), data, length, m_sequence, deadline());
}

int WireletConnection::receive(void *buffer, uint32_t *length, bool *more)
{
    if (const int result = checkConnected())
        return result;
    if (!buffer || *length == 0)
        return WIRELET_ERR_ARGUMENT;
    if (answerLeft() == 0) {
        if (const int result = awaitAnswer(deadline()))
            return result;
    }
    const std::size_t n = std::min<std::size_t>(*length, answerLeft());
    if (n > 0)
        std::memcpy(buffer, m_answer.data() + m_answerStart, n);
    m_answerStart += n;
    *length = uint32_t(n);
    *more = answerLeft() > 0;
    return WIRELET_OK;
}

// The board's one answer to the packet sent last. What an earlier
// connection left behind is dropped; within this connection a second answer,
// or one to a packet that was never sent, means board and host no longer
// agree on the conversation, and that is an error, not something to skip.
int WireletConnection::awaitAnswer(Clock::time_point until)
{
    for (;;) {
        WireletFrameReader::Frame frame;
        if (const int result = nextFrame(until, &frame))
            return result;
        const WireletFrameHeader &header = frame.header;
        if (header.type != WIRELET_FRAME_DATA || header.connection != m_connection)
            continue;
        if (m_answerTaken || header.sequence != m_sequence)
            return WIRELET_ERR_PROTOCOL;
        m_answerTaken = true;
        m_answer.assign(frame.payload, frame.payload + header.length);
        m_answerStart = 0;
        return WIRELET_OK;
    }
}

int WireletConnection::disconnect()
{
    if (const int result = checkConnected())
        return result;
    m_connected = false;
    return writeFrame(WIRELET_FRAME_BYE, 0, nullptr, 0, 0, deadline());
}

int WireletConnection::close()
{
    if (const int result = checkOpen())
        return result;
    if (m_connected)
        disconnect(); // the board learns the download is over; a dead line cannot stop the close
    ::close(m_fd);
    m_fd = -1;
    return WIRELET_OK;
}

int WireletConnection::writeFrame(uint8_t type, uint8_t flags, const void *payload, uint32_t size, uint32_t sequence,
                                  Clock::time_point until)
{
    uint8_t header[WIRELET_FRAME_HEADER_SIZE];
    WireletFrameHeader fields;
    fields.type = type;
    fields.flags = flags;
    fields.length = size;
    fields.connection = m_connection;
    fields.sequence = sequence;
    encodeFrameHeader(fields, payload, header);
    // Header and payload go out together, without copying the payload.
    iovec parts[2] = {{header, sizeof header}, {const_cast<void *>(payload), size}};
    int first = 0;
    const int count = size > 0 ? 2 : 1;
    while (first < count) {
        const ssize_t n = ::writev(m_fd, parts + first, count - first);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                return errno == EIO ? WIRELET_ERR_HANGUP : WIRELET_ERR_IO;
            if (const int result = waitFor(POLLOUT, until))
                return result;
            continue;
        }
        std::size_t written = std::size_t(n);
        while (first < count && written >= parts[first].iov_len)
            written -= parts[first++].iov_len;
        if (first < count) {
            parts[first].iov_base = static_cast<uint8_t *>(parts[first].iov_base) + written;
            parts[first].iov_len -= written;
        }
    }
    return WIRELET_OK;
}

int WireletConnection::waitFor(short events, Clock::time_point until) const
{
    for (;;) {
        pollfd node{m_fd, events, 0};
        const int ready = ::poll(&node, 1, millisecondsUntil(until));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return WIRELET_ERR_IO;
        if (ready == 0)
            return WIRELET_ERR_TIMEOUT;
        if (node.revents & events)
            return WIRELET_OK;
        if (node.revents & POLLHUP)
            return WIRELET_ERR_HANGUP;
        return WIRELET_ERR_IO;
    }
}

// One read of at most kReadChunk bytes into the frame reader, waiting for
// them until `until`.
int WireletConnection::readMore(Clock::time_point until)
{
    for (;;) {
        uint8_t chunk[kReadChunk];
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n > 0) {
            m_reader.append(chunk, std::size_t(n));
            return WIRELET_OK;
        }
        if (n == 0 || errno == EIO)
            return WIRELET_ERR_HANGUP; // end of file; a terminal line whose other end closed
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return WIRELET_ERR_IO;
        if (const int result = waitFor(POLLIN, until))
            return result;
    }
}

// The next intact frame. A node that always has bytes to read never waits,
// so the deadline is checked before every read, not only in the wait.
int WireletConnection::nextFrame(Clock::time_point until, WireletFrameReader::Frame *frame)
{
    for (;;) {
        if (m_reader.next(frame))
            return WIRELET_OK;
        if (Clock::now() >= until)
            return WIRELET_ERR_TIMEOUT;
        if (const int result = readMore(until))
            return result;
    }
}

void WireletConnection::dropInput()
{
    ::tcflush(m_fd, TCIFLUSH); // fails harmlessly on a node that is no terminal
    m_reader.clear();
    m_answer.clear();
    m_answerStart = 0;
    // A node that is no terminal has no flush: read away what is waiting,
    // but do not chase a board that never stops talking.
    for (int reads = 0; reads < kMaxDiscardReads; ++reads) {
        uint8_t discard[4096];
        const ssize_t n = ::read(m_fd, discard, sizeof discard);
        if (n <= 0 && !(n < 0 && errno == EINTR))
            break;
    }
}
