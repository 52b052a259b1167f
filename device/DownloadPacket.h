#pragma once

#include <cstddef>
#include <cstdint>

// One download chunk as the board sees it: a 16-byte header followed by
// `length` image bytes; the board answers each with a bare 16-byte header.
// Wire layout (offsets in bytes):
//
//   0  2  signature  'T' 'B'
//   2  1  marker     0xFF
//   3  1  kind       0x01 in a request, 0x00 in the default content
//   4  2  status     0 in a request; nonzero in a reply: packet refused
//   6  2  lastFlag   0xFFFF on the last packet, 0x0000 on every other
//   8  4  length     image bytes in this packet
//  12  4  checksum   on the last packet (and its reply): the byte sum of the
//                    whole image; 0 otherwise
//
// The 16- and 32-bit fields are little-endian when the connection's
// byte-order option is nonzero and big-endian when it is zero (ByteOrder.h
// stores and loads them).
namespace DownloadPacket {
constexpr std::size_t kSignatureOffset = 0;
constexpr std::size_t kMarkerOffset = 2;
constexpr std::size_t kKindOffset = 3;
constexpr std::size_t kStatusOffset = 4;
constexpr std::size_t kLastFlagOffset = 6;
constexpr std::size_t kLengthOffset = 8;
constexpr std::size_t kChecksumOffset = 12;
constexpr std::size_t kHeaderSize = 16;

constexpr uint8_t kSignature0 = 'T';
constexpr uint8_t kSignature1 = 'B';
constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kRequestKind = 0x01;
constexpr uint16_t kLastPacket = 0xFFFF;
constexpr uint16_t kMorePackets = 0x0000;

// The header every packet starts from, and what a reply area holds before
// the first reply: kind 0, lastFlag 0xFFFF, all else 0.
void writeDefaultHeader(uint8_t *header);

// The header of a request, before length, lastFlag and checksum are set.
void writeRequestHeader(uint8_t *header);
} // namespace DownloadPacket
