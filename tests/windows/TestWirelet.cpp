// A stand-in Wirelet.dll for the tests under Wine: the seven calls served by
// an in-process board (the simulator's download rules), so the program's
// download code runs through a DLL linked at load time. Two extra exports let
// a test set the board up and read what it received.
//
// Any other path is a board that the Windows simulator serves
// (tools/board-sim/WindowsBoard.cpp): the DLL opens the path, as the
// program's query does, and carries each call over that board's pipe, so
// one board sees the query and the transfer.

#include "DownloadSession.h"
#include "WindowsBoardWire.h"

#include <wirelet.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#define TEST_WIRELET_EXPORT extern "C" __declspec(dllexport)

namespace {

constexpr uint32_t kHandle = 0x7e57;
constexpr char kBoardPath[] = "\\\\?\\test-board";

struct Setup
{
    board::ByteOrder order = board::ByteOrder::Little;
    uint32_t maxPacket = 4096;
    board::DownloadFaults faults;
};

struct Board
{
    Setup setup;
    bool open = false;
    std::unique_ptr<board::DownloadSession> session; // while connected
    std::vector<uint8_t> answer;                     // to the packet sent last
    uint32_t packets = 0;
    uint32_t sum = 0;
    int disconnects = 0;
    int closes = 0;
} theBoard;

bool known(uint32_t handle)
{
    return handle == kHandle && theBoard.open;
}

constexpr uint32_t kPipeHandle = 0x91be;

// A board served by another process, over its pipe.
struct PipeBoard
{
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
    DWORD timeoutMs = 0;
    bool connected = false;
    int32_t maxPacket = 0;
    int32_t littleEndian = 1;
} thePipe;

bool pipeKnown(uint32_t handle)
{
    return handle == kPipeHandle && thePipe.pipe != INVALID_HANDLE_VALUE;
}

// One overlapped write or read, bounded by the handle's timeout; 0 or a
// WireletResult.
int pipeTransfer(bool write, void *bytes, DWORD size, DWORD *done)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = thePipe.event;
    ResetEvent(thePipe.event);
    const BOOL started = write ? WriteFile(thePipe.pipe, bytes, size, nullptr, &overlapped)
                               : ReadFile(thePipe.pipe, bytes, size, nullptr, &overlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return GetLastError() == ERROR_BROKEN_PIPE ? WIRELET_ERR_HANGUP : WIRELET_ERR_IO;
    if (WaitForSingleObject(thePipe.event, thePipe.timeoutMs) != WAIT_OBJECT_0) {
        CancelIo(thePipe.pipe);
        GetOverlappedResult(thePipe.pipe, &overlapped, done, TRUE);
        return WIRELET_ERR_TIMEOUT;
    }
    if (!GetOverlappedResult(thePipe.pipe, &overlapped, done, FALSE) && GetLastError() != ERROR_MORE_DATA)
        return GetLastError() == ERROR_BROKEN_PIPE ? WIRELET_ERR_HANGUP : WIRELET_ERR_IO;
    return WIRELET_OK;
}

int pipeOpen(const char *path, uint32_t *handle, int timeoutMs)
{
    if (thePipe.pipe != INVALID_HANDLE_VALUE)
        return WIRELET_ERR_BUSY;
    const HANDLE pipe = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return WIRELET_ERR_OPEN;
    thePipe = PipeBoard{};
    thePipe.pipe = pipe;
    thePipe.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thePipe.timeoutMs = DWORD(timeoutMs > 0 ? timeoutMs : 1);
    *handle = kPipeHandle;
    return WIRELET_OK;
}

int pipeConnect()
{
    if (thePipe.connected)
        return WIRELET_ERR_STATE;
    uint8_t hello[sizeof kBoardWireHello];
    std::memcpy(hello, kBoardWireHello, sizeof hello);
    DWORD done = 0;
    if (const int result = pipeTransfer(true, hello, sizeof hello, &done))
        return result;
    uint8_t ack[WIRELET_HELLO_ACK_SIZE] = {};
    if (const int result = pipeTransfer(false, ack, sizeof ack, &done))
        return result;
    if (done != sizeof ack)
        return WIRELET_ERR_PROTOCOL;
    thePipe.littleEndian = ack[WIRELET_ACK_ORDER_OFFSET] != 0;
    const uint8_t *largest = ack + WIRELET_ACK_MAX_PACKET_OFFSET;
    thePipe.maxPacket = int32_t(uint32_t(largest[0]) | uint32_t(largest[1]) << 8 | uint32_t(largest[2]) << 16
                                | uint32_t(largest[3]) << 24);
    thePipe.connected = true;
    return WIRELET_OK;
}

int pipeClose()
{
    CloseHandle(thePipe.pipe);
    CloseHandle(thePipe.event);
    thePipe = PipeBoard{};
    return WIRELET_OK;
}

} // namespace

