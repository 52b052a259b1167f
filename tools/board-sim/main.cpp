// board-sim: a simulated projector board on a pseudo-terminal, for trying
// the wizard and for tests without hardware.

#include "BoardServer.h"
#include "PublishedPty.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr int kExitHelp = 0;
constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;
constexpr const char *kDirectoryName = "parvel";

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int)
{
    g_stopRequested = 1;
}

const char *const kUsage =
    "usage: board-sim [options]\n"
    "  --dir DIR              directory for the link (default $XDG_RUNTIME_DIR/parvel)\n"
    "  --link NAME            the link's file name (default board0)\n"
    "  --name TEXT            the board name it reports (default \"VELVANE SIM-1\")\n"
    "  --reply-delay MS       wait before answering an identity query\n"
    "  --silent               never answer an identity query\n"
    "  --no-nul               fill the whole 260-byte name field (the name repeated), no NUL\n"
    "  --byte-order little|big    byte order stated in the handshake (default little)\n"
    "  --max-packet N         largest packet size, header included (default 65536)\n"
    "  --refuse-packet N      answer packet N (1-based) with a nonzero status\n"
    "  --wrong-sum            report a sum off by one in the last reply\n"
    "  --stop-at-packet N     read packet N but never answer it nor anything after\n"
    "  --vanish-at-packet N   on packet N close the line and remove the link\n"
    "  --double-reply N       answer packet N twice\n"
    "  --short-reply N        answer packet N with one byte too few (15 bytes)\n"
    "  --long-reply N         answer packet N with one byte too many (17 bytes)\n"
    "  --cut-frame N          once, stop reading for a second in the middle of packet N's frame,\n"
    "                         so that a host with a shorter timeout leaves the frame cut off\n"
    "  --late-ack             answer each handshake only when the next one comes\n"
    "  --echo                 after the first handshake, only echo what the host sends, as a\n"
    "                         dead board on a looped-back line would\n"
    "  --kernel-line-mode     leave the line as the kernel sets up a new serial node (canonical\n"
    "                         input, echo, CR/LF translation, XON/XOFF), for the host to make raw\n"
    "  --rate BYTES_PER_S     throughput limit on what it reads\n"
    "  --save FILE            write the image bytes of each download to FILE\n"
    "  --die-with-parent      end when the process that started it ends\n"
    "  --help                 print this and exit\n";

