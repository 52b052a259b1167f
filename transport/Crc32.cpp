#include "Crc32.h"

#include "wirelet.h"

#include <array>

namespace {

// Slicing by 8: table k gives the CRC of a byte followed by k zero bytes, so
// eight bytes take eight independent lookups instead of a chain of eight.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

Tables makeTables()
{
    Tables tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = value & 1 ? (value >> 1) ^ WIRELET_CRC32_POLYNOMIAL : value >> 1;
        tables[0][i] = value;
    }
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (uint32_t i = 0; i < 256; ++i)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    }
    return tables;
}

} // namespace

uint32_t crc32Update(uint32_t running, const uint8_t *bytes, std::size_t size)
{
    static const Tables t = makeTables();
    // The bytes are combined one by one, not loaded as words, so neither the
    // host's byte order nor the buffer's alignment matters.
    for (; size >= 8; size -= 8, bytes += 8) {
        const uint32_t word = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16
                              | uint32_t(bytes[3]) << 24;
        const uint32_t low = running ^ word;
        running = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24]
                  ^ t[3][bytes[4]] ^ t[2][bytes[5]] ^ t[1][bytes[6]] ^ t[0][bytes[7]];
    }
    for (; size > 0; --size, ++bytes)
        running = t[0][(running ^ *bytes) & 0xFF] ^ (running >> 8);
    return running;
}
