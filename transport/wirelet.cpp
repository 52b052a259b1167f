// The seven exported calls: look the handle up, then let its connection do
// the work under the connection's own lock.
#include "wirelet.h"

#include "HandleTable.h"
#include "WireletConnection.h"

#include <new>

#define WIRELET_API extern "C" __attribute__((visibility("default")))

namespace {

// No exception may leave a C call: the caller may not even be C++.
template <typename Call>
int guarded(Call call) noexcept
{
    try {
        return call();
    } catch (const std::bad_alloc &) {
        return WIRELET_ERR_NO_MEMORY;
    } catch (...) {
        return WIRELET_ERR_INTERNAL;
    }
}

template <typename Call>
int withConnection(uint32_t handle, Call call) noexcept
{
    return guarded([&] {
        const std::shared_ptr<WireletConnection> connection = HandleTable::instance().find(handle);
        if (!connection)
            return int(WIRELET_ERR_HANDLE);
        std::lock_guard<std::mutex> lock(connection->mutex());
        return call(*connection);
    });
}

} // namespace

WIRELET_API int CommOpen(const char *path, int port, uint32_t *handle, int /*flags*/, int timeoutMs)
{
    if (!handle)
        return WIRELET_ERR_ARGUMENT;
    if (port != WIRELET_PORT_NODE)
        return WIRELET_ERR_PORT;
    return guarded([&] {
        std::unique_ptr<WireletConnection> connection;
        if (const int result = WireletConnection::open(path, timeoutMs, &connection))
            return result;
        *handle = HandleTable::instance().insert(std::move(connection));
        return int(WIRELET_OK);
    });
}

WIRELET_API int CommConnect(uint32_t handle, int mode, uint8_t *options, int /*reserved1*/, int /*reserved2*/)
{
    const uint8_t flags = options ? *options : 0;
    return withConnection(handle, [&](WireletConnection &c) { return c.connect(mode, flags); });
}

WIRELET_API int CommGetOption(uint32_t handle, int option, int32_t *value)
{
    return withConnection(handle, [&](WireletConnection &c) { return c.option(option, value); });
}

WIRELET_API int CommSendData(uint32_t handle, const void *data, uint32_t length, int mode, int flags)
{
    return withConnection(handle, [&](WireletConnection &c) { return c.send(data, length, mode, flags); });
}

WIRELET_API int CommReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status)
{
    if (!length)
        return WIRELET_ERR_ARGUMENT;
    bool waiting = false;
    const int result = withConnection(handle, [&](WireletConnection &c) { return c.receive(buffer, length, &waiting); });
    if (result != WIRELET_OK)
        *length = 0;
    if (more)
        *more = waiting ? 1 : 0;
    if (status)
        *status = uint8_t(result);
    return result;
}

WIRELET_API int CommDisconnect(uint32_t handle)
{
    return withConnection(handle, [](WireletConnection &c) { return c.disconnect(); });
}

WIRELET_API int CommClose(uint32_t handle)
{
    return guarded([&] {
        const std::shared_ptr<WireletConnection> connection = HandleTable::instance().remove(handle);
        if (!connection)
            return int(WIRELET_ERR_HANDLE);
        // Waits for a call still running on another thread; that call is
        // bounded by the timeout.
        std::lock_guard<std::mutex> lock(connection->mutex());
        return connection->close();
    });
}
