#include "BoardProtocol.h"

#include <wirelet.h>

#include <algorithm>
#include <cstring>

namespace board {

uint16_t readU16(const uint8_t *at, ByteOrder order)
{
    return order == ByteOrder::Little ? uint16_t(at[0] | at[1] << 8) : uint16_t(at[0] << 8 | at[1]);
}

uint32_t readU32(const uint8_t *at, ByteOrder order)
{
    if (order == ByteOrder::Little)
        return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | uint32_t(at[3]);
}

void writeU16(uint8_t *at, uint16_t value, ByteOrder order)
{
    const uint8_t low = uint8_t(value), high = uint8_t(value >> 8);
    at[0] = order == ByteOrder::Little ? low : high;
    at[1] = order == ByteOrder::Little ? high : low;
}

void writeU32(uint8_t *at, uint32_t value, ByteOrder order)
{
    for (int i = 0; i < 4; ++i) {
        const int shift = order == ByteOrder::Little ? 8 * i : 8 * (3 - i);
        at[i] = uint8_t(value >> shift);
    }
}

namespace {

// Only the exact query is one; anything else starting with 'S' is a stray
// byte, so that a frame behind it is not swallowed.
InputItem scanQuery(const uint8_t *bytes, std::size_t size)
{
    const std::size_t known = std::min(size, kCommandHeaderSize);
    if (!std::equal(bytes, bytes + known, kIdentityQuery.begin()))
        return {InputKind::Garbage, 1};
    if (size < kCommandHeaderSize)
        return {};
    return {InputKind::Query, kCommandHeaderSize};
}

// A header with the magic, a matching header check and an allowed length;
// `bytes` holds at least a header's worth.
bool isFrameHeader(const uint8_t *bytes, uint32_t maxFramePayload)
{
    return bytes[0] == WIRELET_FRAME_MAGIC0 && bytes[1] == WIRELET_FRAME_MAGIC1
           && readU32(bytes + WIRELET_FRAME_HEADER_CHECK_OFFSET, ByteOrder::Little)
                  == crc32(bytes, WIRELET_FRAME_HEADER_CHECK_OFFSET)
           && readU32(bytes + WIRELET_FRAME_LENGTH_OFFSET, ByteOrder::Little) <= maxFramePayload;
}

InputItem scanFrame(const uint8_t *bytes, std::size_t size, uint32_t maxFramePayload)
{
    if (size < WIRELET_FRAME_HEADER_SIZE)
        return {};
    if (!isFrameHeader(bytes, maxFramePayload))
        return {InputKind::Garbage, 1};
    InputItem item;
    item.frameType = bytes[WIRELET_FRAME_TYPE_OFFSET];
    item.connection = readU32(bytes + WIRELET_FRAME_CONNECTION_OFFSET, ByteOrder::Little);
    item.sequence = readU32(bytes + WIRELET_FRAME_SEQUENCE_OFFSET, ByteOrder::Little);
    item.payloadOffset = WIRELET_FRAME_HEADER_SIZE;
    item.payloadSize = readU32(bytes + WIRELET_FRAME_LENGTH_OFFSET, ByteOrder::Little);
    // A firmware image may hold any bytes: the payload is taken whole.
    const std::size_t total = WIRELET_FRAME_HEADER_SIZE + item.payloadSize;
    if (size < total)
        return item; // NeedMore, header known
    const uint32_t check = crc32(bytes + WIRELET_FRAME_HEADER_SIZE, item.payloadSize,
                                 crc32(bytes, WIRELET_FRAME_CHECK_OFFSET));
    if (check != readU32(bytes + WIRELET_FRAME_CHECK_OFFSET, ByteOrder::Little))
        return {InputKind::Garbage, 1};
    item.kind = InputKind::Frame;
    item.size = total;
    return item;
}

} // namespace

uint32_t crc32(const uint8_t *bytes, std::size_t size, uint32_t running)
{
    // Sixteen bytes a step, one table per position (row r: a byte followed
    // by r zero bytes), worked out here rather than shared with the
    // library, so one mistake cannot hide on both ends.
    static const std::vector<std::array<uint32_t, 256>> rows = [] {
        std::vector<std::array<uint32_t, 256>> table(16);
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t crc = n;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (WIRELET_CRC32_POLYNOMIAL & (0u - (crc & 1u)));
            table[0][n] = crc;
        }
        for (std::size_t r = 1; r < table.size(); ++r)
            for (uint32_t n = 0; n < 256; ++n)
                table[r][n] = table[0][table[r - 1][n] & 0xFF] ^ (table[r - 1][n] >> 8);
        return table;
    }();
    uint32_t crc = ~running;
    while (size >= 16) {
        uint32_t next = 0;
        for (int i = 0; i < 4; ++i)
            next ^= rows[15 - i][(crc >> (8 * i) ^ bytes[i]) & 0xFF];
        for (int i = 4; i < 16; ++i)
            next ^= rows[15 - i][bytes[i]];
        crc = next;
        bytes += 16;
        size -= 16;
    }
    while (size-- > 0)
        crc = (crc >> 8) ^ rows[0][(crc ^ *bytes++) & 0xFF];
    return ~crc;
}

