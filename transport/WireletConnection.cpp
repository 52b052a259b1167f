#include "WireletConnection.h"

#include "BoardNode.h"
#include "ByteOrder.h"
#include "Deadline.h"
#include "wirelet.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <thread>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/uio.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::size_t kReadChunk = std::size_t{64} * 1024;
constexpr int kMaxDiscardReads = 256;
constexpr std::chrono::milliseconds kDrainPoll{2};

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

} // namespace

int WireletConnection::open(const char *path, int timeoutMs, std::unique_ptr<WireletConnection> *out)
{
    if (!path || !out || timeoutMs <= 0)
        return WIRELET_ERR_ARGUMENT;
    BoardNode node;
    int error = 0;
    switch (node.open(path, &error)) {
    case BoardNodeError::None:
        break;
    case BoardNodeError::Busy:
        return WIRELET_ERR_BUSY;
    case BoardNodeError::CannotOpen:
    case BoardNodeError::NotADevice:
        return WIRELET_ERR_OPEN;
    }
    out->reset(new WireletConnection(std::move(node), timeoutMs));
    return WIRELET_OK;
}

WireletConnection::WireletConnection(BoardNode node, int timeoutMs)
    : m_node(std::move(node)), m_timeoutMs(timeoutMs)
{
}

WireletConnection::~WireletConnection() = default;

void WireletConnection::startTime()
{
    m_until = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
}

// What a frame may carry now (wirelet.h): the handshake's answer, then the
// largest packet the board stated; so a forged length holds back and costs
// no more than the connection can carry.
void WireletConnection::limitPayload(uint32_t largest)
{
    m_reader.setPayloadLimit(std::min<uint32_t>(std::max<uint32_t>(largest, WIRELET_HELLO_ACK_SIZE),
                                                WIRELET_MAX_FRAME_PAYLOAD));
}

int WireletConnection::checkOpen() const
{
    return m_node.isOpen() ? WIRELET_OK : WIRELET_ERR_HANDLE;
}

int WireletConnection::checkConnected() const
{
    if (!m_node.isOpen())
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
    limitPayload(WIRELET_HELLO_ACK_SIZE);
    m_connection = newConnectionId(m_connection);
    m_sequence = 0;
    m_answerTaken = false;

    startTime();
    const uint8_t hello[WIRELET_HELLO_SIZE] = {WIRELET_WIRE_VERSION, uint8_t(mode), options, 0};
    if (const int result = writeFrame(WIRELET_FRAME_HELLO, 0, hello, sizeof hello, 0, m_until))
        return result;
    if (const int result = awaitHelloAck(m_until))
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
        limitPayload(maxPacket);
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
    startTime();
    return writeFrame(WIRELET_FRAME_DATA, uint8_t(flags), data, length, m_sequence, m_until);
}

int WireletConnection::receive(void *buffer, uint32_t *length, bool *more)
{
    if (const int result = checkConnected())
        return result;
    if (!buffer || *length == 0)
        return WIRELET_ERR_ARGUMENT;
    if (answerLeft() == 0) {
        if (const int result = awaitAnswer(m_until))
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
        // The host's own kind of frame (a line that echoes) answers nothing.
        if (header.type != WIRELET_FRAME_ANSWER || header.connection != m_connection)
            continue;
        if (m_answerTaken || header.sequence != m_sequence)
            return WIRELET_ERR_PROTOCOL;
        m_answer.assign(frame.payload, frame.payload + header.length);
        m_answerStart = 0;
        m_answerTaken = true;
        return WIRELET_OK;
    }
}

int WireletConnection::disconnect()
{
    if (const int result = checkConnected())
        return result;
    m_connected = false;
    return writeFrame(WIRELET_FRAME_BYE, 0, nullptr, 0, 0, m_until);
}

int WireletConnection::close()
{
    if (const int result = checkOpen())
        return result;
    // Within what is left of the connection's time: the board learns the
    // download is over, and a dead line cannot hold the close. What the node
    // has not sent by then is dropped with it.
    if (m_connected)
        disconnect();
    else
        finishCutFrame(m_until);
    awaitDrained(m_until);
    m_node.close();
    return WIRELET_OK;
}

int WireletConnection::writeFrame(uint8_t type, uint8_t flags, const void *payload, uint32_t size, uint32_t sequence,
                                  Clock::time_point until)
{
    if (const int result = finishCutFrame(until))
        return result;
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
    const std::size_t total = sizeof header + std::size_t(size);
    std::size_t written = 0;
    const int result = writeAll(parts, size > 0 ? 2 : 1, until, &written);
    if (written > 0 && written < total)
        m_cutFrameRest = total - written;
    return result;
}

