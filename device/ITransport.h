#pragma once

#include <cstdint>

// The seven calls of the transport library, behind a seam so that the
// download code can be run against a recorder or a fault injector.
// Arguments and results are those of the library's C interface.
class ITransport
{
public:
    virtual ~ITransport() = default;

    virtual int commOpen(const char *path, int port, uint32_t *handle, int flags, int timeoutMs) = 0;
    virtual int commConnect(uint32_t handle, int mode, uint8_t *options, int reserved1, int reserved2) = 0;
    virtual int commGetOption(uint32_t handle, int option, int32_t *value) = 0;
    virtual int commSendData(uint32_t handle, const void *data, uint32_t length, int mode, int flags) = 0;
    virtual int commReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status) = 0;
    virtual int commDisconnect(uint32_t handle) = 0;
    virtual int commClose(uint32_t handle) = 0;
};

// The transport library linked into the program.
ITransport &libraryTransport();
