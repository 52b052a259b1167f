// Placeholders until the Linux device layer and the embedded image land:
// no board is ever found and the image is reported missing.
#include "FirmwareImage.h"
#include "TargetAccess.h"

namespace {
class NoTargets final : public ITargetAccess
{
public:
    int findTargets(std::list<std::string> &) override { return 0; }
    std::string queryTargetName(const std::string &) override { return {}; }
};
class NoImage final : public IFirmwareImage
{
public:
    bool locate(const char *, int, FirmwareBytes &) override { return false; }
};
} // namespace

ITargetAccess &platformTargetAccess()
{
    static NoTargets targets;
    return targets;
}

IFirmwareImage &embeddedFirmwareImage()
{
    static NoImage image;
    return image;
}
