#include "WireletConnection.h"

#include "wirelet.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/uio.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr int kMaxDiscardReads = 256;

uint32_t readLittle32(const uint8_t *at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

void writeLittle32(uint8_t *at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = uint8_t(value >> (8 * i));
}

int millisecondsUntil(std::chrono::steady_clock::time_point until)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    // Round up so the last wait does not spin on a sub-millisecond rest.
    return left.count() > 0 ? int(left.count()) + 1 : 0;
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

    const Clock::time_point until = deadline();
    const uint8_t hello[WIRELET_HELLO_SIZE] = {WIRELET_WIRE_VERSION, uint8_t(mode), options, 0};
    if (const int result = writeFrame(WIRELET_FRAME_HELLO, 0, hello, sizeof hello, until))
        return result;
    for (;;) {
        uint8_t type = 0;
        std::size_t offset = 0, size = 0;
        if (const int result = nextFrame(until, &type, &offset, &size))
            return result;
        if (type != WIRELET_FRAME_HELLO_ACK)
            continue; // left over from before: not an answer to this hello
        const uint8_t *ack = m_inbox.data() + offset;
        if (size < WIRELET_HELLO_ACK_SIZE || ack[0] != WIRELET_WIRE_VERSION)
            return WIRELET_ERR_PROTOCOL;
        const uint32_t maxPacket = readLittle32(ack + WIRELET_ACK_MAX_PACKET_OFFSET);
        if (maxPacket > uint32_t(INT32_MAX))
            return WIRELET_ERR_PROTOCOL;
        m_maxPacket = int32_t(maxPacket);
        m_littleEndian = ack[WIRELET_ACK_ORDER_OFFSET] != 0 ? 1 : 0;
        m_connected = true;
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
    if (length > uint32_t(m_maxPacket))
        return WIRELET_ERR_TOO_LARGE;
    return writeFrame(WIRELET_FRAME_DATA, uint8_t(flags), data, length, deadline());
}

int WireletConnection::receive(void *buffer, uint32_t length, bool *more)
{
    if (const int result = checkConnected())
        return result;
    if (!buffer)
        return WIRELET_ERR_ARGUMENT;
    const Clock::time_point until = deadline();
    while (pendingSize() < length) {
        uint8_t type = 0;
        std::size_t offset = 0, size = 0;
        if (const int result = nextFrame(until, &type, &offset, &size))
            return result;
        if (type == WIRELET_FRAME_DATA)
            m_pending.insert(m_pending.end(), m_inbox.begin() + std::ptrdiff_t(offset),
                             m_inbox.begin() + std::ptrdiff_t(offset + size));
    }
    if (length > 0)
        std::memcpy(buffer, m_pending.data() + m_pendingStart, length);
    m_pendingStart += length;
    if (m_pendingStart == m_pending.size()) {
        m_pending.clear();
        m_pendingStart = 0;
    }
    *more = pendingSize() > 0;
    return WIRELET_OK;
}

int WireletConnection::disconnect()
{
    if (const int result = checkConnected())
        return result;
    m_connected = false;
    return writeFrame(WIRELET_FRAME_BYE, 0, nullptr, 0, deadline());
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

int WireletConnection::writeFrame(uint8_t type, uint8_t flags, const void *payload, std::size_t size,
                                  Clock::time_point until)
{
    uint8_t header[WIRELET_FRAME_HEADER_SIZE] = {WIRELET_FRAME_MAGIC0, WIRELET_FRAME_MAGIC1, type, flags};
    writeLittle32(header + WIRELET_FRAME_LENGTH_OFFSET, uint32_t(size));
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

int WireletConnection::readMore(Clock::time_point until)
{
    // Move what is still unread to the front before the buffer grows.
    if (m_inboxStart > 0) {
        m_inbox.erase(m_inbox.begin(), m_inbox.begin() + std::ptrdiff_t(m_inboxStart));
        m_inboxStart = 0;
    }
    for (;;) {
        uint8_t chunk[kReadChunk];
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n > 0) {
            m_inbox.insert(m_inbox.end(), chunk, chunk + n);
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

int WireletConnection::nextFrame(Clock::time_point until, uint8_t *type, std::size_t *payloadOffset,
                                 std::size_t *payloadSize)
{
    for (;;) {
        const uint8_t *front = m_inbox.data() + m_inboxStart;
        const std::size_t available = m_inbox.size() - m_inboxStart;
        if (available >= 1 && front[0] != WIRELET_FRAME_MAGIC0) {
            ++m_inboxStart; // not the start of a frame
            continue;
        }
        if (available >= 2 && front[1] != WIRELET_FRAME_MAGIC1) {
            ++m_inboxStart;
            continue;
        }
        if (available >= WIRELET_FRAME_HEADER_SIZE) {
            const uint32_t size = readLittle32(front + WIRELET_FRAME_LENGTH_OFFSET);
            if (size > WIRELET_MAX_FRAME_PAYLOAD) {
                ++m_inboxStart; // a length no frame has: this was no header
                continue;
            }
            if (available >= WIRELET_FRAME_HEADER_SIZE + std::size_t(size)) {
                *type = front[WIRELET_FRAME_TYPE_OFFSET];
                *payloadOffset = m_inboxStart + WIRELET_FRAME_HEADER_SIZE;
                *payloadSize = size;
                m_inboxStart += WIRELET_FRAME_HEADER_SIZE + size;
                return WIRELET_OK;
            }
        }
        if (const int result = readMore(until))
            return result;
    }
}

void WireletConnection::dropInput()
{
    ::tcflush(m_fd, TCIFLUSH); // fails harmlessly on a node that is no terminal
    m_inbox.clear();
    m_inboxStart = 0;
    m_pending.clear();
    m_pendingStart = 0;
    // A node that is no terminal has no flush: read away what is waiting,
    // but do not chase a board that never stops talking.
    for (int reads = 0; reads < kMaxDiscardReads; ++reads) {
        uint8_t discard[4096];
        const ssize_t n = ::read(m_fd, discard, sizeof discard);
        if (n <= 0 && !(n < 0 && errno == EINTR))
            break;
    }
}