TEST_WIRELET_EXPORT void TestBoardSetup(int littleEndian, uint32_t maxPacket, uint32_t refusePacket, int wrongSum)
{
    theBoard = Board{};
    theBoard.setup.order = littleEndian ? board::ByteOrder::Little : board::ByteOrder::Big;
    theBoard.setup.maxPacket = maxPacket;
    theBoard.setup.faults.refusePacket = refusePacket;
    theBoard.setup.faults.wrongSum = wrongSum != 0;
}

TEST_WIRELET_EXPORT void TestBoardReport(uint32_t *packets, uint32_t *sum, int *disconnects, int *closes)
{
    *packets = theBoard.packets;
    *sum = theBoard.sum;
    *disconnects = theBoard.disconnects;
    *closes = theBoard.closes;
}

TEST_WIRELET_EXPORT int WIRELET_CALL CommOpen(const char *path, int port, uint32_t *handle, int, int timeoutMs)
{
    if (!path || !handle)
        return WIRELET_ERR_ARGUMENT;
    if (port != WIRELET_PORT_NODE)
        return WIRELET_ERR_PORT;
    if (std::strcmp(path, kBoardPath) != 0)
        return std::strncmp(path, "\\\\?\\", 4) == 0 ? pipeOpen(path, handle, timeoutMs) : WIRELET_ERR_OPEN;
    if (theBoard.open)
        return WIRELET_ERR_BUSY;
    theBoard.open = true;
    *handle = kHandle;
    return WIRELET_OK;
}

TEST_WIRELET_EXPORT int WIRELET_CALL CommConnect(uint32_t handle, int mode, uint8_t *, int, int)
{
    if (pipeKnown(handle))
        return mode == WIRELET_MODE_BLOCKS ? pipeConnect() : WIRELET_ERR_ARGUMENT;
    if (!known(handle))
        return WIRELET_ERR_HANDLE;
    if (mode != WIRELET_MODE_BLOCKS)
        return WIRELET_ERR_ARGUMENT;
    if (theBoard.session)
        return WIRELET_ERR_STATE;
    const Setup &setup = theBoard.setup;
    theBoard.session = std::make_unique<board::DownloadSession>(setup.order, setup.maxPacket, setup.faults);
    return WIRELET_OK;
}

TEST_WIRELET_EXPORT int WIRELET_CALL CommGetOption(uint32_t handle, int option, int32_t *value)
{
    if (pipeKnown(handle) && thePipe.connected) {
        if (option != WIRELET_OPTION_MAX_PACKET && option != WIRELET_OPTION_BYTE_ORDER)
            return WIRELET_ERR_OPTION;
        *value = option == WIRELET_OPTION_MAX_PACKET ? thePipe.maxPacket : thePipe.littleEndian;
        return WIRELET_OK;
    }
    if (!known(handle))
        return WIRELET_ERR_HANDLE;
    if (!theBoard.session)
        return WIRELET_ERR_STATE;
    if (option == WIRELET_OPTION_MAX_PACKET)
        *value = int32_t(theBoard.setup.maxPacket);
    else if (option == WIRELET_OPTION_BYTE_ORDER)
        *value = theBoard.setup.order == board::ByteOrder::Little ? 1 : 0;
    else
        return WIRELET_ERR_OPTION;
    return WIRELET_OK;
}

