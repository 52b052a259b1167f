#ifndef WIRELET_H
#define WIRELET_H

/* Transport library: carries download packets between the program and a
 * projector board. The wire below the packets is documented here once the
 * library is written. Every call returns 0 on success. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int CommOpen(const char *path, int port, uint32_t *handle, int flags, int timeoutMs);
int CommConnect(uint32_t handle, int mode, uint8_t *options, int reserved1, int reserved2);
int CommGetOption(uint32_t handle, int option, int32_t *value);
int CommSendData(uint32_t handle, const void *data, uint32_t length, int mode, int flags);
int CommReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status);
int CommDisconnect(uint32_t handle);
int CommClose(uint32_t handle);

#ifdef __cplusplus
}
#endif

#endif
