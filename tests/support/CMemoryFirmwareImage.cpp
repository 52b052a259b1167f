#include "CMemoryFirmwareImage.h"

#include <cstring>
#include <utility>

CMemoryFirmwareImage::CMemoryFirmwareImage(std::vector<uint8_t> bytes)
    : bytes(std::move(bytes))
{
}

std::vector<uint8_t> CMemoryFirmwareImage::patternBytes(std::size_t size, uint32_t seed)
{
    std::vector<uint8_t> pattern(size);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t &b : pattern) {
        state = state * 1664525u + 1013904223u;
        b = uint8_t(state >> 24);
    }
    return pattern;
}

bool CMemoryFirmwareImage::locate(const char *type, int id, FirmwareBytes &found)
{
    lookups.push_back(std::string(type ? type : "(null)") + " " + std::to_string(id));
    if (missing || !type || std::strcmp(type, "BINFILE") != 0 || id != 104)
        return false;
    // An empty image still has an address, like an empty resource.
    static const uint8_t kNothing = 0;
    found.data = bytes.empty() ? &kNothing : bytes.data();
    found.size = bytes.size();
    return true;
}
