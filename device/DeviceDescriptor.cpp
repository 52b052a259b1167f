#include "DeviceDescriptor.h"

#include <wirelet.h>

#include <cctype>
#include <climits>

namespace {

bool isBlank(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Index one past the last non-blank character of text[0, end).
std::size_t trimRight(const std::string &text, std::size_t end)
{
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    return end;
}

std::size_t skipBlanks(const std::string &text, std::size_t at)
{
    while (at < text.size() && isBlank(text[at]))
        ++at;
    return at;
}

// The port after the colon: optional sign and decimal digits, then optional
// blanks and an optional closing parenthesis, then nothing but blanks.
bool parsePort(const std::string &text, std::size_t at, int &port)
{
    at = skipBlanks(text, at);
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    const std::size_t digits = at;
    long long value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        value = value * 10 + (text[at++] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (at == digits)
        return false;
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return false;
    at = skipBlanks(text, at);
    if (at < text.size() && text[at] == ')')
        at = skipBlanks(text, at + 1);
    if (at != text.size())
        return false;
    port = static_cast<int>(value);
    return true;
}

// Whether the path's opening starts at `at`: a blank, "(", any blanks and
// the path's leading kBoardPathLead, all before `end`. Returns the index of
// that lead, or npos.
std::size_t openingAt(const std::string &text, std::size_t at, std::size_t end)
{
    if (at + 2 >= end || !isBlank(text[at]) || text[at + 1] != '(')
        return std::string::npos;
    const std::size_t slash = skipBlanks(text, at + 2);
    return slash < end && text[slash] == kBoardPathLead ? slash : std::string::npos;
}

} // namespace

std::string formatDeviceDescriptor(const std::string &name, const std::string &path)
{
    return name + " (" + path + " : " + std::to_string(WIRELET_PORT_NODE) + ")";
}

bool isDescribablePath(const std::string &path)
{
    if (path.empty() || path.front() != kBoardPathLead || path.size() > kDescriptorPathMax || isBlank(path.back()))
        return false;
    for (std::size_t at = 0; at < path.size(); ++at) {
        if (openingAt(path, at, path.size()) != std::string::npos)
            return false;
    }
    return true;
}

bool parseDeviceDescriptor(const std::string &text, std::string &name, std::string &path, int &port)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    int parsedPort = 0;
    if (!parsePort(text, colon + 1, parsedPort))
        return false;

    // A name may hold anything, an opening included; a describable path
    // holds none, so the last opening before the colon is the real one.
    const std::size_t pathEnd = trimRight(text, colon);
    std::size_t nameEnd = pathEnd;
    std::size_t pathBegin = std::string::npos;
    while (nameEnd > 0 && pathBegin == std::string::npos)
        pathBegin = openingAt(text, --nameEnd, pathEnd);
    if (pathBegin == std::string::npos || nameEnd == 0)
        return false;
    if (nameEnd > kDescriptorNameMax || pathEnd - pathBegin > kDescriptorPathMax)
        return false;

    name = text.substr(0, nameEnd);
    path = text.substr(pathBegin, pathEnd - pathBegin);
    port = parsedPort;
    return true;
}
