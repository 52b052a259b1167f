#pragma once

#include "IFirmwareImage.h"

#include <cstdint>
#include <string>
#include <vector>

// A firmware image held in memory, located as "BINFILE" 104 like the real
// one. `missing` makes every look-up fail; `lookups` records what was asked.
class CMemoryFirmwareImage final : public IFirmwareImage
{
public:
    CMemoryFirmwareImage() = default;
    explicit CMemoryFirmwareImage(std::vector<uint8_t> bytes);

    // `size` bytes of a fixed pseudo-random pattern that varies with `seed`.
    static std::vector<uint8_t> patternBytes(std::size_t size, uint32_t seed = 1);

    bool locate(const char *type, int id, FirmwareBytes &found) override;

    std::vector<uint8_t> bytes;
    bool missing = false;
    std::vector<std::string> lookups; // "BINFILE 104"
};
