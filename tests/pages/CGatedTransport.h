#pragma once

#include "CForwardingTransport.h"

#include <QSemaphore>
#include <QThread>

#include <atomic>

// A board that holds every reply until the test opens the gate. Like the
// library's own receive timeout, a reply that does not come within
// `patienceMs` fails on the line. `closed` turns true once the connection
// has been closed, i.e. the transfer has run to its end; `closingThread`
// then lets a test wait for that thread without running the event loop.
class CGatedTransport final : public CForwardingTransport
{
public:
    static constexpr int kLineFailure = 3;

    CGatedTransport(ITransport &board, int patienceMs)
        : CForwardingTransport(board), m_patienceMs(patienceMs) {}

    // Lets one held reply (or the next one) through.
    void open() { m_gate.release(); }

    int commReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status) override
    {
        if (!m_gate.tryAcquire(1, m_patienceMs))
            return kLineFailure;
        return CForwardingTransport::commReceiveData(handle, buffer, length, more, status);
    }

    int commClose(uint32_t handle) override
    {
        const int result = CForwardingTransport::commClose(handle);
        closingThread = QThread::currentThread();
        closed = true;
        return result;
    }

    std::atomic<bool> closed{false};
    std::atomic<QThread *> closingThread{nullptr}; // the transfer's thread, once it has closed

private:
    const int m_patienceMs;
    QSemaphore m_gate;
};
