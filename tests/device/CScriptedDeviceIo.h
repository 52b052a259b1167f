#pragma once

#include "IDeviceIo.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Scripted boards for the identity query on a simulated clock: pauses and
// collection advance the clock instead of sleeping. Every call is recorded
// as a line ("open PATH", "write 500 <hex>", "pause 500", "collect 276 500",
// "close"), and open handles are counted so a test can see leaks.
class CScriptedDeviceIo final : public IDeviceIo
{
public:
    struct Board
    {
        std::vector<uint8_t> reply; // sent once the query arrives; empty: silent
        int replyDelayMs = 0;       // after the write started
    };

    DeviceHandle open(const std::string &path) override;
    bool write(DeviceHandle handle, const uint8_t *data, std::size_t size, int milliseconds) override;
    void pause(int milliseconds) override;
    std::size_t collect(DeviceHandle handle, uint8_t *buffer, std::size_t capacity, int milliseconds) override;
    void close(DeviceHandle handle) override;

    std::map<std::string, Board> boards; // a path not listed cannot be opened
    std::vector<std::string> events;
    int openHandles = 0;

private:
    const Board *boardOf(DeviceHandle handle) const;

    std::vector<std::string> m_openPaths; // index + 1 is the handle
    long long m_nowMs = 0;
    long long m_replyAtMs = -1;
    DeviceHandle m_writtenHandle = kInvalidHandle;
};
