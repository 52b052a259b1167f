#pragma once

#include "IDeviceIo.h"

// Device I/O on a board's device interface path: the path opened overlapped
// and unshared, one write and one read through their own unnamed auto-reset
// events, each followed by its pause. Whatever is still outstanding when the
// read's pause ends is cancelled and its completion awaited, so no buffer
// and no handle goes while the system may still write to it.
class CWindowsDeviceIo final : public IDeviceIo
{
public:
    DeviceHandle open(const std::string &path) override;
    bool write(DeviceHandle handle, const uint8_t *data, std::size_t size, int milliseconds) override;
    void pause(int milliseconds) override;
    std::size_t collect(DeviceHandle handle, uint8_t *buffer, std::size_t capacity, int milliseconds) override;
    void close(DeviceHandle handle) override;
};
