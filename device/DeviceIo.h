#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The platform's device I/O as the identity query needs it: open one board
// for reading and writing without sharing it, write once, pause, collect what
// arrives during a pause, close. Tests substitute a scripted board that does
// not sleep.
class IDeviceIo
{
public:
    static constexpr int kInvalidHandle = -1;

    virtual ~IDeviceIo() = default;

    // Opens the path for exclusive use; kInvalidHandle when it cannot be had
    // (missing, not a device, or held by someone else).
    virtual int open(const std::string &path) = 0;

    // One write of all the bytes; false when it did not go out whole.
    virtual bool write(int handle, const uint8_t *data, std::size_t size) = 0;

    // Waits the given time.
    virtual void pause(int milliseconds) = 0;

    // Gathers what the board sends during the next `milliseconds`, into
    // `buffer`, until the time is up or `capacity` bytes have arrived.
    // Returns the number of bytes gathered; nothing is left outstanding.
    virtual std::size_t collect(int handle, uint8_t *buffer, std::size_t capacity, int milliseconds) = 0;

    virtual void close(int handle) = 0;
};
