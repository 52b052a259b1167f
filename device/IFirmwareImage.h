#pragma once

#include <cstddef>
#include <cstdint>

// A read-only view of the firmware image; it is never copied as a whole.
struct FirmwareBytes
{
    const uint8_t *data = nullptr;
    std::size_t size = 0;
};

// The resource type and id under which the image is looked up.
constexpr const char *kFirmwareType = "BINFILE";
constexpr int kFirmwareId = 104;

// Where the firmware image is looked up, by resource type and id.
class IFirmwareImage
{
public:
    virtual ~IFirmwareImage() = default;

    // Fills `bytes` and returns true when the image exists.
    virtual bool locate(const char *type, int id, FirmwareBytes &bytes) = 0;
};

// The image embedded in this executable.
IFirmwareImage &embeddedFirmwareImage();
