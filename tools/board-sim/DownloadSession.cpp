#include "DownloadSession.h"

#include <cstdio>

namespace board {

namespace {

std::string hex32(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

std::vector<uint8_t> replyBytes(uint16_t status, uint16_t lastFlag, uint32_t checksum, ByteOrder order)
{
    const auto reply = packetReply(status, lastFlag, checksum, order);
    return {reply.begin(), reply.end()};
}

} // namespace

DownloadSession::DownloadSession(ByteOrder order, uint32_t maxPacket, DownloadFaults faults)
    : m_order(order), m_maxPacket(maxPacket), m_faults(faults)
{
}

PacketOutcome DownloadSession::onPacket(const uint8_t *packet, std::size_t size)
{
    const uint32_t number = m_packets + 1;
    PacketOutcome outcome = decide(packet, size);
    if (outcome.action == PacketOutcome::Action::Reply)
        shapeReply(number, outcome);
    return outcome;
}

void DownloadSession::shapeReply(uint32_t number, PacketOutcome &outcome) const
{
    if (number == m_faults.doubleReplyPacket)
        outcome.replyCount = 2;
    if (number == m_faults.shortReplyPacket)
        outcome.reply.pop_back();
    if (number == m_faults.longReplyPacket)
        outcome.reply.push_back(0);
}

PacketOutcome DownloadSession::decide(const uint8_t *packet, std::size_t size)
{
    PacketOutcome outcome;
    outcome.startsDownload = m_packets == 0;
    const uint32_t number = ++m_packets;
    const std::string where = " at packet " + std::to_string(number);

    if (number == m_faults.vanishAtPacket) {
        outcome.action = PacketOutcome::Action::Vanish;
        outcome.report = finish("DOWNLOAD FAILED vanished" + where);
        return outcome;
    }
    if (number == m_faults.stopAtPacket) {
        outcome.action = PacketOutcome::Action::Stop;
        outcome.report = finish("DOWNLOAD FAILED stopped answering" + where);
        return outcome;
    }

    uint16_t status = checkPacket(packet, size, m_order, m_maxPacket);
    if (status == kStatusAccepted && number == m_faults.refusePacket)
        status = kStatusRefused;
    const uint16_t lastFlag = size >= kPacketHeaderSize ? readU16(packet + kLastFlagOffset, m_order) : 0;
    if (status != kStatusAccepted) {
        outcome.reply = replyBytes(status, lastFlag, 0, m_order);
        outcome.report = finish("DOWNLOAD FAILED " + statusReason(status) + where);
        return outcome;
    }

    outcome.data = packet + kPacketHeaderSize;
    outcome.dataSize = size - kPacketHeaderSize;
    m_sum = addToSum(m_sum, outcome.data, outcome.dataSize);
    m_bytes += outcome.dataSize;
    if (lastFlag != kLastPacket) {
        outcome.reply = replyBytes(kStatusAccepted, lastFlag, 0, m_order);
        return outcome;
    }

    const uint32_t stated = readU32(packet + kChecksumOffset, m_order);
    const uint32_t reported = m_faults.wrongSum ? m_sum + 1 : m_sum;
    outcome.reply = replyBytes(kStatusAccepted, lastFlag, reported, m_order);
    if (stated != m_sum)
        outcome.report = finish("DOWNLOAD FAILED sum mismatch: packet states " + hex32(stated) + ", received "
                                + hex32(m_sum));
    else if (m_faults.wrongSum)
        outcome.report = finish("DOWNLOAD FAILED reported a wrong sum " + hex32(reported));
    else {
        outcome.accepted = true;
        outcome.report = finish("DOWNLOAD OK " + std::to_string(m_bytes) + " " + hex32(m_sum));
    }
    return outcome;
}

std::string DownloadSession::onDisconnect()
{
    if (m_packets == 0)
        return {};
    return finish("DOWNLOAD FAILED disconnected after packet " + std::to_string(m_packets));
}

std::string DownloadSession::finish(const std::string &report)
{
    m_packets = 0;
    m_bytes = 0;
    m_sum = 0;
    return report;
}

} // namespace board
