// The burn thread's image check in the Windows program's terms: the image
// from this executable's resource, the SHA-256 the build recorded, Qt's hash
// and the download through Wirelet.dll linked at load time (the stand-in
// with its in-process board). An intact image reaches the board whole; a
// copy of this program with one byte of its image flipped makes the
// connection, reports the image missing once and sends no packet.

#include "CCheckedFirmwareImage.h"
#include "DeviceLog.h"
#include "DeviceServices.h"
#include "FirmwareDownload.h"
#include "WinCheck.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using SetupCall = void (*)(int, uint32_t, uint32_t, int);
using ReportCall = void (*)(uint32_t *, uint32_t *, int *, int *);

constexpr char kBoard[] = "PJ-9 (\\\\?\\test-board : 0)";
constexpr char kDamagedMode[] = "--damaged";
constexpr uint32_t kLargestPacket = 4096;

struct Received
{
    int result = -2;
    int missingReports = 0;
    uint32_t packets = 0, sum = 0;
    int disconnects = 0, closes = 0;
};

// One update of the test board with this program's own image, as the burn
// thread runs it.
Received update()
{
    Received seen;
    const HMODULE dll = GetModuleHandleA("Wirelet.dll");
    const auto setup = reinterpret_cast<SetupCall>(reinterpret_cast<void *>(GetProcAddress(dll, "TestBoardSetup")));
    const auto report = reinterpret_cast<ReportCall>(reinterpret_cast<void *>(GetProcAddress(dll, "TestBoardReport")));
    WIN_CHECK(setup && report);
    if (!setup || !report)
        return seen;
    setup(1, kLargestPacket, 0, 0);
    const DeviceServices platform = DeviceServices::platform();
    CCheckedFirmwareImage image(*platform.firmware, platform.firmwareSha256);
    const DownloadContext context{*platform.transport, image, [&seen] { ++seen.missingReports; }};
    seen.result = burnFirmware(kBoard, context);
    report(&seen.packets, &seen.sum, &seen.disconnects, &seen.closes);
    return seen;
}

uint32_t byteSum(const FirmwareBytes &bytes)
{
    uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size; ++i)
        sum += bytes.data[i];
    return sum;
}

void intactImage()
{
    std::printf("  intact image\n");
    FirmwareBytes bytes;
    WIN_CHECK(embeddedFirmwareImage().locate(kFirmwareType, kFirmwareId, bytes));
    const Received seen = update();
    WIN_CHECK_EQ(seen.result, kBurnSucceeded);
    WIN_CHECK_EQ(seen.missingReports, 0);
    const std::size_t room = kLargestPacket - 16;
    WIN_CHECK_EQ(seen.packets, uint32_t((bytes.size + room - 1) / room));
    WIN_CHECK_EQ(seen.sum, byteSum(bytes));
}

// Run in the damaged copy.
void damagedImage()
{
    const Received seen = update();
    WIN_CHECK_EQ(seen.result, kBurnFailed);
    WIN_CHECK_EQ(seen.missingReports, 1);
    WIN_CHECK_EQ(seen.packets, 0u);
    WIN_CHECK_EQ(seen.disconnects, 1);
    WIN_CHECK_EQ(seen.closes, 1);
}

// Writes this program beside itself with one byte in the middle of its
// image flipped, runs it, and expects it to pass damagedImage().
void copyWithOneByteFlipped()
{
    std::printf("  a copy of this program with one byte of its image flipped\n");
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    WIN_CHECK(length > 0 && length < sizeof self);
    std::ifstream in(self, std::ios::binary);
    std::vector<char> program((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    FirmwareBytes bytes;
    WIN_CHECK(embeddedFirmwareImage().locate(kFirmwareType, kFirmwareId, bytes));
    WIN_CHECK(bytes.size > 4096);
    if (bytes.size <= 4096)
        return;
    const auto head = reinterpret_cast<const char *>(bytes.data);
    const auto at = std::search(program.begin(), program.end(), head, head + 4096);
    WIN_CHECK(at != program.end() && std::size_t(program.end() - at) >= bytes.size);
    if (at == program.end() || std::size_t(program.end() - at) < bytes.size)
        return;
    WIN_CHECK(std::equal(at, at + std::ptrdiff_t(bytes.size), head));
    at[std::ptrdiff_t(bytes.size / 2)] ^= 0x01;

    // Beside the original, where the stand-in Wirelet.dll is found.
    std::string copy(self);
    copy.insert(copy.size() - 4, "-damaged");
    {
        std::ofstream out(copy, std::ios::binary | std::ios::trunc);
        out.write(program.data(), std::streamsize(program.size()));
        WIN_CHECK(bool(out));
    }
    std::string command = "\"" + copy + "\" " + kDamagedMode;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    WIN_CHECK(started);
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(process.hProcess, &code);
        WIN_CHECK_EQ(code, DWORD(0));
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    DeleteFileA(copy.c_str());
}

} // namespace

int main(int argc, char *argv[])
{
    // The check's own lines (digests, time taken) go to the test's output.
    setDeviceLogSink([](DeviceLogLevel, const std::string &line) { std::printf("    log: %s\n", line.c_str()); });
    if (argc > 1 && std::strcmp(argv[1], kDamagedMode) == 0) {
        damagedImage();
        return wincheck::finish("win_image_check (damaged copy)");
    }
    intactImage();
    copyWithOneByteFlipped();
    return wincheck::finish("win_image_check");
}
