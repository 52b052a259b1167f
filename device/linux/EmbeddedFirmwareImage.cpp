#include "IFirmwareImage.h"

#include <cstring>

// Bounds of the image bytes that the assembler put into the executable.
extern "C" const uint8_t tiskar_firmware_image_begin[];
extern "C" const uint8_t tiskar_firmware_image_end[];

namespace {

class CEmbeddedFirmwareImage final : public IFirmwareImage
{
public:
    bool locate(const char *type, int id, FirmwareBytes &bytes) override
    {
        if (!type || std::strcmp(type, kFirmwareType) != 0 || id != kFirmwareId)
            return false;
        bytes.data = tiskar_firmware_image_begin;
        bytes.size = std::size_t(tiskar_firmware_image_end - tiskar_firmware_image_begin);
        return true;
    }
};

} // namespace

IFirmwareImage &embeddedFirmwareImage()
{
    static CEmbeddedFirmwareImage image;
    return image;
}
