#include "IFirmwareImage.h"

#include <windows.h>

#include <cstdio>

namespace {

// The image in the executable's own resources, mapped in place.
class CResourceFirmwareImage final : public IFirmwareImage
{
public:
    bool locate(const char *type, int id, FirmwareBytes &bytes) override
    {
        if (!type)
            return false;
        char name[16];
        std::snprintf(name, sizeof name, "#%d", id); // NOLINT(cert-err33-c): any int fits
        const HMODULE module = GetModuleHandleA(nullptr);
        const HRSRC resource = FindResourceA(module, name, type);
        if (!resource)
            return false;
        const HGLOBAL loaded = LoadResource(module, resource);
        const DWORD size = SizeofResource(module, resource);
        const void *data = loaded ? LockResource(loaded) : nullptr;
        if (!data)
            return false;
        bytes.data = static_cast<const uint8_t *>(data);
        bytes.size = size;
        return true;
    }
};

} // namespace

IFirmwareImage &embeddedFirmwareImage()
{
    static CResourceFirmwareImage image;
    return image;
}
