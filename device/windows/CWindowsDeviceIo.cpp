#include "CWindowsDeviceIo.h"

#include "DeviceLog.h"

#include <windows.h>

#include <vector>

namespace {

// One overlapped transfer: its record, whose event member holds the
// transfer's event, and whether the system still owns it.
struct Transfer
{
    OVERLAPPED overlapped{};
    bool pending = false;
};

// What a DeviceHandle points to while the board is open.
struct OpenBoard
{
    HANDLE file = INVALID_HANDLE_VALUE;
    Transfer write;
    Transfer read;
    std::vector<uint8_t> written; // the write's bytes, kept while it may be outstanding
};

OpenBoard *boardOf(DeviceHandle handle)
{
    return reinterpret_cast<OpenBoard *>(handle); // NOLINT(performance-no-int-to-ptr): the handle is the pointer open() gave out
}

HANDLE newEvent()
{
    // Unnamed, auto-reset, initially not signalled.
    return CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

// Starts a transfer; returns the bytes moved when it finished at once.
DWORD started(BOOL done, DWORD moved, Transfer &transfer)
{
    transfer.pending = !done && GetLastError() == ERROR_IO_PENDING;
    return done ? moved : 0;
}

// The bytes moved by a transfer that was pending; with `cancel`, one still
// outstanding is cancelled first and its end awaited.
DWORD settle(HANDLE file, Transfer &transfer, bool cancel)
{
    if (!transfer.pending)
        return 0;
    DWORD moved = 0;
    if (GetOverlappedResult(file, &transfer.overlapped, &moved, FALSE)) {
        transfer.pending = false;
        return moved;
    }
    if (!cancel)
        return 0;
    CancelIoEx(file, &transfer.overlapped);
    // A transfer that completed in the meantime still counts.
    if (!GetOverlappedResult(file, &transfer.overlapped, &moved, TRUE))
        moved = 0;
    transfer.pending = false;
    return moved;
}

void closeEvent(Transfer &transfer)
{
    if (transfer.overlapped.hEvent)
        CloseHandle(transfer.overlapped.hEvent);
}

} // namespace

DeviceHandle CWindowsDeviceIo::open(const std::string &path)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_PIPE_BUSY)
            logDeviceWarning(path + " is in use by another program");
        else
            logDeviceWarning("cannot open " + path + ": error " + std::to_string(error));
        return kInvalidHandle;
    }
    auto *board = new OpenBoard;
    board->file = file;
    board->write.overlapped.hEvent = newEvent();
    board->read.overlapped.hEvent = newEvent();
    if (!board->write.overlapped.hEvent || !board->read.overlapped.hEvent) {
        logDeviceWarning("cannot create the events for " + path + ": error " + std::to_string(GetLastError()));
        close(reinterpret_cast<DeviceHandle>(board));
        return kInvalidHandle;
    }
    return reinterpret_cast<DeviceHandle>(board);
}

bool CWindowsDeviceIo::write(DeviceHandle handle, const uint8_t *data, std::size_t size, int milliseconds)
{
    OpenBoard &board = *boardOf(handle);
    board.written.assign(data, data + size);
    DWORD sent = 0;
    const BOOL done = WriteFile(board.file, board.written.data(), DWORD(size), &sent, &board.write.overlapped);
    sent = started(done, sent, board.write);
    Sleep(DWORD(milliseconds));
    // A write the line has not taken yet stays outstanding until the read's
    // pause is over: it may still go out.
    sent += settle(board.file, board.write, false);
    return sent == size;
}

void CWindowsDeviceIo::pause(int milliseconds)
{
    Sleep(DWORD(milliseconds));
}

std::size_t CWindowsDeviceIo::collect(DeviceHandle handle, uint8_t *buffer, std::size_t capacity, int milliseconds)
{
    OpenBoard &board = *boardOf(handle);
    DWORD got = 0;
    const BOOL done = ReadFile(board.file, buffer, DWORD(capacity), &got, &board.read.overlapped);
    got = started(done, got, board.read);
    Sleep(DWORD(milliseconds));
    got += settle(board.file, board.read, true);
    settle(board.file, board.write, true);
    return got;
}

void CWindowsDeviceIo::close(DeviceHandle handle)
{
    OpenBoard *board = boardOf(handle);
    settle(board->file, board->read, true);
    settle(board->file, board->write, true);
    CloseHandle(board->file);
    closeEvent(board->write);
    closeEvent(board->read);
    delete board;
}
