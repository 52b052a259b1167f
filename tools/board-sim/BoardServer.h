#pragma once

#include "BoardProtocol.h"
#include "DownloadSession.h"
#include "PublishedPty.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// How the simulated board behaves (the command line's options).
struct BoardConfig
{
    std::string name = "VELVANE SIM-1";
    int replyDelayMs = 0;
    bool silent = false;
    bool terminateName = true;
    board::ByteOrder order = board::ByteOrder::Little;
    uint32_t maxPacket = 65536;
    board::DownloadFaults faults;
    uint64_t rateBytesPerSecond = 0; // 0: no limit
    std::string saveFile;            // empty: keep nothing
    // Once, stop reading for kCutFramePause in the middle of this packet's
    // frame (1-based), so that a host with a shorter timeout cuts it off.
    uint32_t cutFramePacket = 0;
    bool lateAck = false; // answer each HELLO only when the next one comes
    bool echo = false;    // after the first handshake, send back what arrives and nothing else
};

// How long the board stops reading for --cut-frame.
constexpr std::chrono::milliseconds kCutFramePause{1000};

// Serves one published line until asked to stop: answers identity queries,
// runs the transport handshake and downloads, and reports each finished
// download on `report`.
class BoardServer
{
public:
    BoardServer(PublishedPty &pty, const BoardConfig &config, std::ostream &report);

    // Returns when `stopRequested` becomes nonzero. The signals that set it
    // are blocked outside the wait; `waitMask` is the mask to wait with.
    void run(const volatile std::sig_atomic_t &stopRequested, const sigset_t &waitMask);

private:
    using Clock = std::chrono::steady_clock;
    struct Scheduled
    {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
    };

    int pollTimeoutMs(Clock::time_point now) const;
    std::size_t readBudget(Clock::time_point now);
    void readInput(std::size_t budget);
    uint32_t framePayloadLimit() const;
    void giveUpStalledFrame(Clock::time_point now);
    void writeOutput();
    void processInput();
    void onQuery();
    void onFrame(const board::InputItem &item, const uint8_t *payload);
    void onHello(uint32_t connection);
    void onPacket(uint32_t sequence, const uint8_t *packet, std::size_t size);
    void onPendingFrame(const board::InputItem &item);
    void send(std::vector<uint8_t> bytes);
    void sendFrame(uint8_t type, uint32_t sequence, const uint8_t *payload, std::size_t size);
    void saveImageBytes(bool startsDownload, const uint8_t *data, std::size_t size);
    // Closes the save file; false when any of the download's bytes could
    // not be written to it.
    bool finishSaving();
    void printReport(const std::string &line);

    PublishedPty &m_pty;
    BoardConfig m_config;
    std::ostream &m_report;
    board::DownloadSession m_session;
    bool m_stopped = false;             // stopped answering for good
    bool m_echoing = false;             // --echo: the line only loops back from now on
    uint32_t m_connection = 0;          // the host's id for the current connection, 0: none
    std::vector<uint8_t> m_withheldAck; // --late-ack: the answer to the last HELLO
    Clock::time_point m_readPausedUntil{};
    std::vector<uint8_t> m_inbox;
    std::size_t m_inboxStart = 0;
    std::size_t m_awaitedBytes = 0;  // the pending frame's whole size once its header is in, else 0
    Clock::time_point m_lastInput{}; // when a read last brought bytes
    std::vector<uint8_t> m_outbox;
    std::deque<Scheduled> m_scheduled;
    double m_tokens = 0;
    Clock::time_point m_lastRefill;
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> m_save{nullptr, &std::fclose};
    bool m_saveFailed = false;
};
