#pragma once

#include "CForwardingTransport.h"

// The real library, but every connection opened with its own timeout, so a
// board that stops answering fails a test quickly instead of after the
// program's 26 s.
class CShortTimeoutTransport final : public CForwardingTransport
{
public:
    explicit CShortTimeoutTransport(int timeoutMs)
        : CForwardingTransport(libraryTransport())
        , m_timeoutMs(timeoutMs)
    {
    }

    int commOpen(const char *path, int port, uint32_t *handle, int flags, int) override
    {
        return m_inner.commOpen(path, port, handle, flags, m_timeoutMs);
    }

private:
    int m_timeoutMs;
};
