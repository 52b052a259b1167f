// Placeholder until the library is written: every call fails.
#include "wirelet.h"
#define WIRELET_API extern "C" __attribute__((visibility("default")))
WIRELET_API int CommOpen(const char *, int, uint32_t *, int, int) { return -1; }
WIRELET_API int CommConnect(uint32_t, int, uint8_t *, int, int) { return -1; }
WIRELET_API int CommGetOption(uint32_t, int, int32_t *) { return -1; }
WIRELET_API int CommSendData(uint32_t, const void *, uint32_t, int, int) { return -1; }
WIRELET_API int CommReceiveData(uint32_t, void *, uint32_t *, uint8_t *, uint8_t *) { return -1; }
WIRELET_API int CommDisconnect(uint32_t) { return -1; }
WIRELET_API int CommClose(uint32_t) { return -1; }
