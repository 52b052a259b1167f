#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The platform's device I/O as the identity query needs it: open one board
// for reading and writing without sharing it, send during a pause, pause,
// collect what arrives during a pause, close. Each timed call lasts exactly
// its time whatever the board does, so the exchange takes the same time for
// every board. Tests substitute a scripted board that does not sleep.
// An open board: a descriptor on Linux, a pointer-sized value on Windows.
using DeviceHandle = std::intptr_t;

class IDeviceIo
{
public:
    static constexpr DeviceHandle kInvalidHandle = -1;

    virtual ~IDeviceIo() = default;

    // Opens the path for exclusive use; kInvalidHandle when it cannot be had
    // (missing, not a device, or held by someone else).
    virtual DeviceHandle open(const std::string &path) = 0;

    // Writes the bytes as the line takes them during the next `milliseconds`
    // (a full line or a partial write does not lose the rest) and returns
    // when that time is up, never sooner. True when all bytes went out.
    virtual bool write(DeviceHandle handle, const uint8_t *data, std::size_t size, int milliseconds) = 0;

    // Waits the given time.
    virtual void pause(int milliseconds) = 0;

    // Gathers what the board sends during the next `milliseconds` into
    // `buffer`, at most `capacity` bytes, and returns when that time is up,
    // never sooner: a full buffer, a hang-up, end of file or a read error
    // only stop the gathering. Returns the number of bytes gathered; nothing
    // is left outstanding.
    virtual std::size_t collect(DeviceHandle handle, uint8_t *buffer, std::size_t capacity, int milliseconds) = 0;

    virtual void close(DeviceHandle handle) = 0;
};
