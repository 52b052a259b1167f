// bench-image-check [RUNS]: how long the check of the embedded image against
// its recorded SHA-256 takes, the pass over the whole image that the burn
// thread makes before the first packet. Prints each run and the median.

#include "CCheckedFirmwareImage.h"
#include "DeviceServices.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char *argv[])
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const DeviceServices platform = DeviceServices::platform();
    CCheckedFirmwareImage image(*platform.firmware, platform.firmwareSha256);

    std::vector<double> times;
    std::size_t size = 0;
    for (int run = 0; run <= runs; ++run) {
        FirmwareBytes bytes;
        const auto start = std::chrono::steady_clock::now();
        const bool intact = image.locate(kFirmwareType, kFirmwareId, bytes);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (!intact) {
            std::fprintf(stderr, "bench-image-check: the embedded image does not pass its check\n");
            return 1;
        }
        size = bytes.size;
        if (run == 0)
            continue; // the first run also pages the image in
        times.push_back(ms);
        std::printf("run %d: %.1f ms\n", run, ms);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("SHA-256 check of %zu bytes: median %.1f ms over %d runs (%.0f MB/s), fastest %.1f ms\n", size,
                median, runs, double(size) / 1e6 / (median / 1000), times.front());
    return 0;
}
