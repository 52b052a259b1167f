#include "CCheckedFirmwareImage.h"

#include "DeviceLog.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QElapsedTimer>

#include <algorithm>

namespace {

std::string imageName()
{
    return std::string(kFirmwareType) + " " + std::to_string(kFirmwareId);
}

} // namespace

CCheckedFirmwareImage::CCheckedFirmwareImage(IFirmwareImage &image, const char *expectedSha256)
    : image(image)
    , expected(expectedSha256 ? expectedSha256 : "")
{
}

bool CCheckedFirmwareImage::locate(const char *type, int id, FirmwareBytes &bytes)
{
    FirmwareBytes found;
    if (!image.locate(type, id, found))
        return false;
    if (expected.empty()) {
        logDeviceWarning("firmware image " + imageName() + ": no SHA-256 was recorded for it, so it is not sent");
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    const std::string actual = firmwareSha256(found.data, found.size);
    const std::string took = std::to_string(clock.elapsed()) + " ms";
    if (actual != expected) {
        logDeviceWarning("firmware image " + imageName() + " is damaged: SHA-256 expected " + expected + ", found "
                         + actual + " over " + std::to_string(found.size) + " bytes (" + took
                         + "); it is not sent");
        return false;
    }
    logDeviceInfo("firmware image " + imageName() + " intact: SHA-256 " + actual + " over "
                  + std::to_string(found.size) + " bytes, checked in " + took);
    bytes = found;
    return true;
}

std::string firmwareSha256(const uint8_t *data, std::size_t size)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // In pieces: Qt 5 counts a QByteArray's bytes in an int. The pieces are
    // views of the image, never copies.
    constexpr std::size_t kPiece = std::size_t(1) << 20;
    for (std::size_t offset = 0; offset < size; offset += kPiece) {
        const std::size_t n = std::min(kPiece, size - offset);
        hash.addData(QByteArray::fromRawData(reinterpret_cast<const char *>(data + offset), int(n)));
    }
    return hash.result().toHex().toStdString();
}

void logFirmwareImage(IFirmwareImage &image, const char *recordedSha256)
{
    FirmwareBytes found;
    if (!image.locate(kFirmwareType, kFirmwareId, found)) {
        logDeviceWarning("firmware image " + imageName() + " not found");
        return;
    }
    logDeviceInfo("firmware image " + imageName() + ": " + std::to_string(found.size) + " bytes, SHA-256 "
                  + (recordedSha256 && *recordedSha256 ? recordedSha256 : "(none recorded)"));
}
