#pragma once

#include <cstddef>
#include <cstdint>

// The 16-byte header at the front of every command written straight to a
// board. Wire layout (offsets in bytes):
//
//   0  1  commandClass  'S' for A C D Q T, 's' for a n, 0 for any other letter
//   1  1  command       the command letter
//   2  1  param1
//   3  1  param2
//   4  4  value         network byte order unless host order is asked for
//   8  4  length        payload bytes after the header, same byte order
//  12  4  reserved      always 0
namespace CommandHeaderLayout {
constexpr std::size_t kClassOffset = 0;
constexpr std::size_t kCommandOffset = 1;
constexpr std::size_t kParam1Offset = 2;
constexpr std::size_t kParam2Offset = 3;
constexpr std::size_t kValueOffset = 4;
constexpr std::size_t kLengthOffset = 8;
constexpr std::size_t kSize = 16;

constexpr uint8_t kUpperClass = 'S';
constexpr uint8_t kLowerClass = 's';
} // namespace CommandHeaderLayout

struct CommandHeader
{
    uint8_t bytes[CommandHeaderLayout::kSize];
};
static_assert(sizeof(CommandHeader) == CommandHeaderLayout::kSize, "the header is 16 bytes on the wire");

// Clears the header and fills it in. Unknown command letters leave the
// class byte at 0.
void buildCommandHeader(CommandHeader &header, char command, uint8_t param1, uint8_t param2,
                        uint32_t value, uint32_t length, bool hostOrder);
