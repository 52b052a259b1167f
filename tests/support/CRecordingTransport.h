#pragma once

#include "ITransport.h"

#include <cstdint>
#include <string>
#include <vector>

// A scripted board behind the transport seam that records every call with
// its arguments. By default it behaves like a sound board: it takes every
// packet, answers each with a 16-byte reply in the byte order it stated,
// and echoes the byte sum of the whole image in the reply to the packet
// marked last. The public members below script faults.
//
// Each call is recorded as one line of text, e.g.
//   CommOpen(/dev/parvel/board0, 0, *handle=0, 0, 26214)
//   CommConnect(23063, 66, *options=1, 0, 0)
//   CommGetOption(23063, 1)               option 1: not preset, not shown
//   CommGetOption(23063, 16, *value=1)    the value found before the call
//   CommSendData(23063, 65536, 66, 1)     the bytes are in Call::data
//   CommReceiveData(23063, *length=16, *more=0, *status=0)
//   CommDisconnect(23063)
//   CommClose(23063)
//
// It takes no lock: when a download runs on another thread, read the
// records only after that thread has finished.
class CRecordingTransport final : public ITransport
{
public:
    struct Call
    {
        std::string text;
        std::vector<uint8_t> data; // what CommSendData was given
    };

    int commOpen(const char *path, int port, uint32_t *handle, int flags, int timeoutMs) override;
    int commConnect(uint32_t handle, int mode, uint8_t *options, int reserved1, int reserved2) override;
    int commGetOption(uint32_t handle, int option, int32_t *value) override;
    int commSendData(uint32_t handle, const void *data, uint32_t length, int mode, int flags) override;
    int commReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status) override;
    int commDisconnect(uint32_t handle) override;
    int commClose(uint32_t handle) override;

    // The script. Packet numbers count from 1.
    int openResult = 0;
    uint32_t handle = 0x5A17; // what CommOpen hands out
    int connectResult = 0;
    int largestPacketResult = 0;   // result of option 1
    int32_t largestPacket = 65536; // header included
    bool statesByteOrder = true;   // false: option 16 leaves the value untouched
    int32_t byteOrder = 1;         // option 16: nonzero little-endian, zero big-endian
    int refusePacket = 0;          // its reply carries refuseStatus
    uint16_t refuseStatus = 1;
    int32_t sumError = 0;         // added to the true sum in the last reply
    bool sumInOtherOrder = false; // the last reply's sum in the other byte order
    int failSendAt = 0;           // that send returns lineFailure, the board sees nothing
    int failReceiveAt = 0;        // that receive returns lineFailure, the reply area untouched
    int lineFailure = 3;
    // A library with conventions of its own, on success: what CommSendData
    // and CommReceiveData return, the two one-byte values the receive sets,
    // and the reply length it states (the reply is still 16 bytes).
    int sendSuccess = 0;
    int receiveSuccess = 0;
    uint8_t receiveFlags = 0;
    uint32_t statedReplyLength = 16;
    uint32_t writesPast = 0; // bytes the receive writes past the 16 it was given

    // What happened.
    std::vector<Call> calls;
    std::vector<uint8_t> received; // the image bytes of every packet, in order

    std::vector<std::string> callTexts() const;
    std::vector<std::vector<uint8_t>> sentPackets() const;

private:
    bool littleEndian() const;
    void record(std::string text, std::vector<uint8_t> data = {});

    int m_packets = 0; // packets sent so far
    bool m_awaitingReply = false;
    bool m_lastWasFinal = false;
    uint32_t m_sum = 0;
};
