// The download protocol through Wirelet.dll linked at load time: the
// program's transport (the import library made from the seven calls)
// against the stand-in DLL with its in-process board.

#include "ITransport.h"
#include "FirmwareDownload.h"
#include "CMemoryFirmwareImage.h"
#include "WinCheck.h"

#include <windows.h>

#include <string>

namespace {

using SetupCall = void (*)(int, uint32_t, uint32_t, int);
using ReportCall = void (*)(uint32_t *, uint32_t *, int *, int *);

struct Row
{
    const char *what;
    const char *descriptor;
    int littleEndian;
    uint32_t maxPacket;
    uint32_t refusePacket;
    int wrongSum;
    int result;
    uint32_t packets; // received by the board
    int disconnects;
    int closes;
};

uint32_t byteSum(const std::vector<uint8_t> &bytes)
{
    uint32_t sum = 0;
    for (uint8_t b : bytes)
        sum += b;
    return sum;
}

void downloads()
{
    // Load-time linking: the DLL is already in the process.
    const HMODULE dll = GetModuleHandleA("Wirelet.dll");
    WIN_CHECK(dll != nullptr);
    if (!dll)
        return;
    const auto setup = reinterpret_cast<SetupCall>(reinterpret_cast<void *>(GetProcAddress(dll, "TestBoardSetup")));
    const auto report = reinterpret_cast<ReportCall>(reinterpret_cast<void *>(GetProcAddress(dll, "TestBoardReport")));
    WIN_CHECK(setup && report);
    if (!setup || !report)
        return;

    // 10000 bytes: three packets of room 4080 with the default board.
    CMemoryFirmwareImage image(CMemoryFirmwareImage::patternBytes(10000));
    const char *board = "PJ-9 (\\\\?\\test-board : 0)";
    const Row rows[] = {
        {"the whole image, little-endian", board, 1, 4096, 0, 0, kBurnSucceeded, 3, 1, 1},
        {"the whole image, big-endian", board, 0, 4096, 0, 0, kBurnSucceeded, 3, 1, 1},
        {"one packet when it all fits", board, 1, 20000, 0, 0, kBurnSucceeded, 1, 1, 1},
        {"a refused first packet stops the download", board, 1, 4096, 1, 0, kBurnFailed, 1, 1, 1},
        {"a wrong sum is a failure", board, 1, 4096, 0, 1, kBurnFailed, 3, 1, 1},
        {"an unknown board is not opened", "PJ-9 (\\\\?\\no-board : 0)", 1, 4096, 0, 0, kBurnFailed, 0, 0, 0},
        {"a port other than 0 reaches the library unchanged", "PJ-9 (\\\\?\\test-board : 3)", 1, 4096, 0, 0,
         kBurnFailed, 0, 0, 0},
    };
    for (const Row &row : rows) {
        std::printf("  row: %s\n", row.what);
        setup(row.littleEndian, row.maxPacket, row.refusePacket, row.wrongSum);
        int missing = 0;
        const DownloadContext context{libraryTransport(), image, [&missing] { ++missing; }};
        WIN_CHECK_EQ(burnFirmware(row.descriptor, context), row.result);
        uint32_t packets = 0, sum = 0;
        int disconnects = 0, closes = 0;
        report(&packets, &sum, &disconnects, &closes);
        WIN_CHECK_EQ(packets, row.packets);
        WIN_CHECK_EQ(disconnects, row.disconnects);
        WIN_CHECK_EQ(closes, row.closes);
        WIN_CHECK_EQ(missing, 0);
        if (row.result == 0)
            WIN_CHECK_EQ(sum, byteSum(image.bytes));
    }
}

} // namespace

int main()
{
    downloads();
    return wincheck::finish("win_download");
}
