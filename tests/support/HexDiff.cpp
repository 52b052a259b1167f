#include "HexDiff.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::size_t kRow = 16;

std::string hexRow(const std::vector<uint8_t> &bytes, std::size_t from)
{
    std::string row;
    char cell[4];
    for (std::size_t i = from; i < from + kRow; ++i) {
        if (i < bytes.size())
            std::snprintf(cell, sizeof cell, "%02X ", bytes[i]);
        else
            std::snprintf(cell, sizeof cell, "   ");
        row += cell;
    }
    return row;
}

} // namespace

std::string hexBytes(const std::vector<uint8_t> &bytes)
{
    std::string text;
    char cell[4];
    for (uint8_t b : bytes) {
        std::snprintf(cell, sizeof cell, text.empty() ? "%02X" : " %02X", b);
        text += cell;
    }
    return text;
}

std::string hexDiff(const std::vector<uint8_t> &expected, const std::vector<uint8_t> &actual)
{
    if (expected == actual)
        return {};
    std::string text = "offset    expected                                          actual\n";
    const std::size_t size = std::max(expected.size(), actual.size());
    char offset[24];
    for (std::size_t from = 0; from < size; from += kRow) {
        const std::string want = hexRow(expected, from);
        const std::string got = hexRow(actual, from);
        std::snprintf(offset, sizeof offset, "%08zX", from);
        text += (want == got ? "  " : "! ") + std::string(offset) + "  " + want + " " + got + "\n";
    }
    if (expected.size() != actual.size())
        text += "sizes: expected " + std::to_string(expected.size()) + ", actual " + std::to_string(actual.size()) + "\n";
    return text;
}
