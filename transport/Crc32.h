#pragma once

#include <cstddef>
#include <cstdint>

// The frames' CRC-32 (see wirelet.h). `crc32Update` continues a running
// value: start with kCrc32Start, finish with crc32Final.
constexpr uint32_t kCrc32Start = 0xFFFFFFFFu;
uint32_t crc32Update(uint32_t running, const uint8_t *bytes, std::size_t size);
inline uint32_t crc32Final(uint32_t running)
{
    return running ^ 0xFFFFFFFFu;
}
inline uint32_t crc32(const uint8_t *bytes, std::size_t size)
{
    return crc32Final(crc32Update(kCrc32Start, bytes, size));
}
