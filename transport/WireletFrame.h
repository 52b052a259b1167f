#pragma once

#include <cstddef>
#include <cstdint>

// A frame header's fields (the layout is in wirelet.h).
struct WireletFrameHeader
{
    uint8_t type = 0;
    uint8_t flags = 0;
    uint32_t length = 0; // payload bytes
    uint32_t connection = 0;
    uint32_t sequence = 0;
};

// The frame header's multi-byte fields are little-endian, whatever the byte
// order the board states for the packets it carries (ByteOrder.h).
constexpr bool kFrameLittleEndian = true;

// Writes the WIRELET_FRAME_HEADER_SIZE header bytes of a frame carrying
// `header.length` bytes of `payload` into `out`, both checks included.
void encodeFrameHeader(const WireletFrameHeader &header, const void *payload, uint8_t *out);

// Reads the header at `bytes` (WIRELET_FRAME_HEADER_SIZE of them); false
// when it is none: wrong magic, header check mismatch or a length above the
// frame limit.
bool decodeFrameHeader(const uint8_t *bytes, WireletFrameHeader *header);

// Whether the frame check in the header at `frame` matches the header and
// the `payloadSize` payload bytes that follow it.
bool frameCheckMatches(const uint8_t *frame, std::size_t payloadSize);
