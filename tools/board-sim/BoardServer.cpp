#include "BoardServer.h"

#include <wirelet.h>

#include <algorithm>
#include <cerrno>

#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
// The rate limit lets this much arrive in one burst at most.
constexpr double kMinBurstBytes = 4096;

} // namespace

BoardServer::BoardServer(PublishedPty &pty, const BoardConfig &config, std::ostream &report)
    : m_pty(pty)
    , m_config(config)
    , m_report(report)
    , m_session(config.order, config.maxPacket, config.faults)
    , m_lastRefill(Clock::now())
{
}

void BoardServer::run(const volatile std::sig_atomic_t &stopRequested, const sigset_t &waitMask)
{
    while (!stopRequested) {
        const Clock::time_point now = Clock::now();
        while (!m_scheduled.empty() && m_scheduled.front().due <= now) {
            send(std::move(m_scheduled.front().bytes));
            m_scheduled.pop_front();
        }
        const std::size_t budget = now < m_readPausedUntil ? 0 : readBudget(now);

        pollfd line{-1, 0, 0};
        if (m_pty.isOpen()) {
            line.fd = m_pty.master();
            line.events = short((budget > 0 ? POLLIN : 0) | (m_outbox.empty() ? 0 : POLLOUT));
        }
        const int timeout = pollTimeoutMs(now);
        timespec wait{timeout / 1000, long(timeout % 1000) * 1000000L};
        const int ready = ::ppoll(&line, line.fd >= 0 ? 1 : 0, timeout < 0 ? nullptr : &wait, &waitMask);
        if (ready == 0 && (line.events & POLLIN))
            giveUpStalledFrame(Clock::now());
        if (ready <= 0)
            continue; // a signal, or time for a scheduled reply or more input
        if (line.revents & POLLOUT)
            writeOutput();
        if (line.revents & POLLIN)
            readInput(budget);
    }
    finishSaving();
}

int BoardServer::pollTimeoutMs(Clock::time_point now) const
{
    int timeout = -1;
    auto wakeAt = [&](Clock::time_point due) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - now);
        const int ms = int(std::max<long long>(left.count() + 1, 0));
        timeout = timeout < 0 ? ms : std::min(timeout, ms);
    };
    if (!m_scheduled.empty())
        wakeAt(m_scheduled.front().due);
    if (now < m_readPausedUntil)
        wakeAt(m_readPausedUntil);
    if (m_awaitedBytes > 0)
        wakeAt(m_lastInput + std::chrono::milliseconds(WIRELET_STALLED_FRAME_MS));
    if (m_config.rateBytesPerSecond > 0 && m_tokens < 1) {
        // Wake when a small burst has been earned again.
        const double seconds = std::min(kMinBurstBytes, double(m_config.rateBytesPerSecond)) / double(m_config.rateBytesPerSecond);
        const int earn = int(seconds * 1000) + 1;
        timeout = timeout < 0 ? earn : std::min(timeout, earn);
    }
    return timeout;
}

std::size_t BoardServer::readBudget(Clock::time_point now)
{
    if (m_config.rateBytesPerSecond == 0)
        return kReadChunk;
    const double rate = double(m_config.rateBytesPerSecond);
    const double burst = std::max(kMinBurstBytes, rate / 10);
    m_tokens = std::min(burst, m_tokens + rate * std::chrono::duration<double>(now - m_lastRefill).count());
    m_lastRefill = now;
    return std::size_t(std::min(m_tokens, double(kReadChunk)));
}

void BoardServer::readInput(std::size_t budget)
{
    // Drain what is there before waiting again: one wait per burst, not per
    // terminal-sized read.
    uint8_t chunk[kReadChunk];
    while (budget > 0 && m_pty.isOpen() && Clock::now() >= m_readPausedUntil) {
        const ssize_t n = ::read(m_pty.master(), chunk, std::min(budget, sizeof chunk));
        if (n <= 0)
            return; // EAGAIN or EINTR: poll again
        m_lastInput = Clock::now();
        m_tokens -= double(n);
        budget -= std::size_t(n);
        if (m_echoing) {
            send(std::vector<uint8_t>(chunk, chunk + n));
            continue;
        }
        m_inbox.insert(m_inbox.end(), chunk, chunk + n);
        processInput();
    }
}

void BoardServer::writeOutput()
{
    const ssize_t n = ::write(m_pty.master(), m_outbox.data(), m_outbox.size());
    if (n > 0)
        m_outbox.erase(m_outbox.begin(), m_outbox.begin() + n);
}

void BoardServer::processInput()
{
    while (m_pty.isOpen()) {
        // A frame whose header is in: its payload is read, not looked at,
        // until all of it is there.
        const std::size_t available = m_inbox.size() - m_inboxStart;
        if (available < m_awaitedBytes)
            break;
        const uint8_t *front = m_inbox.data() + m_inboxStart;
        const board::InputItem item = board::scanInput(front, available, framePayloadLimit());
        if (item.kind == board::InputKind::NeedMore) {
            m_awaitedBytes = item.payloadOffset + item.payloadSize; // 0 while no header is known
            onPendingFrame(item);
            break;
        }
        m_awaitedBytes = 0;
        if (item.kind == board::InputKind::Query)
            onQuery();
        else if (item.kind == board::InputKind::Frame)
            onFrame(item, front + item.payloadOffset);
        m_inboxStart += item.size;
    }
    if (!m_pty.isOpen()) {
        m_inbox.clear();
        m_inboxStart = 0;
        m_awaitedBytes = 0;
        return;
    }
    // Keep the buffer from creeping: move the unread rest to the front.
    m_inbox.erase(m_inbox.begin(), m_inbox.begin() + std::ptrdiff_t(m_inboxStart));
    m_inboxStart = 0;
}

