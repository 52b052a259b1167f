// bench-download: the full-size image sent by the program's own download
// code through the transport library to the board simulator, against the raw throughput of a pseudo-terminal pair in
// the same run, and the growth of resident memory during the download.
// It measures and prints; it judges nothing.

#include "CForwardingTransport.h"
#include "CMemoryFirmwareImage.h"
#include "Deadline.h"
#include "DeviceDescriptor.h"
#include "FirmwareDownload.h"
#include "IFirmwareImage.h"
#include "ITransport.h"
#include "SpawnedProcess.h"

#include <wirelet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::size_t kImageSize = IMAGE_SIZE; // the real image's, from the build
constexpr const char *kBuildType = BUILD_TYPE; // what was measured: the library and simulator are built alike
constexpr int kRounds = 5;
constexpr std::size_t kChunk = 64 * 1024;

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> makeImage()
{
    std::vector<uint8_t> image(kImageSize);
    uint32_t state = 0x2545F491u;
    for (uint8_t &byte : image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = uint8_t(state);
    }
    return image;
}

// Resident size, read often during the download: the file stays open.
long residentBytes()
{
    static const int statm = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    char text[128];
    const ssize_t n = statm >= 0 ? pread(statm, text, sizeof text - 1, 0) : -1;
    if (n <= 0)
        return 0;
    text[n] = '\0';
    long pages = 0, resident = 0;
    if (std::sscanf(text, "%ld %ld", &pages, &resident) != 2)
        return 0;
    return resident * sysconf(_SC_PAGESIZE);
}

double megabytesPerSecond(std::size_t bytes, Clock::duration elapsed)
{
    return double(bytes) / 1e6 / std::chrono::duration<double>(elapsed).count();
}

// The same bytes written into one end of a raw pseudo-terminal pair and
// read from the other, as the download's packets travel.
double rawPtyThroughput(const std::vector<uint8_t> &image)
{
    int master = -1, slave = -1;
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0)
        return 0;
    const Clock::time_point start = Clock::now();
    std::thread reader([master, total = image.size()] {
        std::vector<uint8_t> buffer(kChunk);
        std::size_t got = 0;
        while (got < total) {
            const ssize_t n = read(master, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
    });
    for (std::size_t offset = 0; offset < image.size();) {
        const ssize_t n = write(slave, image.data() + offset, std::min(kChunk, image.size() - offset));
        if (n <= 0)
            break;
        offset += std::size_t(n);
    }
    reader.join();
    const Clock::duration elapsed = Clock::now() - start;
    close(slave);
    close(master);
    return megabytesPerSecond(image.size(), elapsed);
}

// How long the simulator may take to start or to report a download.
constexpr int kSimulatorLineMs = 10000;
constexpr int kFailureReportMs = 1000;

struct Simulator
{
    SpawnedProcess process;
    std::string pending; // output read but not yet taken as a line
    std::string node;
};

// The simulator's next line, waiting at most `timeoutMs` for it; empty when
// none came (a download the board never saw has no report).
std::string simulatorLine(Simulator &sim, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t end = sim.pending.find('\n');
        if (end != std::string::npos) {
            std::string line = sim.pending.substr(0, end);
            sim.pending.erase(0, end + 1);
            return line;
        }
        const int left = millisecondsUntil(deadline);
        pollfd ready{sim.process.output, POLLIN, 0};
        if (left == 0 || poll(&ready, 1, left) <= 0)
            return {};
        char chunk[4096];
        const ssize_t n = read(sim.process.output, chunk, sizeof chunk);
        if (n == 0)
            return {};
        if (n > 0)
            sim.pending.append(chunk, std::size_t(n));
    }
}

bool startSimulator(const std::string &directory, char **options, Simulator *sim)
{
    std::vector<std::string> arguments{"--dir", directory, "--die-with-parent"};
    for (char **option = options; *option; ++option)
        arguments.push_back(*option);
    if (!spawnWithOutputPipe(BOARD_SIM_PATH, arguments, &sim->process))
        return false;
    const std::string line = simulatorLine(*sim, kSimulatorLineMs);
    if (line.compare(0, 6, "READY ") != 0)
        return false;
    sim->node = line.substr(6);
    return true;
}

void stopSimulator(Simulator &sim)
{
    if (sim.process.pid > 0)
        endProcess(sim.process.pid, SIGTERM, kSimulatorLineMs);
    if (sim.process.output >= 0)
        close(sim.process.output);
}

// The program's own download over the linked library, watched from the
// transport seam: the largest packet the board states and the resident size
// after every reply.
class WatchedTransport final : public CForwardingTransport
{
public:
    WatchedTransport()
        : CForwardingTransport(libraryTransport()) {}

