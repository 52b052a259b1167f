#include "ITransport.h"

#include <wirelet.h>

namespace {

// Forwards every call to the transport library linked at load time.
class CLibraryTransport final : public ITransport
{
public:
    int commOpen(const char *path, int port, uint32_t *handle, int flags, int timeoutMs) override
    {
        return CommOpen(path, port, handle, flags, timeoutMs);
    }
    int commConnect(uint32_t handle, int mode, uint8_t *options, int reserved1, int reserved2) override
    {
        return CommConnect(handle, mode, options, reserved1, reserved2);
    }
    int commGetOption(uint32_t handle, int option, int32_t *value) override
    {
        return CommGetOption(handle, option, value);
    }
    int commSendData(uint32_t handle, const void *data, uint32_t length, int mode, int flags) override
    {
        return CommSendData(handle, data, length, mode, flags);
    }
    int commReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status) override
    {
        return CommReceiveData(handle, buffer, length, more, status);
    }
    int commDisconnect(uint32_t handle) override { return CommDisconnect(handle); }
    int commClose(uint32_t handle) override { return CommClose(handle); }
};

} // namespace

ITransport &libraryTransport()
{
    static CLibraryTransport transport;
    return transport;
}
