#pragma once

#include "WireletFrame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Takes the bytes read from the node apart into whole, intact frames:
// skips whatever is no frame, checks both checks, and gives up a frame cut
// off by its sender as soon as a valid header begins inside it (the rules
// are in wirelet.h). Holds at most one pending frame and the bytes behind it.
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
    bool restartInsidePending();

    std::vector<uint8_t> m_bytes;
    std::size_t m_start = 0;
    // No valid header begins at a position between a pending frame's payload
    // and this one: what was already searched for a cutting header.
    std::size_t m_checkedTo = 0;
};