bool parseNumber(const char *text, uint64_t low, uint64_t high, uint64_t *value)
{
    if (!text || !*text || *text == '-')
        return false;
    errno = 0;
    char *end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

struct CommandLine
{
    BoardConfig config;
    std::string directory;
    std::string link = "board0";
    bool directoryGiven = false;
    bool dieWithParent = false;
    PublishedPty::LineMode lineMode = PublishedPty::LineMode::Raw;
    bool help = false;
};

// False (with a message) on any unknown option or bad value.
bool parseCommandLine(int argc, char **argv, CommandLine *line, std::string *error)
{
    BoardConfig &config = line->config;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        uint64_t number = 0;
        auto numberIn = [&](uint64_t low, uint64_t high) {
            ++i;
            return parseNumber(value, low, high, &number);
        };
        if (option == "--help") {
            line->help = true;
            return true;
        } else if (option == "--die-with-parent") {
            line->dieWithParent = true;
        } else if (option == "--silent") {
            config.silent = true;
        } else if (option == "--no-nul") {
            config.terminateName = false;
        } else if (option == "--wrong-sum") {
            config.faults.wrongSum = true;
        } else if (option == "--kernel-line-mode") {
            line->lineMode = PublishedPty::LineMode::KernelDefault;
        } else if (option == "--late-ack") {
            config.lateAck = true;
        } else if (option == "--echo") {
            config.echo = true;
        } else if (!value) {
            *error = "missing value or unknown option: " + option;
            return false;
        } else if (option == "--dir") {
            line->directory = value, ++i;
            line->directoryGiven = true;
            if (line->directory.empty()) {
                *error = "--dir takes a directory, not an empty text";
                return false;
            }
        } else if (option == "--link") {
            line->link = value, ++i;
            if (line->link.empty() || line->link.find('/') != std::string::npos) {
                *error = "--link takes a plain file name";
                return false;
            }
        } else if (option == "--name") {
            config.name = value, ++i;
        } else if (option == "--save") {
            config.saveFile = value, ++i;
            if (config.saveFile.empty()) {
                *error = "--save takes a file name";
                return false;
            }
        } else if (option == "--byte-order") {
            ++i;
            if (std::strcmp(value, "little") != 0 && std::strcmp(value, "big") != 0) {
                *error = "--byte-order takes little or big";
                return false;
            }
            config.order = std::strcmp(value, "big") == 0 ? board::ByteOrder::Big : board::ByteOrder::Little;
        } else if (option == "--reply-delay" && numberIn(0, 3600 * 1000)) {
            config.replyDelayMs = int(number);
        } else if (option == "--max-packet" && numberIn(1, INT32_MAX)) {
            config.maxPacket = uint32_t(number);
        } else if (option == "--refuse-packet" && numberIn(1, UINT32_MAX)) {
            config.faults.refusePacket = uint32_t(number);
        } else if (option == "--stop-at-packet" && numberIn(1, UINT32_MAX)) {
            config.faults.stopAtPacket = uint32_t(number);
        } else if (option == "--vanish-at-packet" && numberIn(1, UINT32_MAX)) {
            config.faults.vanishAtPacket = uint32_t(number);
        } else if (option == "--double-reply" && numberIn(1, UINT32_MAX)) {
            config.faults.doubleReplyPacket = uint32_t(number);
        } else if (option == "--short-reply" && numberIn(1, UINT32_MAX)) {
            config.faults.shortReplyPacket = uint32_t(number);
        } else if (option == "--long-reply" && numberIn(1, UINT32_MAX)) {
            config.faults.longReplyPacket = uint32_t(number);
        } else if (option == "--cut-frame" && numberIn(1, UINT32_MAX)) {
            config.cutFramePacket = uint32_t(number);
        } else if (option == "--rate" && numberIn(1, UINT64_MAX)) {
            config.rateBytesPerSecond = number;
        } else {
            *error = "bad option or value: " + option + " " + value;
            return false;
        }
    }
    if (!line->directoryGiven) {
        const char *runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!runtime || !*runtime) {
            *error = "XDG_RUNTIME_DIR is not set: give --dir";
            return false;
        }
        line->directory = std::string(runtime) + "/" + kDirectoryName;
    }
    return true;
}

// The file must be writable before any download counts on it.
bool canSave(const std::string &file)
{
    return file.empty() || std::ofstream(file, std::ios::binary | std::ios::trunc).good();
}

// A simulator started by a test must not outlive it: it would keep the
// test runner's output open. The parent may already be gone before the
// request takes effect, when this process is adopted at once.
bool tieLifeToParent()
{
    const pid_t parent = getppid();
    return prctl(PR_SET_PDEATHSIG, SIGTERM) == 0 && parent != 1 && getppid() == parent;
}

} // namespace

int main(int argc, char **argv)
{
    CommandLine line;
    std::string error;
    if (!parseCommandLine(argc, argv, &line, &error)) {
        if (!error.empty())
            std::cerr << "board-sim: " << error << "\n";
        std::cerr << kUsage;
        return kExitUsage;
    }
    if (line.help) {
        std::cout << kUsage;
        return kExitHelp;
    }
    if (line.dieWithParent && !tieLifeToParent()) {
        std::cerr << "board-sim: its parent has already ended\n";
        return kExitFailure;
    }
    if (!canSave(line.config.saveFile)) {
        std::cerr << "board-sim: cannot write " << line.config.saveFile << ": " << std::strerror(errno) << "\n";
        return kExitFailure;
    }

    // The stop signals are blocked except while the server waits, so a stop
    // never slips in between a check and the wait.
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    PublishedPty pty;
    if (!pty.open(line.directory, line.link, line.lineMode, &error)) {
        std::cerr << "board-sim: " << error << "\n";
        return kExitFailure;
    }
    std::cout << "READY " << pty.linkPath() << std::endl;

    BoardServer server(pty, line.config, std::cout);
    server.run(g_stopRequested, waitMask);
    pty.close();
    return 0;
}