TEST_WIRELET_EXPORT int WIRELET_CALL CommSendData(uint32_t handle, const void *data, uint32_t length, int mode, int)
{
    if (pipeKnown(handle) && thePipe.connected) {
        if (!data || length == 0 || mode != WIRELET_MODE_BLOCKS)
            return WIRELET_ERR_ARGUMENT;
        DWORD done = 0;
        return pipeTransfer(true, const_cast<void *>(data), length, &done);
    }
    if (!known(handle))
        return WIRELET_ERR_HANDLE;
    if (!theBoard.session)
        return WIRELET_ERR_STATE;
    if (!data || length == 0 || mode != WIRELET_MODE_BLOCKS)
        return WIRELET_ERR_ARGUMENT;
    if (length > theBoard.setup.maxPacket)
        return WIRELET_ERR_TOO_LARGE;
    const board::PacketOutcome outcome = theBoard.session->onPacket(static_cast<const uint8_t *>(data), length);
    theBoard.answer = outcome.action == board::PacketOutcome::Action::Reply ? outcome.reply : std::vector<uint8_t>{};
    // The session starts counting afresh once a download is complete.
    ++theBoard.packets;
    theBoard.sum = board::addToSum(theBoard.sum, outcome.data, outcome.dataSize);
    return WIRELET_OK;
}

TEST_WIRELET_EXPORT int WIRELET_CALL CommReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more,
                                                     uint8_t *status)
{
    if (pipeKnown(handle) && thePipe.connected) {
        if (!buffer || !length || *length == 0)
            return WIRELET_ERR_ARGUMENT;
        DWORD done = 0;
        const int result = pipeTransfer(false, buffer, *length, &done);
        *length = result == WIRELET_OK ? done : 0;
        if (status)
            *status = uint8_t(result);
        return result;
    }
    if (!known(handle))
        return WIRELET_ERR_HANDLE;
    if (!buffer || !length || *length == 0)
        return WIRELET_ERR_ARGUMENT;
    if (theBoard.answer.empty()) {
        *length = 0;
        if (status)
            *status = WIRELET_ERR_TIMEOUT;
        return WIRELET_ERR_TIMEOUT;
    }
    const uint32_t n = std::min<uint32_t>(*length, uint32_t(theBoard.answer.size()));
    std::memcpy(buffer, theBoard.answer.data(), n);
    theBoard.answer.erase(theBoard.answer.begin(), theBoard.answer.begin() + n);
    *length = n;
    if (more)
        *more = theBoard.answer.empty() ? 0 : 1;
    if (status)
        *status = 0;
    return WIRELET_OK;
}

TEST_WIRELET_EXPORT int WIRELET_CALL CommDisconnect(uint32_t handle)
{
    if (pipeKnown(handle)) {
        if (!thePipe.connected)
            return WIRELET_ERR_STATE;
        thePipe.connected = false;
        return WIRELET_OK;
    }
    if (!known(handle))
        return WIRELET_ERR_HANDLE;
    if (!theBoard.session)
        return WIRELET_ERR_STATE;
    theBoard.session.reset();
    ++theBoard.disconnects;
    return WIRELET_OK;
}

TEST_WIRELET_EXPORT int WIRELET_CALL CommClose(uint32_t handle)
{
    if (pipeKnown(handle))
        return pipeClose();
    if (!known(handle))
        return WIRELET_ERR_HANDLE;
    if (theBoard.session)
        CommDisconnect(handle);
    theBoard.open = false;
    ++theBoard.closes;
    return WIRELET_OK;
}
