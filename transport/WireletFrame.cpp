#include "WireletFrame.h"

#include "ByteOrder.h"
#include "Crc32.h"
#include "wirelet.h"

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
    store32(out + WIRELET_FRAME_LENGTH_OFFSET, header.length, kFrameLittleEndian);
    store32(out + WIRELET_FRAME_CONNECTION_OFFSET, header.connection, kFrameLittleEndian);
    store32(out + WIRELET_FRAME_SEQUENCE_OFFSET, header.sequence, kFrameLittleEndian);
    store32(out + WIRELET_FRAME_CHECK_OFFSET, frameCheck(out, payload, header.length), kFrameLittleEndian);
    const uint32_t headerCheck = crc32(out, WIRELET_FRAME_HEADER_CHECK_OFFSET);
    store32(out + WIRELET_FRAME_HEADER_CHECK_OFFSET, headerCheck, kFrameLittleEndian);
}

bool decodeFrameHeader(const uint8_t *bytes, WireletFrameHeader *header)
{
    if (bytes[0] != WIRELET_FRAME_MAGIC0 || bytes[1] != WIRELET_FRAME_MAGIC1)
        return false;
    if (crc32(bytes, WIRELET_FRAME_HEADER_CHECK_OFFSET)
        != load32(bytes + WIRELET_FRAME_HEADER_CHECK_OFFSET, kFrameLittleEndian))
        return false;
    const uint32_t length = load32(bytes + WIRELET_FRAME_LENGTH_OFFSET, kFrameLittleEndian);
    if (length > WIRELET_MAX_FRAME_PAYLOAD)
        return false;
    header->type = bytes[WIRELET_FRAME_TYPE_OFFSET];
    header->flags = bytes[WIRELET_FRAME_FLAGS_OFFSET];
    header->length = length;
    header->connection = load32(bytes + WIRELET_FRAME_CONNECTION_OFFSET, kFrameLittleEndian);
    header->sequence = load32(bytes + WIRELET_FRAME_SEQUENCE_OFFSET, kFrameLittleEndian);
    return true;
}

bool frameCheckMatches(const uint8_t *frame, std::size_t payloadSize)
{
    return frameCheck(frame, frame + WIRELET_FRAME_HEADER_SIZE, payloadSize)
           == load32(frame + WIRELET_FRAME_CHECK_OFFSET, kFrameLittleEndian);
}
