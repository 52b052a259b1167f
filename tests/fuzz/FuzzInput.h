#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Takes a fuzzer's input apart into the values a target needs, front to
// back; every take is well defined when the input runs out.
class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, std::size_t size)
        : m_data(data), m_size(size) {}

    bool empty() const { return m_at >= m_size; }
    uint8_t byte() { return empty() ? 0 : m_data[m_at++]; }
    uint32_t u32()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | byte();
        return value;
    }
    // At most `size` bytes, fewer when the input runs out.
    std::string bytes(std::size_t size)
    {
        const std::size_t n = size < m_size - m_at ? size : m_size - m_at;
        std::string taken(reinterpret_cast<const char *>(m_data + m_at), n);
        m_at += n;
        return taken;
    }
    std::string rest() { return bytes(m_size - m_at); }

private:
    const uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};
