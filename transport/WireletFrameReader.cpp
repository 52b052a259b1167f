#include "WireletFrameReader.h"

#include "wirelet.h"

#include <cstring>

void WireletFrameReader::append(const uint8_t *bytes, std::size_t size)
{
    // Move what is still unread to the front before the buffer grows.
    if (m_start > 0) {
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + std::ptrdiff_t(m_start));
        m_start = 0;
    }
    m_bytes.insert(m_bytes.end(), bytes, bytes + size);
}

void WireletFrameReader::clear()
{
    m_bytes.clear();
    m_start = 0;
}

void WireletFrameReader::setPayloadLimit(uint32_t limit)
{
    m_payloadLimit = limit;
}

WireletFrameReader::Step WireletFrameReader::next(Frame *frame)
{
    if (!skipToMagic())
        return Step::NeedMore;
    const uint8_t *front = m_bytes.data() + m_start;
    const std::size_t available = m_bytes.size() - m_start;
    if (available < WIRELET_FRAME_HEADER_SIZE)
        return Step::NeedMore;
    WireletFrameHeader header;
    if (!decodeFrameHeader(front, &header) || header.length > m_payloadLimit) {
        ++m_start;
        return Step::Skipped;
    }
    // The payload is taken whole, whatever it holds.
    const std::size_t total = WIRELET_FRAME_HEADER_SIZE + std::size_t(header.length);
    if (available < total)
        return Step::NeedMore;
    if (!frameCheckMatches(front, header.length)) {
        ++m_start; // damaged: look for the next magic inside it
        return Step::Skipped;
    }
    frame->header = header;
    frame->payload = front + WIRELET_FRAME_HEADER_SIZE;
    m_start += total;
    return Step::Frame;
}

// Moves to the next "WL"; false when the bytes run out first (a lone
// trailing 'W' is kept for the next append).
bool WireletFrameReader::skipToMagic()
{
    for (;;) {
        const std::size_t available = m_bytes.size() - m_start;
        const void *found = available ? std::memchr(m_bytes.data() + m_start, WIRELET_FRAME_MAGIC0, available) : nullptr;
        if (!found) {
            m_start = m_bytes.size();
            return false;
        }
        m_start = std::size_t(static_cast<const uint8_t *>(found) - m_bytes.data());
        if (m_start + 1 >= m_bytes.size())
            return false;
        if (m_bytes[m_start + 1] == WIRELET_FRAME_MAGIC1)
            return true;
        ++m_start;
    }
}
