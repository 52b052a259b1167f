#pragma once

#include "BoardNode.h"
#include "WireletFrameReader.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <sys/uio.h>

// One open board node and the conversation on it: the frames of the wire,
// the handshake and the board's answers, one per packet. Every call returns
// a WireletResult code. Callers serialise calls through mutex().
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
    // Hands out at most *length bytes of the current answer; *length becomes
    // the number handed out.
    int receive(void *buffer, uint32_t *length, bool *more);
    int disconnect();
    // Disconnects if needed and releases the node; later calls see a closed
    // handle.
    int close();

private:
    using Clock = std::chrono::steady_clock;

    WireletConnection(BoardNode node, int timeoutMs);
    // Starts the connection's time: the deadline of a handshake, or of a
    // packet's whole exchange and the goodbye behind it.
    void startTime();
    int checkOpen() const;
    int checkConnected() const;
    int writeFrame(uint8_t type, uint8_t flags, const void *payload, uint32_t size, uint32_t sequence,
                   Clock::time_point until);
    int finishCutFrame(Clock::time_point until);
    int writeAll(iovec *parts, int count, Clock::time_point until, std::size_t *written);
    int waitFor(short events, Clock::time_point until) const;
    int readMore(Clock::time_point until);
    int nextFrame(Clock::time_point until, WireletFrameReader::Frame *frame);
    int awaitHelloAck(Clock::time_point until);
    int awaitAnswer(Clock::time_point until);
    void dropInput();
    void awaitDrained(Clock::time_point until) const;
    void limitPayload(uint32_t largest);
    std::size_t answerLeft() const { return m_answer.size() - m_answerStart; }

    std::mutex m_mutex;
    BoardNode m_node;
    int m_timeoutMs;
    Clock::time_point m_until{}; // the end of the connection's time, shared by the calls it covers
    bool m_connected = false;
    int32_t m_maxPacket = 0;
    int32_t m_littleEndian = 1;
    uint32_t m_connection = 0;      // this connection's id, in every frame of it
    uint32_t m_sequence = 0;        // the number of the DATA frame sent last
    bool m_answerTaken = false;     // its answer arrived (it may still be handed out)
    std::size_t m_cutFrameRest = 0; // bytes of a frame given up half-way, still owed to the line
    WireletFrameReader m_reader;
    // The current answer's payload and how much of it was handed out.
    std::vector<uint8_t> m_answer;
    std::size_t m_answerStart = 0;
};
