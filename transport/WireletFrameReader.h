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

    // What one look at the front of the bytes found.
    enum class Step {
        Frame,    // a whole, intact frame
        Skipped,  // no frame here; look again
        NeedMore, // the bytes so far hold no further whole frame
    };

    // The largest payload a frame may announce now; a header announcing more
    // is no header. It bounds what a pending frame may hold back and the
    // work one look costs.
    void setPayloadLimit(uint32_t limit);

    void append(const uint8_t *bytes, std::size_t size);
    // One look: at most one frame check, so a caller can keep to a deadline
    // between looks however the bytes are made.
    Step next(Frame *frame);
    void clear();

private:
    bool skipToMagic();

    std::vector<uint8_t> m_bytes;
    std::size_t m_start = 0;
    uint32_t m_payloadLimit = 0;
};
