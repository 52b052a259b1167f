// Enumeration through SetupAPI: the real calls under Wine (where no board
// exists) counted on their way through, and scripted interfaces for the
// paths, the sizes and the failures Wine cannot produce.

#include "windows/CSetupApiEnumerator.h"
#include "WinCheck.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- The real calls, counted.
struct RealCounts
{
    int sets = 0;
    int destroyed = 0;
    DWORD flags = 0;
    bool classGiven = true;
    HDEVINFO lastSet = nullptr;
    HDEVINFO destroyedSet = nullptr;
} real;

HDEVINFO WINAPI countedGetClassDevs(const GUID *classGuid, PCSTR enumerator, HWND parent, DWORD flags)
{
    ++real.sets;
    real.flags = flags;
    real.classGiven = classGuid || enumerator || parent;
    real.lastSet = SetupDiGetClassDevsA(classGuid, enumerator, parent, flags);
    return real.lastSet;
}

BOOL WINAPI countedDestroy(HDEVINFO set)
{
    ++real.destroyed;
    real.destroyedSet = set;
    return SetupDiDestroyDeviceInfoList(set);
}

void noBoardGivesNothingAndReleasesTheSet()
{
    SetupApiCalls calls = SetupApiCalls::platform();
    calls.getClassDevs = &countedGetClassDevs;
    calls.destroyInfoList = &countedDestroy;
    std::list<std::string> paths{"kept"};
    WIN_CHECK_EQ(CSetupApiEnumerator(calls).findTargets(paths), 0);
    WIN_CHECK_EQ(paths.size(), std::size_t(1));
    WIN_CHECK_EQ(paths.front(), std::string("kept"));
    WIN_CHECK_EQ(real.flags, DWORD(0x16));
    WIN_CHECK(!real.classGiven);
    WIN_CHECK_EQ(real.sets, 1);
    WIN_CHECK(real.lastSet != INVALID_HANDLE_VALUE);
    WIN_CHECK_EQ(real.destroyed, 1);
    WIN_CHECK(real.destroyedSet == real.lastSet);
}

// ---- Scripted interfaces.
struct Interface
{
    std::string path;
    DWORD reportedSize = 0; // 0: what the path needs
    bool detailFails = false;
};

struct Script
{
    bool setFails = false;
    std::vector<Interface> interfaces{};
    DWORD errorAtEnd = ERROR_NO_MORE_ITEMS;
    // What the enumeration did.
    int destroyed = 0;
    bool recordSizesRight = true;
    bool blockSizeDiffers = false; // the block given is not the size reported
    std::vector<DWORD> indices{};
} script;

HDEVINFO const kScriptedSet = reinterpret_cast<HDEVINFO>(0x5e7);
constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

HDEVINFO WINAPI scriptedGetClassDevs(const GUID *, PCSTR, HWND, DWORD)
{
    return script.setFails ? INVALID_HANDLE_VALUE : kScriptedSet;
}

BOOL WINAPI scriptedEnum(HDEVINFO set, PSP_DEVINFO_DATA, const GUID *interfaceClass, DWORD index,
                         PSP_DEVICE_INTERFACE_DATA data)
{
    script.indices.push_back(index);
    if (set != kScriptedSet || !interfaceClass || std::memcmp(interfaceClass, &kBoardInterfaceClass, sizeof(GUID)) != 0
        || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        script.recordSizesRight = false;
    if (index >= script.interfaces.size()) {
        SetLastError(script.errorAtEnd);
        return FALSE;
    }
    data->Reserved = index; // which interface the detail calls are about
    return TRUE;
}

BOOL WINAPI scriptedDetail(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data, PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                           DWORD size, PDWORD required, PSP_DEVINFO_DATA device)
{
    const Interface &entry = script.interfaces.at(data->Reserved);
    const DWORD needed = entry.reportedSize ? entry.reportedSize : DWORD(kPathOffset + entry.path.size() + 1);
    if (!detail) {
        *required = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || !device
        || device->cbSize != sizeof(SP_DEVINFO_DATA))
        script.recordSizesRight = false;
    if (size != needed)
        script.blockSizeDiffers = true;
    if (entry.detailFails || size < kPathOffset + entry.path.size() + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(detail->DevicePath, entry.path.c_str(), entry.path.size() + 1);
    return TRUE;
}

BOOL WINAPI scriptedDestroy(HDEVINFO set)
{
    if (set == kScriptedSet)
        ++script.destroyed;
    return TRUE;
}

void scripted(const char *row, Script given, int expectedCount, std::vector<std::string> expectedPaths,
              int expectedDestroyed = 1)
{
    script = std::move(given);
    const SetupApiCalls calls{&scriptedGetClassDevs, &scriptedEnum, &scriptedDetail, &scriptedDestroy};
    std::list<std::string> paths;
    const int count = CSetupApiEnumerator(calls).findTargets(paths);
    std::printf("  row: %s\n", row);
    WIN_CHECK_EQ(count, expectedCount);
    WIN_CHECK(std::vector<std::string>(paths.begin(), paths.end()) == expectedPaths);
    WIN_CHECK_EQ(script.destroyed, expectedDestroyed);
    WIN_CHECK(script.recordSizesRight);
    WIN_CHECK(!script.blockSizeDiffers);
    for (std::size_t i = 0; i < script.indices.size(); ++i)
        WIN_CHECK_EQ(script.indices[i], DWORD(i));
}

void scriptedInterfaces()
{
    const std::string first = "\\\\?\\usb#vid_1234&pid_0001#1#{cb98b0d6-aea0-42cc-bedd-24564f5abcee}";
    const std::string second = "\\\\?\\usb#vid_1234&pid_0001#2#{cb98b0d6-aea0-42cc-bedd-24564f5abcee}";
    scripted("two boards in enumeration order", {false, {{first}, {second}}}, 2, {first, second});
    scripted("a failed detail call is an empty path, counted", {false, {{first, 0, true}, {second}}}, 2,
             {"", second});
    scripted("a detail size below the record's fixed part skips the entry",
             {false, {{first, DWORD(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) - 1)}, {second}}}, 1, {second});
    scripted("a detail size too small for the path gives an empty path",
             {false, {{first, DWORD(kPathOffset + 4)}, {second}}}, 2, {"", second});
    scripted("another enumeration error ends the list, keeping what was found",
             {false, {{first}}, ERROR_INVALID_DATA}, 1, {first});
    scripted("no device information set: nothing listed, nothing released", {true, {{first}}}, 0, {}, 0);
}

void recordSizesForThisBuild()
{
    // The platform's own record sizes: these are what cbSize carries.
    const bool is32 = sizeof(void *) == 4;
    WIN_CHECK_EQ(sizeof(SP_DEVICE_INTERFACE_DATA), std::size_t(is32 ? 28 : 32));
    WIN_CHECK_EQ(sizeof(SP_DEVINFO_DATA), std::size_t(is32 ? 28 : 32));
    WIN_CHECK_EQ(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), std::size_t(is32 ? 5 : 8));
}

} // namespace

int main()
{
    noBoardGivesNothingAndReleasesTheSet();
    scriptedInterfaces();
    recordSizesForThisBuild();
    return wincheck::finish("win_enumeration");
}
