#include "WireletFrame.h"

#include "Crc32.h"
#include "wirelet.h"

uint32_t readLittle32(const uint8_t *at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

void writeLittle32(uint8_t *at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = uint8_t(value >> (8 * i));
}

namespace {

// The frame check: the header up to the check itself, then the payload.
uint32_t frameCheck(const uint8_t *header, const void *payload, std::size_t payloadSize)
{
    const uint32_t running = crc32Update(kCrc32Start, header, WIRELET_FRAME_CHECK_OFFSET);
    return crc32Final(crc32Update(running, static_cast<const uint8_t *>(payload), payloadSize));
}

} // namespace

void encodeFrameHeader(const WireletFrameHeader &header, const void *payload, uint8_t *out)
{
    out[0] = WIRELET_FRAME_MAGIC0;
    out[1] = WIRELET_FRAME_MAGIC1;
    out[WIRELET_FRAME_TYPE_OFFSET] = header.type;
    out[WIRELET_FRAME_FLAGS_OFFSET] = header.flags;
    writeLittle32(out + WIRELET_FRAME_LENGTH_OFFSET, header.length);
    writeLittle32(out + WIRELET_FRAME_CONNECTION_OFFSET, header.connection);
    writeLittle32(out + WIRELET_FRAME_SEQUENCE_OFFSET, header.sequence);
    writeLittle32(out + WIRELET_FRAME_CHECK_OFFSET, frameCheck(out, payload, header.length));
    writeLittle32(out + WIRELET_FRAME_HEADER_CHECK_OFFSET, crc32(out, WIRELET_FRAME_HEADER_CHECK_OFFSET));
}

bool decodeFrameHeader(const uint8_t *bytes, WireletFrameHeader *header)
{
    if (bytes[0] != WIRELET_FRAME_MAGIC0 || bytes[1] != WIRELET_FRAME_MAGIC1)
        return false;
    if (crc32(bytes, WIRELET_FRAME_HEADER_CHECK_OFFSET) != readLittle32(bytes + WIRELET_FRAME_HEADER_CHECK_OFFSET))
        return false;
    const uint32_t length = readLittle32(bytes + WIRELET_FRAME_LENGTH_OFFSET);
    if (length > WIRELET_MAX_FRAME_PAYLOAD)
        return false;
    header->type = bytes[WIRELET_FRAME_TYPE_OFFSET];
    header->flags = bytes[WIRELET_FRAME_FLAGS_OFFSET];
    header->length = length;
    header->connection = readLittle32(bytes + WIRELET_FRAME_CONNECTION_OFFSET);
    header->sequence = readLittle32(bytes + WIRELET_FRAME_SEQUENCE_OFFSET);
    return true;
}

bool frameCheckMatches(const uint8_t *frame, std::size_t payloadSize)
{
    return frameCheck(frame, frame + WIRELET_FRAME_HEADER_SIZE, payloadSize)
           == readLittle32(frame + WIRELET_FRAME_CHECK_OFFSET);
}
