// bench-download: the full-size image through the transport library to the
// board simulator, against the raw throughput of a pseudo-terminal pair in
// the same run, and the growth of resident memory during the download.
// It measures and prints; it judges nothing.

#include <wirelet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::size_t kImageSize = 12902619;
constexpr int kRounds = 5;
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kReplySize = 16;
constexpr std::size_t kChunk = 64 * 1024;
constexpr int kTimeoutMs = 26214;
constexpr uint16_t kLastPacket = 0xFFFF;

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

struct Simulator
{
    pid_t pid = -1;
    FILE *output = nullptr;
    std::string node;
};

bool startSimulator(const std::string &directory, char **options, Simulator *sim)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    sim->pid = fork();
    if (sim->pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char *> argv{const_cast<char *>("board-sim"), const_cast<char *>("--dir"),
                                 const_cast<char *>(directory.c_str())};
        for (char **option = options; *option; ++option)
            argv.push_back(*option);
        argv.push_back(nullptr);
        execv(BOARD_SIM_PATH, argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    sim->output = fdopen(pipeFds[0], "r");
    char line[4096];
    if (sim->pid < 0 || !sim->output || !std::fgets(line, sizeof line, sim->output)
        || std::strncmp(line, "READY ", 6) != 0)
        return false;
    sim->node = std::string(line + 6, std::strcspn(line + 6, "\n"));
    return true;
}

std::string simulatorLine(Simulator &sim)
{
    char line[4096];
    return std::fgets(line, sizeof line, sim.output) ? std::string(line, std::strcspn(line, "\n")) : std::string();
}

void stopSimulator(Simulator &sim)
{
    if (sim.pid > 0) {
        kill(sim.pid, SIGTERM);
        waitpid(sim.pid, nullptr, 0);
    }
    if (sim.output)
        std::fclose(sim.output);
}

void put16(uint8_t *at, uint16_t value, bool little)
{
    at[little ? 0 : 1] = uint8_t(value);
    at[little ? 1 : 0] = uint8_t(value >> 8);
}

void put32(uint8_t *at, uint32_t value, bool little)
{
    for (int i = 0; i < 4; ++i)
        at[little ? i : 3 - i] = uint8_t(value >> (8 * i));
}

uint32_t get32(const uint8_t *at, bool little)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= uint32_t(at[little ? i : 3 - i]) << (8 * i);
    return value;
}

struct DownloadRun
{
    bool ok = false;
    Clock::duration elapsed{};
    long residentGrowth = 0;
    int32_t maxPacket = 0;
};

// One packet and one reply at a time, as the program sends the image.
DownloadRun download(uint32_t handle, const std::vector<uint8_t> &image)
{
    DownloadRun run;
    const long residentBefore = residentBytes();
    long residentPeak = residentBefore;
    const Clock::time_point start = Clock::now();

    int32_t littleEndian = 1;
    if (CommGetOption(handle, WIRELET_OPTION_MAX_PACKET, &run.maxPacket) != 0 || run.maxPacket <= int32_t(kHeaderSize)
        || CommGetOption(handle, WIRELET_OPTION_BYTE_ORDER, &littleEndian) != 0)
        return run;
    const bool little = littleEndian != 0;
    const std::size_t room = std::size_t(run.maxPacket) - kHeaderSize;
    std::vector<uint8_t> packet(std::min(image.size() + kHeaderSize, std::size_t(run.maxPacket)));
    const uint8_t header[4] = {'T', 'B', 0xFF, 0x01};
    std::memcpy(packet.data(), header, sizeof header);

    uint32_t sum = 0;
    for (std::size_t offset = 0; offset < image.size();) {
        const std::size_t n = std::min(room, image.size() - offset);
        const bool last = offset + n == image.size();
        uint8_t *data = packet.data() + kHeaderSize;
        for (std::size_t i = 0; i < n; ++i)
            sum += (data[i] = image[offset + i]);
        offset += n;
        put16(packet.data() + 4, 0, little);
        put16(packet.data() + 6, last ? kLastPacket : 0, little);
        put32(packet.data() + 8, uint32_t(n), little);
        put32(packet.data() + 12, last ? sum : 0, little);

        uint8_t reply[kReplySize];
        uint32_t length = kReplySize;
        uint8_t more = 0, status = 0;
        if (CommSendData(handle, packet.data(), uint32_t(kHeaderSize + n), WIRELET_MODE_BLOCKS, 1) != 0
            || CommReceiveData(handle, reply, &length, &more, &status) != 0 || reply[4] != 0 || reply[5] != 0)
            return run;
        residentPeak = std::max(residentPeak, residentBytes());
        if (last)
            run.ok = get32(reply + 12, little) == sum;
    }
    run.elapsed = Clock::now() - start;
    run.residentGrowth = residentPeak - residentBefore;
    return run;
}

} // namespace

// Arguments, if any, go to the simulator (e.g. --max-packet 1048576).
int main(int, char **argv)
{
    const std::vector<uint8_t> image = makeImage();

    char directory[] = "/tmp/bench-download-XXXXXX";
    if (!mkdtemp(directory)) {
        std::perror("mkdtemp");
        return 1;
    }
    Simulator sim;
    if (!startSimulator(directory, argv + 1, &sim)) {
        std::fprintf(stderr, "bench-download: the board simulator did not start\n");
        stopSimulator(sim);
        rmdir(directory);
        return 1;
    }

    // Other work on the machine makes single runs noisy: each side gets the
    // best of a few rounds, taken alternately.
    int result = 1;
    uint32_t handle = 0;
    uint8_t options = 1;
    if (CommOpen(sim.node.c_str(), 0, &handle, 0, kTimeoutMs) == 0) {
        if (CommConnect(handle, WIRELET_MODE_BLOCKS, &options, 0, 0) == 0) {
            DownloadRun best;
            double rawRate = 0;
            long residentGrowth = 0;
            std::string report;
            for (int round = 0; round < kRounds; ++round) {
                const DownloadRun run = download(handle, image);
                report = simulatorLine(sim);
                if (!run.ok) {
                    best = run;
                    break;
                }
                if (!best.ok || run.elapsed < best.elapsed)
                    best = run;
                residentGrowth = std::max(residentGrowth, run.residentGrowth);
                rawRate = std::max(rawRate, rawPtyThroughput(image));
            }
            CommDisconnect(handle);
            if (best.ok) {
                const double rate = megabytesPerSecond(image.size(), best.elapsed);
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
        }
        CommClose(handle);
    }
    stopSimulator(sim);
    rmdir(directory);
    return result;
}
