#pragma once

#include <cstdint>

// How the test Wirelet.dll talks to the Windows board over its pipe, where
// every write is one message: this hello first, answered with the
// handshake's 8-byte payload (byte order at offset 1, largest packet at 4,
// little-endian); then each download packet as a message, answered with
// its reply. Closing the connection ends the download.
constexpr uint8_t kBoardWireHello[] = {'W', 'L', 'H', 'E', 'L', 'L', 'O'};
