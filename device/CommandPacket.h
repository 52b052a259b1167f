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
// Written to the board as it lies in memory, so no padding may come between.
static_assert(sizeof(CommandPacket) == CommandHeaderLayout::kSize + CommandPacket::kDataSize,
              "a command packet is the header followed directly by the data area");

// Bytes to send: the header alone when the data area is empty, otherwise the
// header, the text and its terminating NUL.
std::size_t commandPacketLength(const CommandPacket &packet);
