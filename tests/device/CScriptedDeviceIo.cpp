#include "CScriptedDeviceIo.h"

#include "HexDiff.h"

#include <algorithm>
#include <cstring>

DeviceHandle CScriptedDeviceIo::open(const std::string &path)
{
    events.push_back("open " + path);
    if (!boards.count(path))
        return kInvalidHandle;
    m_openPaths.push_back(path);
    ++openHandles;
    return DeviceHandle(m_openPaths.size());
}

const CScriptedDeviceIo::Board *CScriptedDeviceIo::boardOf(DeviceHandle handle) const
{
    if (handle < 1 || std::size_t(handle) > m_openPaths.size())
        return nullptr;
    return &boards.at(m_openPaths[std::size_t(handle) - 1]);
}

// The bytes go out at once; the call still lasts its whole time.
bool CScriptedDeviceIo::write(DeviceHandle handle, const uint8_t *data, std::size_t size, int milliseconds)
{
    events.push_back("write " + std::to_string(milliseconds) + " "
                     + hexBytes(std::vector<uint8_t>(data, data + size)));
    const Board *board = boardOf(handle);
    if (board) {
        m_writtenHandle = handle;
        m_replyAtMs = m_nowMs + board->replyDelayMs;
    }
    m_nowMs += milliseconds;
    return board != nullptr;
}

void CScriptedDeviceIo::pause(int milliseconds)
{
    events.push_back("pause " + std::to_string(milliseconds));
    m_nowMs += milliseconds;
}

// Lasts its whole time; the reply counts when it is due by the end.
std::size_t CScriptedDeviceIo::collect(DeviceHandle handle, uint8_t *buffer, std::size_t capacity, int milliseconds)
{
    events.push_back("collect " + std::to_string(capacity) + " " + std::to_string(milliseconds));
    m_nowMs += milliseconds;
    const Board *board = boardOf(handle);
    if (!board || handle != m_writtenHandle || m_replyAtMs < 0 || m_replyAtMs > m_nowMs)
        return 0;
    const std::size_t n = std::min(capacity, board->reply.size());
    std::memcpy(buffer, board->reply.data(), n);
    return n;
}

void CScriptedDeviceIo::close(DeviceHandle handle)
{
    events.push_back("close");
    if (boardOf(handle))
        --openHandles;
}