// The board takes a frame's whole announced length once its header is in:
// the rest of a frame given up half-way would swallow the next frames. Zeros
// make it whole; its frame check then fails and the board looks for frames
// behind its header again.
int WireletConnection::finishCutFrame(Clock::time_point until)
{
    static const uint8_t zeros[4096] = {};
    while (m_cutFrameRest > 0) {
        iovec part{const_cast<uint8_t *>(zeros), std::min(sizeof zeros, m_cutFrameRest)};
        std::size_t written = 0;
        const int result = writeAll(&part, 1, until, &written);
        m_cutFrameRest -= written;
        if (result != WIRELET_OK)
            return result;
    }
    return WIRELET_OK;
}

// Writes `count` parts as the node takes them; `*written` counts the bytes
// that went out. Ends at `until` whatever the writes return: a node that is
// always ready but takes nothing must not hold the caller.
int WireletConnection::writeAll(iovec *parts, int count, Clock::time_point until, std::size_t *written)
{
    int first = 0;
    while (first < count) {
        const ssize_t n = ::writev(m_node.fd(), parts + first, count - first);
        const int error = n < 0 ? errno : 0;
        if (n < 0 && error != EINTR && error != EAGAIN)
            return error == EIO ? WIRELET_ERR_HANGUP : WIRELET_ERR_IO;
        if (n > 0) {
            *written += std::size_t(n);
            std::size_t taken = std::size_t(n);
            while (first < count && taken >= parts[first].iov_len)
                taken -= parts[first++].iov_len;
            if (first < count) {
                parts[first].iov_base = static_cast<uint8_t *>(parts[first].iov_base) + taken;
                parts[first].iov_len -= taken;
            }
            if (first == count)
                break;
        }
        if (Clock::now() >= until)
            return WIRELET_ERR_TIMEOUT;
        if (n == 0 || error == EAGAIN) {
            if (const int result = waitFor(POLLOUT, until))
                return result;
        }
    }
    return WIRELET_OK;
}

int WireletConnection::waitFor(short events, Clock::time_point until) const
{
    for (;;) {
        pollfd node{m_node.fd(), events, 0};
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

// A serial line sends what it was given after the write returned: let it,
// the goodbye above included, while the connection's time lasts. A node
// that counts no output queue (a pseudo-terminal) has nothing to wait for.
void WireletConnection::awaitDrained(Clock::time_point until) const
{
    int queued = 0;
    while (::ioctl(m_node.fd(), TIOCOUTQ, &queued) == 0 && queued > 0 && Clock::now() < until)
        std::this_thread::sleep_for(std::min<Clock::duration>(kDrainPoll, until - Clock::now()));
}

// One read of at most kReadChunk bytes into the frame reader, waiting for
// them until `until`.
int WireletConnection::readMore(Clock::time_point until)
{
    for (;;) {
        uint8_t chunk[kReadChunk];
        const ssize_t n = ::read(m_node.fd(), chunk, sizeof chunk);
        if (n > 0) {
            m_reader.append(chunk, std::size_t(n));
            return WIRELET_OK;
        }
        const int error = n < 0 ? errno : 0;
        if (n == 0 || error == EIO)
            return WIRELET_ERR_HANGUP; // end of file; a terminal line whose other end closed
        if (error != EINTR && error != EAGAIN)
            return WIRELET_ERR_IO;
        if (Clock::now() >= until)
            return WIRELET_ERR_TIMEOUT;
        if (error == EAGAIN) {
            if (const int result = waitFor(POLLIN, until))
                return result;
        }
    }
}

// The next intact frame. A node that always has bytes to read never waits,
// and bytes made to look like frames keep the reader busy, so the deadline
// is checked after every look at them and before every read, not only in
// the wait. Past its time a call still reads once what the node holds
// already, and takes a frame only from its front.
int WireletConnection::nextFrame(Clock::time_point until, WireletFrameReader::Frame *frame)
{
    bool readOnce = false;
    for (;;) {
        const WireletFrameReader::Step step = m_reader.next(frame);
        if (step == WireletFrameReader::Step::Frame)
            return WIRELET_OK;
        if (Clock::now() >= until && (step == WireletFrameReader::Step::Skipped || readOnce))
            return WIRELET_ERR_TIMEOUT;
        if (step == WireletFrameReader::Step::NeedMore) {
            readOnce = true;
            if (const int result = readMore(until))
                return result;
        }
    }
}

void WireletConnection::dropInput()
{
    ::tcflush(m_node.fd(), TCIFLUSH); // fails harmlessly on a node that is no terminal
    m_reader.clear();
    m_answer.clear();
    m_answerStart = 0;
    // A node that is no terminal has no flush: read away what is waiting,
    // but do not chase a board that never stops talking.
    for (int reads = 0; reads < kMaxDiscardReads; ++reads) {
        uint8_t discard[4096];
        const ssize_t n = ::read(m_node.fd(), discard, sizeof discard);
        if (n <= 0 && !(n < 0 && errno == EINTR))
            break;
    }
}
