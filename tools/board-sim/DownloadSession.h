#pragma once

#include "BoardProtocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace board {

// Faults the simulated board can be told to show; packet numbers are
// 1-based within a download, 0 means never.
struct DownloadFaults
{
    uint32_t refusePacket = 0;
    uint32_t stopAtPacket = 0;
    uint32_t vanishAtPacket = 0;
    uint32_t doubleReplyPacket = 0; // answered twice
    uint32_t shortReplyPacket = 0;  // answered with one byte too few
    uint32_t longReplyPacket = 0;   // answered with one byte too many
    bool wrongSum = false;
};

// What the board does with one packet.
struct PacketOutcome
{
    enum class Action {
        Reply,  // send `reply`
        Stop,   // never answer this packet nor anything after
        Vanish, // close the line and disappear
    };
    Action action = Action::Reply;
    std::vector<uint8_t> reply;  // normally kPacketHeaderSize bytes
    int replyCount = 1;          // how many times `reply` is sent
    bool startsDownload = false; // the first packet of a download
    bool accepted = false;       // the last packet of a download the board accepts
    // Image bytes the packet carried when it was accepted (into the packet).
    const uint8_t *data = nullptr;
    std::size_t dataSize = 0;
    // The report line when the download ended with this packet, else empty.
    std::string report;
};

// One board's side of downloads: counts packets, keeps the running sum and
// decides every reply. Pure: the caller does the I/O.
class DownloadSession
{
public:
    DownloadSession(ByteOrder order, uint32_t maxPacket, DownloadFaults faults);

    PacketOutcome onPacket(const uint8_t *packet, std::size_t size);
    // The host ended the connection; the report line when a download was
    // still running, else empty.
    std::string onDisconnect();

    uint32_t packets() const { return m_packets; }
    uint64_t bytes() const { return m_bytes; }
    uint32_t sum() const { return m_sum; }

private:
    std::string finish(const std::string &report);
    PacketOutcome decide(const uint8_t *packet, std::size_t size);
    void shapeReply(uint32_t number, PacketOutcome &outcome) const;

    ByteOrder m_order;
    uint32_t m_maxPacket;
    DownloadFaults m_faults;
    uint32_t m_packets = 0;
    uint64_t m_bytes = 0;
    uint32_t m_sum = 0;
};

} // namespace board