    long residentPeak = 0;
    int32_t maxPacket = 0;

    int commGetOption(uint32_t handle, int option, int32_t *value) override
    {
        const int result = m_inner.commGetOption(handle, option, value);
        if (option == WIRELET_OPTION_MAX_PACKET)
            maxPacket = *value;
        return result;
    }
    int commReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status) override
    {
        const int result = m_inner.commReceiveData(handle, buffer, length, more, status);
        residentPeak = std::max(residentPeak, residentBytes());
        return result;
    }
};

struct DownloadRun
{
    bool ok = false;
    Clock::duration elapsed{};
    long residentGrowth = 0;
    int32_t maxPacket = 0;
};

// One whole update of the board at `node`, as the program makes it.
DownloadRun download(const std::string &node, IFirmwareImage &firmware)
{
    WatchedTransport transport;
    const DownloadContext context{transport, firmware, nullptr};
    const std::string descriptor = formatDeviceDescriptor("bench", node);

    DownloadRun run;
    const long residentBefore = residentBytes();
    transport.residentPeak = residentBefore;
    const Clock::time_point start = Clock::now();
    run.ok = burnFirmware(descriptor, context) == 0;
    run.elapsed = Clock::now() - start;
    run.residentGrowth = transport.residentPeak - residentBefore;
    run.maxPacket = transport.maxPacket;
    return run;
}

} // namespace

const char *const kUsage =
    "usage: bench-download [board-sim options]\n"
    "Sends the full-size image to a board simulator several times and prints the\n"
    "download rate against a raw pseudo-terminal, and the growth of resident memory.\n"
    "Options other than --help go to the simulator (e.g. --max-packet 1048576);\n"
    "see board-sim --help.\n";

// Arguments, if any, go to the simulator (e.g. --max-packet 1048576).
int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    CMemoryFirmwareImage firmware(makeImage());
    const std::vector<uint8_t> &image = firmware.bytes;

    char directory[] = "/tmp/bench-download-XXXXXX";
    if (!mkdtemp(directory)) {
        std::perror("mkdtemp");
        return 1;
    }
    // Whatever the simulator was told to leave there (--save) goes too.
    auto removeDirectory = [&directory] {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    };
    Simulator sim;
    if (!startSimulator(directory, argv + 1, &sim)) {
        std::fprintf(stderr, "bench-download: the board simulator did not start\n");
        stopSimulator(sim);
        removeDirectory();
        return 1;
    }

    // Other work on the machine makes single runs noisy: each side gets the
    // best of a few rounds, taken alternately.
    int result = 1;
    DownloadRun best;
    double rawRate = 0;
    long residentGrowth = 0;
    std::string report;
    for (int round = 0; round < kRounds; ++round) {
        const DownloadRun run = download(sim.node, firmware);
        // A board reports a failure before it answers; one that never saw a
        // packet reports nothing.
        report = simulatorLine(sim, run.ok ? kSimulatorLineMs : kFailureReportMs);
        if (!run.ok) {
            best = run;
            break;
        }
        if (!best.ok || run.elapsed < best.elapsed)
            best = run;
        residentGrowth = std::max(residentGrowth, run.residentGrowth);
        rawRate = std::max(rawRate, rawPtyThroughput(image));
    }
    if (best.ok) {
        const double rate = megabytesPerSecond(image.size(), best.elapsed);
        std::printf("build type:        %s%s\n", kBuildType[0] ? kBuildType : "(none)",
                    std::strcmp(kBuildType, "Release") == 0 ? "" : " (compare figures from a Release build only)");
        std::printf("image:             %zu bytes, packets of %" PRId32 " bytes\n", image.size(), best.maxPacket);
        std::printf("download:          %.1f MB/s (%.3f s, best of %d)\n", rate,
                    std::chrono::duration<double>(best.elapsed).count(), kRounds);
        std::printf("raw pty:           %.1f MB/s (best of %d)\n", rawRate, kRounds);
        std::printf("ratio:             %.2f\n", rawRate > 0 ? rate / rawRate : 0.0);
        std::printf("resident growth:   %ld bytes (bound %zu: 1 MiB + two packets)\n", residentGrowth,
                    std::size_t(1 << 20) + 2 * std::size_t(best.maxPacket));
        std::printf("simulator:         %s\n", report.c_str());
        result = 0;
    } else {
        std::fprintf(stderr, "bench-download: the download failed (%s)\n", report.c_str());
    }
    stopSimulator(sim);
    removeDirectory();
    return result;
}
