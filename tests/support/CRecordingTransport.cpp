#include "CRecordingTransport.h"

#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kHeader = 16;

std::string args(std::initializer_list<std::string> parts)
{
    std::string text;
    for (const std::string &part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

std::string num(long long value)
{
    return std::to_string(value);
}

void put(uint8_t *at, uint32_t value, int width, bool littleEndian)
{
    for (int i = 0; i < width; ++i)
        at[littleEndian ? i : width - 1 - i] = uint8_t(value >> (8 * i));
}

uint32_t get(const uint8_t *at, int width, bool littleEndian)
{
    uint32_t value = 0;
    for (int i = 0; i < width; ++i)
        value |= uint32_t(at[littleEndian ? i : width - 1 - i]) << (8 * i);
    return value;
}

} // namespace

void CRecordingTransport::record(std::string text, std::vector<uint8_t> data)
{
    calls.push_back(Call{std::move(text), std::move(data)});
}

bool CRecordingTransport::littleEndian() const
{
    return !statesByteOrder || byteOrder != 0;
}

int CRecordingTransport::commOpen(const char *path, int port, uint32_t *handleOut, int flags, int timeoutMs)
{
    // clang-format off
    record("CommOpen(" + args({path ? path : "(null)", num(port), "*handle=" + num(handleOut ? *handleOut : 0),
                               num(flags), num(timeoutMs)}) + ")");
    // clang-format on
    if (openResult == 0 && handleOut)
        *handleOut = handle;
    return openResult;
}

int CRecordingTransport::commConnect(uint32_t h, int mode, uint8_t *options, int reserved1, int reserved2)
{
    // clang-format off
    record("CommConnect(" + args({num(h), num(mode), "*options=" + num(options ? *options : -1), num(reserved1),
                                  num(reserved2)}) + ")");
    // clang-format on
    return connectResult;
}

int CRecordingTransport::commGetOption(uint32_t h, int option, int32_t *value)
{
    if (option == 1) {
        record("CommGetOption(" + args({num(h), num(option)}) + ")");
        if (value)
            *value = largestPacket;
        return largestPacketResult;
    }
    record("CommGetOption(" + args({num(h), num(option), "*value=" + num(value ? *value : -1)}) + ")");
    if (option == 16 && statesByteOrder && value)
        *value = byteOrder;
    return 0;
}

int CRecordingTransport::commSendData(uint32_t h, const void *data, uint32_t length, int mode, int flags)
{
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    record("CommSendData(" + args({num(h), num(length), num(mode), num(flags)}) + ")",
           std::vector<uint8_t>(bytes, bytes + length));
    ++m_packets;
    if (m_packets == failSendAt)
        return lineFailure;
    if (length >= kHeader) {
        received.insert(received.end(), bytes + kHeader, bytes + length);
        for (uint32_t i = kHeader; i < length; ++i)
            m_sum += bytes[i];
        m_lastWasFinal = get(bytes + 6, 2, littleEndian()) == 0xFFFF;
    }
    m_awaitingReply = true;
    return sendSuccess;
}

int CRecordingTransport::commReceiveData(uint32_t h, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status)
{
    // clang-format off
    record("CommReceiveData(" + args({num(h), "*length=" + num(length ? *length : 0), "*more=" + num(more ? *more : -1),
                                      "*status=" + num(status ? *status : -1)}) + ")");
    // clang-format on
    if (!m_awaitingReply || m_packets == failReceiveAt)
        return lineFailure;
    m_awaitingReply = false;

    const bool little = littleEndian();
    uint8_t reply[kHeader] = {'T', 'B', 0xFF, 0x01};
    put(reply + 4, m_packets == refusePacket ? refuseStatus : 0, 2, little);
    put(reply + 6, m_lastWasFinal ? 0xFFFF : 0, 2, little);
    if (m_lastWasFinal)
        put(reply + 12, m_sum + uint32_t(sumError), 4, sumInOtherOrder ? !little : little);
    std::memcpy(buffer, reply, kHeader);
    std::memset(static_cast<uint8_t *>(buffer) + kHeader, 0xEE, writesPast);
    if (length)
        *length = statedReplyLength;
    if (more)
        *more = receiveFlags;
    if (status)
        *status = receiveFlags;
    return receiveSuccess;
}

int CRecordingTransport::commDisconnect(uint32_t h)
{
    record("CommDisconnect(" + num(h) + ")");
    return 0;
}

int CRecordingTransport::commClose(uint32_t h)
{
    record("CommClose(" + num(h) + ")");
    return 0;
}

std::vector<std::string> CRecordingTransport::callTexts() const
{
    std::vector<std::string> texts;
    for (const Call &call : calls)
        texts.push_back(call.text);
    return texts;
}

std::vector<std::vector<uint8_t>> CRecordingTransport::sentPackets() const
{
    std::vector<std::vector<uint8_t>> packets;
    for (const Call &call : calls)
        if (call.text.rfind("CommSendData", 0) == 0)
            packets.push_back(call.data);
    return packets;
}