// What a frame may carry (wirelet.h): a handshake outside a connection,
// the largest packet stated within one. A forged length holds nothing back
// beyond that.
uint32_t BoardServer::framePayloadLimit() const
{
    if (m_connection == 0)
        return WIRELET_HELLO_SIZE;
    return std::min<uint32_t>(std::max<uint32_t>(m_config.maxPacket, WIRELET_HELLO_SIZE), WIRELET_MAX_FRAME_PAYLOAD);
}

// A frame whose bytes stopped coming was given up by its sender, and its
// rest is never coming: look again one byte behind its start, so that it
// does not swallow the next conversation.
void BoardServer::giveUpStalledFrame(Clock::time_point now)
{
    if (m_awaitedBytes == 0 || now < m_lastInput + std::chrono::milliseconds(WIRELET_STALLED_FRAME_MS))
        return;
    m_awaitedBytes = 0;
    ++m_inboxStart;
    processInput();
}

void BoardServer::onQuery()
{
    if (m_config.silent || m_stopped)
        return;
    m_pty.dropUnreadByHost();
    const auto reply = board::identityReply(m_config.name, m_config.terminateName);
    std::vector<uint8_t> bytes(reply.begin(), reply.end());
    if (m_config.replyDelayMs <= 0)
        send(std::move(bytes));
    else
        m_scheduled.push_back({Clock::now() + std::chrono::milliseconds(m_config.replyDelayMs), std::move(bytes)});
}

void BoardServer::onFrame(const board::InputItem &item, const uint8_t *payload)
{
    if (m_stopped)
        return;
    // Packets and goodbyes of another connection are leftovers: not for us.
    const bool current = m_connection != 0 && item.connection == m_connection;
    switch (item.frameType) {
    case WIRELET_FRAME_HELLO:
        onHello(item.connection);
        break;
    case WIRELET_FRAME_DATA:
        if (current)
            onPacket(item.sequence, payload, item.payloadSize);
        break;
    case WIRELET_FRAME_BYE:
        if (current) {
            printReport(m_session.onDisconnect());
            finishSaving();
            m_connection = 0;
        }
        break;
    default:
        break; // the board's own kinds (an echo) and unknown ones are not meant for it
    }
}

void BoardServer::onHello(uint32_t connection)
{
    printReport(m_session.onDisconnect());
    // Answers to queries of an earlier conversation must not reach this one.
    m_scheduled.clear();
    m_pty.dropUnreadByHost();
    m_connection = connection;
    const std::vector<uint8_t> payload = board::helloAckPayload(m_config.order, m_config.maxPacket);
    std::vector<uint8_t> ack = board::frame(WIRELET_FRAME_HELLO_ACK, connection, 0, payload.data(), payload.size());
    if (!m_config.lateAck) {
        send(std::move(ack));
        m_echoing = m_config.echo;
        return;
    }
    if (!m_withheldAck.empty())
        send(std::move(m_withheldAck));
    m_withheldAck = std::move(ack);
}

void BoardServer::onPacket(uint32_t sequence, const uint8_t *packet, std::size_t size)
{
    board::PacketOutcome outcome = m_session.onPacket(packet, size);
    saveImageBytes(outcome.startsDownload, outcome.data, outcome.dataSize);
    // A download whose bytes could not be kept is no success of the board.
    if (!outcome.report.empty() && !finishSaving() && outcome.accepted)
        outcome.report = "DOWNLOAD FAILED could not save to " + m_config.saveFile;
    switch (outcome.action) {
    case board::PacketOutcome::Action::Reply:
        for (int i = 0; i < outcome.replyCount; ++i)
            sendFrame(WIRELET_FRAME_ANSWER, sequence, outcome.reply.data(), outcome.reply.size());
        break;
    case board::PacketOutcome::Action::Stop:
        m_stopped = true;
        m_scheduled.clear();
        break;
    case board::PacketOutcome::Action::Vanish:
        m_pty.close();
        m_outbox.clear();
        m_scheduled.clear();
        break;
    }
    printReport(outcome.report);
}

// --cut-frame: the packet's frame has begun; stop reading in its middle.
void BoardServer::onPendingFrame(const board::InputItem &item)
{
    if (m_config.cutFramePacket == 0 || item.frameType != WIRELET_FRAME_DATA || item.connection != m_connection
        || m_session.packets() + 1 != m_config.cutFramePacket)
        return;
    m_config.cutFramePacket = 0;
    m_readPausedUntil = Clock::now() + kCutFramePause;
}

void BoardServer::send(std::vector<uint8_t> bytes)
{
    m_outbox.insert(m_outbox.end(), bytes.begin(), bytes.end());
    if (m_pty.isOpen())
        writeOutput(); // most answers fit at once; poll takes the rest
}

void BoardServer::sendFrame(uint8_t type, uint32_t sequence, const uint8_t *payload, std::size_t size)
{
    send(board::frame(type, m_connection, sequence, payload, size));
}

void BoardServer::saveImageBytes(bool startsDownload, const uint8_t *data, std::size_t size)
{
    if (m_config.saveFile.empty())
        return;
    if (startsDownload) {
        m_save.reset(std::fopen(m_config.saveFile.c_str(), "wb"));
        m_saveFailed = !m_save;
    }
    if (m_save && size > 0 && std::fwrite(data, 1, size, m_save.get()) != size)
        m_saveFailed = true;
}

bool BoardServer::finishSaving()
{
    if (m_save && std::fclose(m_save.release()) != 0)
        m_saveFailed = true;
    const bool saved = !m_saveFailed;
    m_saveFailed = false;
    return saved;
}

void BoardServer::printReport(const std::string &line)
{
    if (!line.empty())
        m_report << line << std::endl;
}
