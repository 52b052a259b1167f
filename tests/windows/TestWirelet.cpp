// A stand-in Wirelet.dll for the tests under Wine: the seven calls served by
// an in-process board (the simulator's download rules), so the program's
// download code runs through a DLL linked at load time. Two extra exports let
// a test set the board up and read what it received.

#include "DownloadSession.h"

#include <wirelet.h>

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

TEST_WIRELET_EXPORT int WIRELET_CALL CommOpen(const char *path, int port, uint32_t *handle, int, int)
{
    if (!path || !handle)
        return WIRELET_ERR_ARGUMENT;
    if (port != WIRELET_PORT_NODE)
        return WIRELET_ERR_PORT;
    if (std::strcmp(path, kBoardPath) != 0)
        return WIRELET_ERR_OPEN;
    if (theBoard.open)
        return WIRELET_ERR_BUSY;
    theBoard.open = true;
    *handle = kHandle;
    return WIRELET_OK;
}

TEST_WIRELET_EXPORT int WIRELET_CALL CommConnect(uint32_t handle, int mode, uint8_t *, int, int)
{
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
    if (!known(handle))
        return WIRELET_ERR_HANDLE;
    if (theBoard.session)
        CommDisconnect(handle);
    theBoard.open = false;
    ++theBoard.closes;
    return WIRELET_OK;
}
