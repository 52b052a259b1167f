// The simulated board for Windows (and Wine): the board side of the
// simulator behind a device interface that SetupAPI lists and CreateFileA
// opens, so the real program finds it, asks its name and updates it.
//
//   board-sim register N      registers the device ROOT\PARVEL\000N with the
//                             board's interface (once per prefix)
//   board-sim serve N [options]
//                             serves board N until its standard input ends
//
// While it serves, the board's interface is "present" (the Control\Linked
// value SetupAPI looks at), and the interface's path is an object link to
// the pipe \\.\pipe\parvel-boardN, which the board serves. A connection to
// the pipe is either the program's identity query (16 bytes, 276 back) or
// the test Wirelet.dll's (a hello, then one message per packet and one
// reply each); ending the connection ends the download. Prints
// "READY <path>", "QUERY" for each query answered or left silent, and the
// simulator's "DOWNLOAD ..." report after each download.

#include "BoardProtocol.h"
#include "DownloadSession.h"
#include "WindowsBoardWire.h"

#include <windows.h>
#include <setupapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The board driver's interface class (the program's kBoardInterfaceClass).
constexpr GUID kInterfaceClass = {0xCB98B0D6, 0xAEA0, 0x42CC, {0xBE, 0xDD, 0x24, 0x56, 0x4F, 0x5A, 0xBC, 0xEE}};
constexpr char kInterfaceClassText[] = "{cb98b0d6-aea0-42cc-bedd-24564f5abcee}";

struct Options
{
    std::string name = "VELVANE SIM-1";
    bool silent = false;
    board::ByteOrder order = board::ByteOrder::Little;
    uint32_t maxPacket = 65536;
    board::DownloadFaults faults;
    DWORD replyDelayMs = 0; // before each packet's reply: a transfer slow enough to cut
    std::string saveFile;
};

std::mutex theOutput;

void say(const std::string &line)
{
    std::lock_guard<std::mutex> lock(theOutput);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string instanceId(int number)
{
    char id[32];
    std::snprintf(id, sizeof id, "ROOT\\PARVEL\\%04d", number);
    return id;
}

// "root#parvel#000n#{guid}", as SetupAPI lists it behind "\\?\".
std::string interfaceName(int number)
{
    char name[96];
    std::snprintf(name, sizeof name, "root#parvel#%04d#%s", number, kInterfaceClassText);
    return name;
}

std::string pipeName(int number)
{
    return "parvel-board" + std::to_string(number);
}

int registerBoard(int number)
{
    const HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return 1;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    // Without SetupDiRegisterDeviceInfo the device is a phantom and vanishes.
    bool ok = SetupDiCreateDeviceInfoA(set, instanceId(number).c_str(), &kInterfaceClass, nullptr, nullptr, 0,
                                       &device)
              && SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr);
    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof iface;
    ok = ok && SetupDiCreateDeviceInterfaceA(set, &device, &kInterfaceClass, nullptr, 0, &iface);
    if (!ok)
        std::fprintf(stderr, "board-sim: registering %s failed, error %lu\n", instanceId(number).c_str(),
                     GetLastError());
    SetupDiDestroyDeviceInfoList(set);
    return ok ? 0 : 1;
}

// The interface's key under DeviceClasses: its name holds the interface's
// path in some case, so it is found by comparing without case.
HKEY openInterfaceKey(int number)
{
    const std::string classPath = std::string("System\\CurrentControlSet\\Control\\DeviceClasses\\") + kInterfaceClassText;
    HKEY classKey = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, classPath.c_str(), 0, KEY_READ, &classKey) != ERROR_SUCCESS)
        return nullptr;
    const std::string wanted = "##?#" + interfaceName(number);
    HKEY found = nullptr;
    char sub[512];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof sub;
        if (RegEnumKeyExA(classKey, i, sub, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (lstrcmpiA(sub, wanted.c_str()) == 0) {
            RegOpenKeyExA(classKey, sub, 0, KEY_ALL_ACCESS, &found);
            break;
        }
    }
    RegCloseKey(classKey);
    return found;
}

