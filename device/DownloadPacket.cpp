#include "DownloadPacket.h"

#include <cstring>

namespace DownloadPacket {

void writeDefaultHeader(uint8_t *header)
{
    std::memset(header, 0, kHeaderSize);
    header[kSignatureOffset] = kSignature0;
    header[kSignatureOffset + 1] = kSignature1;
    header[kMarkerOffset] = kMarker;
    store16(header + kLastFlagOffset, kLastPacket, true);
}

void writeRequestHeader(uint8_t *header)
{
    writeDefaultHeader(header);
    header[kKindOffset] = kRequestKind;
    store16(header + kLastFlagOffset, kMorePackets, true);
}

void store16(uint8_t *at, uint16_t value, bool littleEndian)
{
    at[littleEndian ? 0 : 1] = uint8_t(value);
    at[littleEndian ? 1 : 0] = uint8_t(value >> 8);
}

void store32(uint8_t *at, uint32_t value, bool littleEndian)
{
    for (int i = 0; i < 4; ++i)
        at[littleEndian ? i : 3 - i] = uint8_t(value >> (8 * i));
}

uint16_t load16(const uint8_t *at, bool littleEndian)
{
    return littleEndian ? uint16_t(at[0] | at[1] << 8) : uint16_t(at[1] | at[0] << 8);
}

uint32_t load32(const uint8_t *at, bool littleEndian)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= uint32_t(at[littleEndian ? i : 3 - i]) << (8 * i);
    return value;
}

} // namespace DownloadPacket
