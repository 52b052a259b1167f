#pragma once

// What the simulated board says, as pure functions over bytes: the identity
// query and its reply, the transport frames, and the download packets.
// No I/O here, so the tests can drive every rule directly.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace board {

// Identity query: a 16-byte command header ('S', 'Q', ...); the reply is
// 276 bytes, a 16-byte header of our own followed by a 260-byte name field.
constexpr std::size_t kCommandHeaderSize = 16;
constexpr std::size_t kCommandLengthOffset = 8;
constexpr std::size_t kIdentityReplySize = 276;
constexpr std::size_t kNameOffset = 16;
constexpr std::size_t kNameFieldSize = kIdentityReplySize - kNameOffset;
constexpr uint8_t kClassUpper = 0x53;   // 'S'
constexpr uint8_t kQueryCommand = 0x51; // 'Q'

// Download packets and their 16-byte replies.
constexpr std::size_t kPacketHeaderSize = 16;
constexpr std::size_t kSignatureOffset = 0; // 'T' 'B'
constexpr std::size_t kMarkerOffset = 2;    // 0xFF
constexpr std::size_t kKindOffset = 3;      // 0x01
constexpr std::size_t kStatusOffset = 4;    // 16 bits
constexpr std::size_t kLastFlagOffset = 6;  // 16 bits
constexpr std::size_t kLengthOffset = 8;    // 32 bits
constexpr std::size_t kChecksumOffset = 12; // 32 bits
constexpr uint8_t kSignature0 = 0x54;
constexpr uint8_t kSignature1 = 0x42;
constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kKindData = 0x01;
constexpr uint16_t kLastPacket = 0xFFFF;

// Status the board puts in a reply.
enum PacketStatus : uint16_t {
    kStatusAccepted = 0,
    kStatusRefused = 1,      // refused on purpose (fault injection)
    kStatusBadSignature = 2, // signature or marker wrong
    kStatusBadKind = 3,
    kStatusBadLength = 4, // length field disagrees with the bytes received
    kStatusTooLarge = 5,  // larger than the largest packet size stated
};

enum class ByteOrder {
    Little,
    Big,
};

// The simulator's own byte-order helpers, on purpose: an independent reading
// of the wire, not the program's code (common/ByteOrder.h) checked by itself.
uint16_t readU16(const uint8_t *at, ByteOrder order);
uint32_t readU32(const uint8_t *at, ByteOrder order);
void writeU16(uint8_t *at, uint16_t value, ByteOrder order);
void writeU32(uint8_t *at, uint32_t value, ByteOrder order);

// The identity query exactly as the program writes it.
constexpr std::array<uint8_t, kCommandHeaderSize> kIdentityQuery{kClassUpper, kQueryCommand, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};

// What the front of the received bytes holds.
enum class InputKind {
    NeedMore, // not enough bytes yet to tell or to complete it
    Query,    // the identity query
    Frame,    // a transport frame, both checks good
    Garbage,  // a byte that starts nothing, or begins a bad frame: skip it
};

struct InputItem
{
    InputKind kind = InputKind::NeedMore;
    std::size_t size = 0; // bytes the item takes from the front
    // For Frame, and for NeedMore once a frame's header has arrived whole:
    uint8_t frameType = 0;
    uint32_t connection = 0;
    uint32_t sequence = 0;
    std::size_t payloadOffset = 0;
    std::size_t payloadSize = 0;
};

// Classifies the item at the front of `bytes`. `maxFramePayload` bounds
// what a frame may announce; a larger one counts as garbage. Once a frame's
// header is known its payload is taken whole, whatever it holds (frame
// headers and the identity query included): NeedMore until all of it is in;
// then a frame check that fails makes the header's first byte garbage.
InputItem scanInput(const uint8_t *bytes, std::size_t size, uint32_t maxFramePayload);

// The 276-byte reply to an identity query. With `terminate` the name is
// followed by a NUL (a name longer than 259 bytes is cut to fit); without,
// the name is repeated to fill all 260 bytes (blanks when it is empty).
std::array<uint8_t, kIdentityReplySize> identityReply(const std::string &name, bool terminate);

// A transport frame around `payload`, both checks filled in.
std::vector<uint8_t> frame(uint8_t type, uint32_t connection, uint32_t sequence, const uint8_t *payload,
                           std::size_t size);

// CRC-32 as the frames use it.
uint32_t crc32(const uint8_t *bytes, std::size_t size, uint32_t running = 0);

// The handshake answer's payload.
std::vector<uint8_t> helloAckPayload(ByteOrder order, uint32_t maxPacket);

// Checks a download packet (header and data as received). Returns the status
// to reply with; on kStatusAccepted the packet's data is the bytes after the
// header.
uint16_t checkPacket(const uint8_t *packet, std::size_t size, ByteOrder order, uint32_t maxPacket);

// Adds every byte to the running sum, modulo 2^32.
uint32_t addToSum(uint32_t sum, const uint8_t *bytes, std::size_t size);

// A 16-byte packet header: 'T' 'B' 0xFF 0x01 and the fields given.
std::array<uint8_t, kPacketHeaderSize> packetHeader(uint16_t status, uint16_t lastFlag, uint32_t length,
                                                    uint32_t checksum, ByteOrder order);

// A 16-byte reply: a header with the status, the packet's last flag
// echoed, length 0 and the given checksum.
std::array<uint8_t, kPacketHeaderSize> packetReply(uint16_t status, uint16_t lastFlag, uint32_t checksum,
                                                   ByteOrder order);

// The reason a status gives in the simulator's report.
std::string statusReason(uint16_t status);

} // namespace board
