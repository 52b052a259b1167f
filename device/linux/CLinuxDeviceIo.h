#pragma once

#include "IDeviceIo.h"

// Device I/O on a board's device node: a non-blocking descriptor held under
// an exclusive flock, so a board that another process is talking to is not
// shared and stays silent.
class CLinuxDeviceIo final : public IDeviceIo
{
public:
    DeviceHandle open(const std::string &path) override;
    bool write(DeviceHandle handle, const uint8_t *data, std::size_t size, int milliseconds) override;
    void pause(int milliseconds) override;
    std::size_t collect(DeviceHandle handle, uint8_t *buffer, std::size_t capacity, int milliseconds) override;
    void close(DeviceHandle handle) override;
};
