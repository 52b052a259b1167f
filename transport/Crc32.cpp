#include "Crc32.h"

#include "wirelet.h"

#include <array>

namespace {

std::array<uint32_t, 256> makeTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = value & 1 ? (value >> 1) ^ WIRELET_CRC32_POLYNOMIAL : value >> 1;
        table[i] = value;
    }
    return table;
}

} // namespace

uint32_t crc32Update(uint32_t running, const uint8_t *bytes, std::size_t size)
{
    static const std::array<uint32_t, 256> table = makeTable();
    for (std::size_t i = 0; i < size; ++i)
        running = table[(running ^ bytes[i]) & 0xFF] ^ (running >> 8);
    return running;
}
