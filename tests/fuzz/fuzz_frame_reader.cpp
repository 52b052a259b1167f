// The transport's frame reader on the host side, fed by a peer over a
// socket pair in whatever pieces the socket hands over. The peer's stream
// mixes intact frames, frames cut off by their sender and finished with
// zeros (as the library finishes a frame it gave up), damaged frames,
// headers that announce more than a frame may carry, and noise; the oracle:
// the reader gives back exactly the intact frames, in order, each once. An intact frame's payload may hold anything, frame
// headers included; the noise and the other payloads hold no 'W', so no
// frame can hide in what the reader searches again.
#include "ByteOrder.h"
#include "Crc32.h"
#include "FuzzInput.h"
#include "WireletFrame.h"
#include "WireletFrameReader.h"
#include "wirelet.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxPayload = 2048;     // also what a frame may carry here
constexpr std::size_t kMaxStream = 64 * 1024; // fits a socket pair's buffer

struct Planted
{
    WireletFrameHeader header;
    std::string payload;
};

std::string withoutMagic(std::string bytes)
{
    for (char &c : bytes) {
        if (uint8_t(c) == WIRELET_FRAME_MAGIC0)
            c = 0;
    }
    return bytes;
}

std::string encodeFrame(const WireletFrameHeader &header, const std::string &payload)
{
    uint8_t head[WIRELET_FRAME_HEADER_SIZE];
    encodeFrameHeader(header, payload.data(), head);
    return std::string(reinterpret_cast<const char *>(head), sizeof head) + payload;
}

// A header whose checks hold but whose length is more than a frame may
// carry: no header at all to the reader, whatever follows it.
std::string oversizedHeader(WireletFrameHeader header, uint32_t excess)
{
    header.length = 0;
    uint8_t head[WIRELET_FRAME_HEADER_SIZE];
    encodeFrameHeader(header, nullptr, head);
    const uint32_t length = uint32_t(kMaxPayload) + 1 + excess % (WIRELET_MAX_FRAME_PAYLOAD - uint32_t(kMaxPayload));
    store32(head + WIRELET_FRAME_LENGTH_OFFSET, length, kFrameLittleEndian);
    store32(head + WIRELET_FRAME_HEADER_CHECK_OFFSET, crc32(head, WIRELET_FRAME_HEADER_CHECK_OFFSET),
            kFrameLittleEndian);
    return std::string(reinterpret_cast<const char *>(head), sizeof head);
}

// Builds the peer's stream and the frames the reader must give back.
std::string buildStream(FuzzInput &input, std::vector<Planted> &intact)
{
    std::string stream;
    while (!input.empty() && stream.size() < kMaxStream - kMaxPayload - 2 * WIRELET_FRAME_HEADER_SIZE) {
        const uint8_t kind = input.byte() % 5;
        WireletFrameHeader header;
        header.type = input.byte();
        header.flags = input.byte();
        header.connection = input.u32();
        header.sequence = input.u32();
        const std::string raw = input.bytes((input.byte() << 4) % kMaxPayload);
        const std::string payload = kind == 0 ? raw : withoutMagic(raw);
        header.length = uint32_t(payload.size());
        std::string frame = encodeFrame(header, payload);
        switch (kind) {
        case 0: // intact
            intact.push_back({header, payload});
            stream += frame;
            break;
        case 1: { // cut off half-way, the rest zeros
            const std::size_t kept = WIRELET_FRAME_HEADER_SIZE + payload.size() / 2;
            const std::string finished = frame.substr(0, kept) + std::string(frame.size() - kept, '\0');
            if (finished == frame) // the rest was zeros anyway: intact after all
                intact.push_back({header, payload});
            stream += finished;
            break;
        }
        case 2: // damaged: its frame check is off
            frame[WIRELET_FRAME_CHECK_OFFSET] = char(frame[WIRELET_FRAME_CHECK_OFFSET] ^ 0x01);
            stream += frame;
            break;
        case 3: // noise
            stream += payload;
            break;
        default: // a header that announces too much, then noise
            stream += oversizedHeader(header, input.u32()) + payload;
            break;
        }
    }
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::size_t piece = 1 + input.byte() % 97;
    const std::size_t readSize = 1 + input.byte() % 200;
    std::vector<Planted> intact;
    const std::string stream = buildStream(input, intact);

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        std::abort();
    WireletFrameReader reader;
    reader.setPayloadLimit(uint32_t(kMaxPayload));
    std::size_t matched = 0;
    auto takeFrames = [&] {
        WireletFrameReader::Frame frame;
        for (WireletFrameReader::Step step; (step = reader.next(&frame)) != WireletFrameReader::Step::NeedMore;) {
            if (step == WireletFrameReader::Step::Skipped)
                continue;
            if (matched >= intact.size())
                std::abort(); // a frame nobody sent
            const Planted &expected = intact[matched++];
            if (frame.header.type != expected.header.type || frame.header.flags != expected.header.flags
                || frame.header.connection != expected.header.connection
                || frame.header.sequence != expected.header.sequence
                || frame.header.length != expected.payload.size()
                || std::memcmp(frame.payload, expected.payload.data(), expected.payload.size()) != 0)
                std::abort();
        }
    };
    // The peer writes a piece; the host reads whatever is there, in reads
    // of its own size, and looks for frames after each.
    uint8_t buffer[4096];
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const std::size_t n = std::min(piece, stream.size() - at);
        if (::write(pair[1], stream.data() + at, n) != ssize_t(n))
            std::abort();
        for (ssize_t got; (got = ::recv(pair[0], buffer, readSize, MSG_DONTWAIT)) > 0;) {
            reader.append(buffer, std::size_t(got));
            takeFrames();
        }
    }
    ::close(pair[1]);
    ::close(pair[0]);
    if (matched != intact.size())
        std::abort(); // an intact frame was lost
    return 0;
}