// SetupAPI lists a present interface only while Control\Linked is 1 under its
// "#" subkey; no SetupAPI call writes it, a driver's stack does.
bool setLinked(int number, bool linked)
{
    const HKEY iface = openInterfaceKey(number);
    if (!iface)
        return false;
    HKEY control = nullptr;
    bool ok = RegCreateKeyExA(iface, "#\\Control", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &control, nullptr)
              == ERROR_SUCCESS;
    if (ok) {
        if (linked) {
            const DWORD one = 1;
            ok = RegSetValueExA(control, "Linked", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one), sizeof one)
                 == ERROR_SUCCESS;
        } else {
            RegDeleteValueA(control, "Linked");
        }
        RegCloseKey(control);
    }
    RegCloseKey(iface);
    return ok;
}

using CreateLinkCall = NTSTATUS(NTAPI *)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PUNICODE_STRING);

std::wstring wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

// \??\root#parvel#000n#{guid} -> \Device\NamedPipe\parvel-boardN, held while
// the returned handle is open. DefineDosDevice cannot make it: Wine's buffer
// for the name holds only two characters.
HANDLE linkInterfaceToPipe(int number)
{
    const auto create = reinterpret_cast<CreateLinkCall>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtCreateSymbolicLinkObject")));
    if (!create)
        return nullptr;
    std::wstring name = wide("\\??\\" + interfaceName(number));
    std::wstring target = wide("\\Device\\NamedPipe\\" + pipeName(number));
    UNICODE_STRING nameString{USHORT(name.size() * 2), USHORT(name.size() * 2), &name[0]};
    UNICODE_STRING targetString{USHORT(target.size() * 2), USHORT(target.size() * 2), &target[0]};
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    attributes.ObjectName = &nameString;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    HANDLE link = nullptr;
    const NTSTATUS status = create(&link, 0xF0001 /* SYMBOLIC_LINK_ALL_ACCESS */, &attributes, &targetString);
    if (status != 0) {
        std::fprintf(stderr, "board-sim: NtCreateSymbolicLinkObject failed, status 0x%08lx\n", static_cast<unsigned long>(status));
        return nullptr;
    }
    return link;
}

// One whole message from the pipe; false when the client went away.
bool readMessage(HANDLE pipe, std::vector<uint8_t> &message)
{
    message.clear();
    uint8_t chunk[65536];
    for (;;) {
        DWORD got = 0;
        const BOOL whole = ReadFile(pipe, chunk, sizeof chunk, &got, nullptr);
        message.insert(message.end(), chunk, chunk + got);
        if (whole)
            return true;
        if (GetLastError() != ERROR_MORE_DATA)
            return false;
    }
}

bool writeMessage(HANDLE pipe, const uint8_t *bytes, std::size_t size)
{
    DWORD written = 0;
    return WriteFile(pipe, bytes, DWORD(size), &written, nullptr) && written == size;
}

class Board
{
public:
    explicit Board(const Options &options)
        : m_options(options) {}

    // Serves one client of the pipe until it goes.
    void serve(HANDLE pipe)
    {
        std::vector<uint8_t> message;
        std::unique_ptr<board::DownloadSession> session;
        while (readMessage(pipe, message)) {
            if (message.size() == board::kCommandHeaderSize
                && std::equal(board::kIdentityQuery.begin(), board::kIdentityQuery.end(), message.begin())) {
                say("QUERY");
                if (!m_options.silent) {
                    const auto reply = board::identityReply(m_options.name, true);
                    writeMessage(pipe, reply.data(), reply.size());
                }
            } else if (message.size() == sizeof kBoardWireHello
                       && std::memcmp(message.data(), kBoardWireHello, sizeof kBoardWireHello) == 0) {
                session = std::make_unique<board::DownloadSession>(m_options.order, m_options.maxPacket,
                                                                   m_options.faults);
                const std::vector<uint8_t> ack = board::helloAckPayload(m_options.order, m_options.maxPacket);
                writeMessage(pipe, ack.data(), ack.size());
            } else if (session) {
                if (!onPacket(pipe, *session, message))
                    break;
            }
        }
        if (session) {
            const std::string report = session->onDisconnect();
            if (!report.empty())
                say(report);
        }
        DisconnectNamedPipe(pipe);
        CloseHandle(pipe);
    }

private:
    bool onPacket(HANDLE pipe, board::DownloadSession &session, const std::vector<uint8_t> &message)
    {
        const board::PacketOutcome outcome = session.onPacket(message.data(), message.size());
        save(outcome);
        if (!outcome.report.empty())
            say(outcome.report);
        if (outcome.action == board::PacketOutcome::Action::Vanish)
            std::exit(3);
        if (outcome.action == board::PacketOutcome::Action::Stop) {
            m_stopped = true;
            return true;
        }
        if (m_stopped)
            return true;
        if (m_options.replyDelayMs)
            Sleep(m_options.replyDelayMs);
        for (int i = 0; i < outcome.replyCount; ++i)
            if (!writeMessage(pipe, outcome.reply.data(), outcome.reply.size()))
                return false;
        return true;
    }

