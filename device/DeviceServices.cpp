#include "DeviceServices.h"

DeviceServices DeviceServices::platform()
{
    return DeviceServices{&platformTargetAccess(), &libraryTransport(), &embeddedFirmwareImage()};
}
