// The simulator's command and packet parser: whatever arrives on its line,
// each item it finds lies within the bytes and takes at least one of them,
// an identity query is exactly the query, a frame's payload is within it,
// and a download packet gets a reply of 16 bytes.
#include "BoardProtocol.h"
#include "DownloadSession.h"
#include "FuzzInput.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    FuzzInput settings(data, size);
    const board::ByteOrder order = settings.byte() & 1 ? board::ByteOrder::Big : board::ByteOrder::Little;
    const uint32_t maxPacket = 16 + settings.byte() * 64u;
    board::DownloadFaults faults;
    faults.refusePacket = settings.byte() % 8;
    const std::size_t skip = size < 3 ? size : 3;
    const uint8_t *bytes = data + skip;
    std::size_t left = size - skip;

    board::DownloadSession session(order, maxPacket, faults);
    while (left > 0) {
        const board::InputItem item = board::scanInput(bytes, left, maxPacket + 64);
        if (item.kind == board::InputKind::NeedMore) {
            // Once a header is known, only its whole frame ends the wait.
            if (item.payloadOffset != 0 && item.payloadOffset + item.payloadSize <= left)
                std::abort();
            break;
        }
        if (item.size == 0 || item.size > left)
            std::abort();
        if (item.kind == board::InputKind::Query
            && (item.size != board::kIdentityQuery.size()
                || std::memcmp(bytes, board::kIdentityQuery.data(), item.size) != 0))
            std::abort();
        if (item.kind == board::InputKind::Frame) {
            if (item.payloadOffset + item.payloadSize != item.size)
                std::abort();
            const board::PacketOutcome outcome = session.onPacket(bytes + item.payloadOffset, item.payloadSize);
            if (outcome.action == board::PacketOutcome::Action::Reply
                && outcome.reply.size() != board::kPacketHeaderSize)
                std::abort();
            if (outcome.dataSize > item.payloadSize)
                std::abort();
        }
        bytes += item.size;
        left -= item.size;
    }
    return 0;
}
