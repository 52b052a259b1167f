#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// One open board node and the conversation on it: the frames of the wire,
// the handshake and the byte stream of the board's answers. Every call
// returns a WireletResult code. Callers serialise calls through mutex().
class WireletConnection
{
public:
    // Opens and locks the node; on success `*out` holds the connection.
    static int open(const char *path, int timeoutMs, std::unique_ptr<WireletConnection> *out);
    ~WireletConnection();
    WireletConnection(const WireletConnection &) = delete;
    WireletConnection &operator=(const WireletConnection &) = delete;

    std::mutex &mutex() { return m_mutex; }

    int connect(int mode, uint8_t options);
    int option(int option, int32_t *value) const;
    int send(const void *data, uint32_t length, int mode, int flags);
    int receive(void *buffer, uint32_t length, bool *more);
    int disconnect();
    // Disconnects if needed and releases the node; later calls see a closed
    // handle.
    int close();

private:
    using Clock = std::chrono::steady_clock;

    WireletConnection(int fd, int timeoutMs);
    Clock::time_point deadline() const;
    int checkOpen() const;
    int checkConnected() const;
    int writeFrame(uint8_t type, uint8_t flags, const void *payload, std::size_t size, Clock::time_point until);
    int waitFor(short events, Clock::time_point until) const;
    int readMore(Clock::time_point until);
    int nextFrame(Clock::time_point until, uint8_t *type, std::size_t *payloadOffset, std::size_t *payloadSize);
    void dropInput();
    std::size_t pendingSize() const { return m_pending.size() - m_pendingStart; }

    std::mutex m_mutex;
    int m_fd;
    int m_timeoutMs;
    bool m_connected = false;
    int32_t m_maxPacket = 0;
    int32_t m_littleEndian = 1;
    // Raw bytes read from the node, not yet taken apart into frames.
    std::vector<uint8_t> m_inbox;
    std::size_t m_inboxStart = 0;
    // Payload bytes of the board's data frames, not yet handed out.
    std::vector<uint8_t> m_pending;
    std::size_t m_pendingStart = 0;
};
