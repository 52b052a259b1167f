#pragma once

#include "WireletFrame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Takes the bytes read from the node apart into whole, intact frames:
// skips whatever is no frame, checks both checks, and once a header counts
// waits for its whole payload, whatever it holds; only a bad frame sends it
// looking again, one byte behind that frame's start (the rules are in
// wirelet.h). Holds at most one pending frame and the bytes behind it.
class WireletFrameReader
{
public:
    struct Frame
    {
        WireletFrameHeader header;
        const uint8_t *payload = nullptr; // header.length bytes, valid until the next append or clear
    };

    void append(const uint8_t *bytes, std::size_t size);
    // The next frame; false when the bytes so far hold no further whole one.
    bool next(Frame *frame);
    void clear();

private:
    bool skipToMagic();

    std::vector<uint8_t> m_bytes;
    std::size_t m_start = 0;
};