    void save(const board::PacketOutcome &outcome)
    {
        if (m_options.saveFile.empty())
            return;
        if (outcome.startsDownload) {
            if (m_save)
                std::fclose(m_save);
            m_save = std::fopen(m_options.saveFile.c_str(), "wb");
        }
        if (m_save && outcome.dataSize) {
            std::fwrite(outcome.data, 1, outcome.dataSize, m_save);
            std::fflush(m_save);
        }
    }

    Options m_options;
    bool m_stopped = false;
    std::FILE *m_save = nullptr;
};

bool parseOptions(int argc, char **argv, int first, Options &options)
{
    for (int i = first; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--silent") {
            options.silent = true;
        } else if (option == "--wrong-sum") {
            options.faults.wrongSum = true;
        } else if (option == "--big-endian") {
            options.order = board::ByteOrder::Big;
        } else if (option == "--name" && hasValue) {
            options.name = argv[++i];
        } else if (option == "--refuse-packet" && hasValue) {
            options.faults.refusePacket = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        } else if (option == "--max-packet" && hasValue) {
            options.maxPacket = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        } else if (option == "--reply-delay" && hasValue) {
            options.replyDelayMs = DWORD(std::strtoul(argv[++i], nullptr, 10));
        } else if (option == "--save" && hasValue) {
            options.saveFile = argv[++i];
        } else {
            std::fprintf(stderr, "board-sim: unknown option %s\n", option.c_str());
            return false;
        }
    }
    return true;
}

int serveBoard(int number, const Options &options)
{
    if (!setLinked(number, true)) {
        std::fprintf(stderr, "board-sim: %s is not registered (board-sim register %d)\n", instanceId(number).c_str(),
                     number);
        return 1;
    }
    const HANDLE link = linkInterfaceToPipe(number);
    if (!link) {
        setLinked(number, false);
        return 1;
    }
    const std::string pipePath = "\\\\.\\pipe\\" + pipeName(number);
    // The first instance exists before READY, so a client never finds none.
    auto newInstance = [&] {
        return CreateNamedPipeA(pipePath.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                PIPE_UNLIMITED_INSTANCES, 1 << 20, 1 << 20, 0, nullptr);
    };
    HANDLE next = newInstance();
    if (next == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "board-sim: cannot create %s, error %lu\n", pipePath.c_str(), GetLastError());
        setLinked(number, false);
        return 1;
    }
    // Standard input ending is the sign to stop: the interface goes away
    // with the link and the Linked value.
    std::thread([number, link] {
        char byte;
        DWORD got = 0;
        while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr) && got > 0) {
        }
        setLinked(number, false);
        CloseHandle(link);
        say("STOPPED");
        std::_Exit(0);
    }).detach();

    say("READY \\\\?\\" + interfaceName(number));
    Board theBoard(options);
    for (;;) {
        const HANDLE pipe = next;
        if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
            CloseHandle(pipe);
            next = newInstance();
            continue;
        }
        next = newInstance();
        // The query and the download each come as a client of their own, one
        // after the other.
        std::thread([&theBoard, pipe] { theBoard.serve(pipe); }).detach();
    }
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    const int number = argc > 2 ? std::atoi(argv[2]) : -1;
    if (number < 0 || number > 9999 || (command != "register" && command != "serve")) {
        std::fprintf(stderr, "usage: board-sim register N | board-sim serve N [--name NAME] [--silent] "
                             "[--refuse-packet K] [--wrong-sum] [--big-endian] [--max-packet BYTES] "
                             "[--reply-delay MS] [--save FILE]\n");
        return 2;
    }
    if (command == "register")
        return registerBoard(number);
    Options options;
    if (!parseOptions(argc, argv, 3, options))
        return 2;
    return serveBoard(number, options);
}
