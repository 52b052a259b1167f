#pragma once

#include "IFirmwareImage.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The image as the burn thread hands it to the download: found only when
// its bytes still have the SHA-256 recorded when the program was built. A
// damaged image (a bad copy of the program, a flipped bit on disk) would
// otherwise be sent whole, and the board's byte sum, taken over the same
// damaged bytes, would confirm it. One pass over the image, on the thread
// that looks it up, before the first packet.
class CCheckedFirmwareImage final : public IFirmwareImage
{
public:
    // `expectedSha256`: 64 lower-case hex digits; null or empty finds no image.
    CCheckedFirmwareImage(IFirmwareImage &image, const char *expectedSha256);

    bool locate(const char *type, int id, FirmwareBytes &bytes) override;

private:
    IFirmwareImage &image;
    std::string expected;
};

// The SHA-256 of `size` bytes, 64 lower-case hex digits.
std::string firmwareSha256(const uint8_t *data, std::size_t size);

// At start: the embedded image's size and recorded digest, so that the log
// tells which firmware the program carries. Reads no image byte.
void logFirmwareImage(IFirmwareImage &image, const char *recordedSha256);
