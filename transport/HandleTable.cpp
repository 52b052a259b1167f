#include "HandleTable.h"

HandleTable &HandleTable::instance()
{
    static HandleTable table;
    return table;
}

uint32_t HandleTable::insert(std::unique_ptr<WireletConnection> connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    do
        ++m_last; // after wrapping, skip 0 and handles still open
    while (m_last == 0 || m_connections.count(m_last));
    m_connections.emplace(m_last, std::move(connection));
    return m_last;
}

std::shared_ptr<WireletConnection> HandleTable::find(uint32_t handle) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_connections.find(handle);
    return it == m_connections.end() ? nullptr : it->second;
}

std::shared_ptr<WireletConnection> HandleTable::remove(uint32_t handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_connections.find(handle);
    if (it == m_connections.end())
        return nullptr;
    std::shared_ptr<WireletConnection> connection = std::move(it->second);
    m_connections.erase(it);
    return connection;
}