InputItem scanInput(const uint8_t *bytes, std::size_t size, uint32_t maxFramePayload)
{
    if (size == 0)
        return {};
    if (bytes[0] == WIRELET_FRAME_MAGIC0) {
        if (size < 2)
            return {};
        if (bytes[1] == WIRELET_FRAME_MAGIC1)
            return scanFrame(bytes, size, maxFramePayload);
    }
    if (bytes[0] == kClassUpper)
        return scanQuery(bytes, size);
    return {InputKind::Garbage, 1};
}

std::array<uint8_t, kIdentityReplySize> identityReply(const std::string &name, bool terminate)
{
    std::array<uint8_t, kIdentityReplySize> reply{};
    // Header: the query's own class and letter, the name field's size.
    reply[0] = kClassUpper;
    reply[1] = kQueryCommand;
    writeU32(reply.data() + kCommandLengthOffset, uint32_t(kNameFieldSize), ByteOrder::Big);
    uint8_t *field = reply.data() + kNameOffset;
    if (terminate) {
        const std::size_t n = std::min(name.size(), kNameFieldSize - 1);
        std::memcpy(field, name.data(), n); // the NUL is already there
    } else {
        for (std::size_t i = 0; i < kNameFieldSize; ++i)
            field[i] = name.empty() ? uint8_t(' ') : uint8_t(name[i % name.size()]);
    }
    return reply;
}

std::vector<uint8_t> frame(uint8_t type, uint32_t connection, uint32_t sequence, const uint8_t *payload,
                           std::size_t size)
{
    std::vector<uint8_t> out(WIRELET_FRAME_HEADER_SIZE + size);
    out[0] = WIRELET_FRAME_MAGIC0;
    out[1] = WIRELET_FRAME_MAGIC1;
    out[WIRELET_FRAME_TYPE_OFFSET] = type;
    writeU32(out.data() + WIRELET_FRAME_LENGTH_OFFSET, uint32_t(size), ByteOrder::Little);
    writeU32(out.data() + WIRELET_FRAME_CONNECTION_OFFSET, connection, ByteOrder::Little);
    writeU32(out.data() + WIRELET_FRAME_SEQUENCE_OFFSET, sequence, ByteOrder::Little);
    if (size)
        std::memcpy(out.data() + WIRELET_FRAME_HEADER_SIZE, payload, size);
    const uint32_t check = crc32(out.data() + WIRELET_FRAME_HEADER_SIZE, size, crc32(out.data(), WIRELET_FRAME_CHECK_OFFSET));
    writeU32(out.data() + WIRELET_FRAME_CHECK_OFFSET, check, ByteOrder::Little);
    writeU32(out.data() + WIRELET_FRAME_HEADER_CHECK_OFFSET, crc32(out.data(), WIRELET_FRAME_HEADER_CHECK_OFFSET),
             ByteOrder::Little);
    return out;
}

std::vector<uint8_t> helloAckPayload(ByteOrder order, uint32_t maxPacket)
{
    std::vector<uint8_t> payload(WIRELET_HELLO_ACK_SIZE, 0);
    payload[0] = WIRELET_WIRE_VERSION;
    payload[WIRELET_ACK_ORDER_OFFSET] = order == ByteOrder::Little ? 1 : 0;
    writeU32(payload.data() + WIRELET_ACK_MAX_PACKET_OFFSET, maxPacket, ByteOrder::Little);
    return payload;
}

uint16_t checkPacket(const uint8_t *packet, std::size_t size, ByteOrder order, uint32_t maxPacket)
{
    if (size > maxPacket)
        return kStatusTooLarge;
    if (size < kPacketHeaderSize)
        return kStatusBadLength;
    if (packet[kSignatureOffset] != kSignature0 || packet[kSignatureOffset + 1] != kSignature1
        || packet[kMarkerOffset] != kMarker)
        return kStatusBadSignature;
    if (packet[kKindOffset] != kKindData)
        return kStatusBadKind;
    if (readU32(packet + kLengthOffset, order) != size - kPacketHeaderSize)
        return kStatusBadLength;
    return kStatusAccepted;
}

uint32_t addToSum(uint32_t sum, const uint8_t *bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        sum += bytes[i];
    return sum;
}

std::array<uint8_t, kPacketHeaderSize> packetHeader(uint16_t status, uint16_t lastFlag, uint32_t length,
                                                    uint32_t checksum, ByteOrder order)
{
    std::array<uint8_t, kPacketHeaderSize> header{};
    header[kSignatureOffset] = kSignature0;
    header[kSignatureOffset + 1] = kSignature1;
    header[kMarkerOffset] = kMarker;
    header[kKindOffset] = kKindData;
    writeU16(header.data() + kStatusOffset, status, order);
    writeU16(header.data() + kLastFlagOffset, lastFlag, order);
    writeU32(header.data() + kLengthOffset, length, order);
    writeU32(header.data() + kChecksumOffset, checksum, order);
    return header;
}

std::array<uint8_t, kPacketHeaderSize> packetReply(uint16_t status, uint16_t lastFlag, uint32_t checksum,
                                                   ByteOrder order)
{
    return packetHeader(status, lastFlag, 0, checksum, order);
}

std::string statusReason(uint16_t status)
{
    switch (status) {
    case kStatusAccepted: return "accepted";
    case kStatusRefused: return "refused";
    case kStatusBadSignature: return "bad signature";
    case kStatusBadKind: return "bad kind";
    case kStatusBadLength: return "bad length";
    case kStatusTooLarge: return "too large";
    }
    return "status " + std::to_string(status);
}

} // namespace board
