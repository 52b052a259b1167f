#pragma once

#include "IDeviceIo.h"

#include <map>
#include <memory>
#include <mutex>

class BoardNode;

// Device I/O on a board's device node (BoardNode): a non-blocking descriptor
// held under an exclusive flock, so a board that another process is talking
// to is not shared and stays silent; a serial line is raw while it is open.
class CLinuxDeviceIo final : public IDeviceIo
{
public:
    CLinuxDeviceIo();
    ~CLinuxDeviceIo() override;

    DeviceHandle open(const std::string &path) override;
    bool write(DeviceHandle handle, const uint8_t *data, std::size_t size, int milliseconds) override;
    void pause(int milliseconds) override;
    std::size_t collect(DeviceHandle handle, uint8_t *buffer, std::size_t capacity, int milliseconds) override;
    void close(DeviceHandle handle) override;

private:
    std::mutex m_mutex;
    std::map<DeviceHandle, std::unique_ptr<BoardNode>> m_nodes; // open, by handle
};
