#pragma once

#include "CommandPacket.h"
#include "IDeviceIo.h"

#include <cstdint>
#include <string>

// The state of one identity exchange with one board. Whatever way the
// exchange is left, the destructor closes the board again.
class CTargetLink
{
public:
    static constexpr std::size_t kReplySize = sizeof(CommandPacket);
    static constexpr std::size_t kNameOffset = CommandHeaderLayout::kSize;

    CTargetLink(IDeviceIo &io, const std::string &path);
    ~CTargetLink();

    CTargetLink(const CTargetLink &) = delete;
    CTargetLink &operator=(const CTargetLink &) = delete;

    bool found = false;
    DeviceHandle handle = IDeviceIo::kInvalidHandle;
    std::string path;
    uint8_t reply[kReplySize]{};

    // The name from the reply: offset 16 up to the first NUL, or to the end
    // of the buffer when there is none.
    std::string replyName() const;

private:
    IDeviceIo &m_io;
};
