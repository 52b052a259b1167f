#pragma once

#include "IFirmwareImage.h"
#include "ITargetAccess.h"
#include "ITransport.h"

#include <functional>

// Everything the wizard needs from below: the boards, the transport and the
// firmware image. None of the pointers is owned; each must outlive the wizard.
struct DeviceServices
{
    ITargetAccess *targets = nullptr;
    ITransport *transport = nullptr;
    IFirmwareImage *firmware = nullptr;
    // The SHA-256 the image had when the program was built, 64 lower-case
    // hex digits; the update sends the image only if its bytes still have
    // it. Null: nothing to check against, so no image is sent.
    const char *firmwareSha256 = nullptr;

    // The platform's real devices, library and embedded image.
    static DeviceServices platform();
};
