#pragma once

#include "CommandHeader.h"

#include <cstddef>

// A command as written to a board: the header and a data area that holds an
// optional NUL-terminated text. Cleared to zero on construction.
struct CommandPacket
{
    static constexpr std::size_t kDataSize = 260;

    CommandHeader header{};
    char data[kDataSize]{};
};
static_assert(sizeof(CommandPacket) == 276, "a command packet is 276 bytes");

// Bytes to send: the header alone when the data area is empty, otherwise the
// header, the text and its terminating NUL.
std::size_t commandPacketLength(const CommandPacket &packet);
