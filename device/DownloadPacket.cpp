#include "DownloadPacket.h"

#include "ByteOrder.h"

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

} // namespace DownloadPacket
