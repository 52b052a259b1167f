#include "CSetupApiEnumerator.h"

#include "DeviceLog.h"

#include <cstddef>
#include <cstring>
#include <memory>

namespace {

// The detail record's fixed part: its cbSize, whatever size the block has.
constexpr DWORD kDetailFixedSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
constexpr std::size_t kDevicePathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

// Releases the device information set however findTargets is left.
struct InfoListGuard
{
    const SetupApiCalls &calls;
    HDEVINFO set;
    ~InfoListGuard() { calls.destroyInfoList(set); }
};

} // namespace

CSetupApiEnumerator::CSetupApiEnumerator(SetupApiCalls calls, const GUID &interfaceClass)
    : m_calls(calls)
    , m_interfaceClass(interfaceClass)
{
}

int CSetupApiEnumerator::findTargets(std::list<std::string> &paths) const
{
    const HDEVINFO set = m_calls.getClassDevs(nullptr, nullptr, nullptr, kBoardEnumerationFlags);
    if (set == INVALID_HANDLE_VALUE) {
        logDeviceWarning("cannot list the device interfaces: error " + std::to_string(GetLastError()));
        return 0;
    }
    InfoListGuard guard{m_calls, set};

    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    int count = 0;
    for (DWORD index = 0;; ++index) {
        if (!m_calls.enumInterfaces(set, nullptr, &m_interfaceClass, index, &interfaceData)) {
            const DWORD error = GetLastError();
            if (error != ERROR_NO_MORE_ITEMS)
                logDeviceWarning("listing the device interfaces stopped at entry " + std::to_string(index)
                                 + ": error " + std::to_string(error));
            break;
        }
        std::string path;
        if (!interfacePath(set, interfaceData, path))
            continue;
        paths.push_back(path);
        ++count;
    }
    return count;
}

bool CSetupApiEnumerator::interfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA &interfaceData,
                                        std::string &path) const
{
    // The first call only reports the size; its failure is expected.
    DWORD required = 0;
    m_calls.getInterfaceDetail(set, &interfaceData, nullptr, 0, &required, nullptr);
    if (required < kDetailFixedSize) {
        logDeviceWarning("skipped a device interface whose detail size is " + std::to_string(required));
        return false;
    }

    // Zeroed, so a failed second call leaves an empty path.
    std::unique_ptr<std::max_align_t[]> storage(
        new std::max_align_t[(required + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)]());
    auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A *>(storage.get());
    detail->cbSize = kDetailFixedSize;

    SP_DEVINFO_DATA deviceData{};
    deviceData.cbSize = sizeof deviceData;
    DWORD reported = 0;
    m_calls.getInterfaceDetail(set, &interfaceData, detail, required, &reported, &deviceData);

    // Never read past the block: the path ends at its NUL or at the block's end.
    const char *text = reinterpret_cast<const char *>(storage.get()) + kDevicePathOffset;
    const std::size_t room = required - kDevicePathOffset;
    const void *nul = std::memchr(text, '\0', room);
    path.assign(text, nul ? std::size_t(static_cast<const char *>(nul) - text) : room);
    return true;
}
