#pragma once

#include "WireletConnection.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

// The library's open connections by handle. Handles are nonzero and not
// reused while open; a closed handle is simply no longer found.
class HandleTable
{
public:
    static HandleTable &instance();

    uint32_t insert(std::unique_ptr<WireletConnection> connection);
    // Null for an unknown or closed handle. The connection stays alive for
    // the caller even if another thread closes the handle meanwhile.
    std::shared_ptr<WireletConnection> find(uint32_t handle) const;
    std::shared_ptr<WireletConnection> remove(uint32_t handle);

private:
    mutable std::mutex m_mutex;
    std::map<uint32_t, std::shared_ptr<WireletConnection>> m_connections;
    uint32_t m_last = 0;
};
