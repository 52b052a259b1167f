#include "DeviceServices.h"

#include "EmbeddedFirmwareDigest.h"

DeviceServices DeviceServices::platform()
{
    return DeviceServices{&platformTargetAccess(), &libraryTransport(), &embeddedFirmwareImage(),
                          kEmbeddedFirmwareSha256};
}
