// The identity reply's name: whatever a board answers to the query, the
// name is the reply's name field up to its first NUL, never more than the
// field, and it reads back from a descriptor unchanged.
#include "DeviceDescriptor.h"
#include "IDeviceIo.h"
#include "CTargetLink.h"
#include "TargetQuery.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// A board that answers with the fuzzer's bytes, at once.
class CFuzzBoard final : public IDeviceIo
{
public:
    CFuzzBoard(const uint8_t *reply, std::size_t size)
        : m_reply(reply), m_size(size) {}

    DeviceHandle open(const std::string &) override { return 3; }
    bool write(DeviceHandle, const uint8_t *, std::size_t, int) override { return true; }
    void pause(int) override {}
    std::size_t collect(DeviceHandle, uint8_t *buffer, std::size_t capacity, int) override
    {
        const std::size_t n = std::min(capacity, m_size);
        std::memcpy(buffer, m_reply, n);
        return n;
    }
    void close(DeviceHandle) override {}

private:
    const uint8_t *m_reply;
    std::size_t m_size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    CFuzzBoard board(data, size);
    const std::string name = queryTargetName(board, "/dev/parvel/board0");

    // The field as it arrived, the rest of the reply zero.
    uint8_t field[CTargetLink::kReplySize - CTargetLink::kNameOffset]{};
    if (size > CTargetLink::kNameOffset)
        std::memcpy(field, data + CTargetLink::kNameOffset, std::min(sizeof field, size - CTargetLink::kNameOffset));
    const std::size_t end = std::find(field, field + sizeof field, 0) - field;
    if (name != std::string(reinterpret_cast<const char *>(field), end))
        std::abort();
    if (name.empty())
        return 0;

    std::string parsedName, parsedPath;
    int port = -1;
    if (!parseDeviceDescriptor(formatDeviceDescriptor(name, "/dev/parvel/board0"), parsedName, parsedPath, port)
        || parsedName != name || parsedPath != "/dev/parvel/board0" || port != 0)
        std::abort();
    return 0;
}
