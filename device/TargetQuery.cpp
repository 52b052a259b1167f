#include "TargetQuery.h"

#include "CommandPacket.h"
#include "CTargetLink.h"
#include "DeviceLog.h"

namespace {

// The identity query: command 'Q' with all 32 bits of the value set (the
// 32-bit -1), no parameters and no payload.
constexpr char kIdentityCommand = 'Q';
constexpr uint32_t kIdentityValue = 0xFFFFFFFFu;

} // namespace

std::string queryTargetName(IDeviceIo &io, const std::string &path)
{
    CommandPacket query;
    buildCommandHeader(query.header, kIdentityCommand, 0, 0, kIdentityValue, 0, false);
    const std::size_t length = commandPacketLength(query);

    CTargetLink link(io, path);
    link.handle = io.open(link.path);
    // A board that cannot be opened still costs the two pauses: the
    // exchange takes the same time whatever the board does.
    if (link.handle != IDeviceIo::kInvalidHandle) {
        io.write(link.handle, reinterpret_cast<const uint8_t *>(&query), length, kQueryPauseMs);
        io.collect(link.handle, link.reply, sizeof link.reply, kQueryPauseMs);
    } else {
        io.pause(kQueryPauseMs);
        io.pause(kQueryPauseMs);
    }

    std::string name = link.replyName();
    link.found = !name.empty();
    // The open failure has been logged already; a board that opened but gave
    // no name is the other way to "no projector", and support must tell them apart.
    if (!link.found && link.handle != IDeviceIo::kInvalidHandle)
        logDeviceInfo(path + " was opened but its reply holds no name");
    return name;
}
