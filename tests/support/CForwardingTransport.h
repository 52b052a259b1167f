#pragma once

#include "ITransport.h"

// Passes every call on to another transport. Derive from it to change one
// call and keep the rest, e.g. to open the real library with a short
// timeout or to fail one call of a real connection.
class CForwardingTransport : public ITransport
{
public:
    explicit CForwardingTransport(ITransport &inner)
        : m_inner(inner) {}

    int commOpen(const char *path, int port, uint32_t *handle, int flags, int timeoutMs) override
    {
        return m_inner.commOpen(path, port, handle, flags, timeoutMs);
    }
    int commConnect(uint32_t handle, int mode, uint8_t *options, int reserved1, int reserved2) override
    {
        return m_inner.commConnect(handle, mode, options, reserved1, reserved2);
    }
    int commGetOption(uint32_t handle, int option, int32_t *value) override
    {
        return m_inner.commGetOption(handle, option, value);
    }
    int commSendData(uint32_t handle, const void *data, uint32_t length, int mode, int flags) override
    {
        return m_inner.commSendData(handle, data, length, mode, flags);
    }
    int commReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status) override
    {
        return m_inner.commReceiveData(handle, buffer, length, more, status);
    }
    int commDisconnect(uint32_t handle) override { return m_inner.commDisconnect(handle); }
    int commClose(uint32_t handle) override { return m_inner.commClose(handle); }

protected:
    ITransport &m_inner;
};
