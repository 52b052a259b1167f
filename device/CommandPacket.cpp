#include "CommandPacket.h"

#include <cstring>

std::size_t commandPacketLength(const CommandPacket &packet)
{
    if (packet.data[0] == '\0')
        return sizeof packet.header;
    // A text that fills the whole area has no terminator to count; stop at
    // the end of the block rather than read past it.
    const void *nul = std::memchr(packet.data, '\0', sizeof packet.data);
    const std::size_t text = nul ? std::size_t(static_cast<const char *>(nul) - packet.data) : sizeof packet.data - 1;
    return sizeof packet.header + text + 1;
}
