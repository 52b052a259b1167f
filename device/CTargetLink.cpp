#include "CTargetLink.h"

#include <cstring>

CTargetLink::CTargetLink(IDeviceIo &io, const std::string &path)
    : path(path)
    , m_io(io)
{
}

CTargetLink::~CTargetLink()
{
    if (handle != IDeviceIo::kInvalidHandle)
        m_io.close(handle);
}

std::string CTargetLink::replyName() const
{
    const char *name = reinterpret_cast<const char *>(reply + kNameOffset);
    const std::size_t room = kReplySize - kNameOffset;
    const void *nul = std::memchr(name, '\0', room);
    return std::string(name, nul ? std::size_t(static_cast<const char *>(nul) - name) : room);
}
