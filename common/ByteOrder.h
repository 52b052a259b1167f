#pragma once

#include <cstdint>

// Multi-byte wire fields, written and read byte by byte, so that neither the
// host's byte order nor the field's alignment matters. `littleEndian` false
// is network byte order.

inline void store16(uint8_t *at, uint16_t value, bool littleEndian)
{
    at[littleEndian ? 0 : 1] = uint8_t(value);
    at[littleEndian ? 1 : 0] = uint8_t(value >> 8);
}

inline void store32(uint8_t *at, uint32_t value, bool littleEndian)
{
    for (int i = 0; i < 4; ++i)
        at[littleEndian ? i : 3 - i] = uint8_t(value >> (8 * i));
}

inline uint16_t load16(const uint8_t *at, bool littleEndian)
{
    return littleEndian ? uint16_t(at[0] | at[1] << 8) : uint16_t(at[1] | at[0] << 8);
}

inline uint32_t load32(const uint8_t *at, bool littleEndian)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= uint32_t(at[littleEndian ? i : 3 - i]) << (8 * i);
    return value;
}
