#include "DeviceDescriptor.h"

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

} // namespace

std::string formatDeviceDescriptor(const std::string &name, const std::string &path)
{
    return name + " (" + path + " : 0)";
}

bool parseDeviceDescriptor(const std::string &text, std::string &name, std::string &path, int &port)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    int parsedPort = 0;
    if (!parsePort(text, colon + 1, parsedPort))
        return false;

    // The path runs back from the colon to the previous blank; the opening
    // parenthesis either starts that run or stands before it.
    const std::size_t pathEnd = trimRight(text, colon);
    std::size_t pathBegin = pathEnd;
    while (pathBegin > 0 && !isBlank(text[pathBegin - 1]))
        --pathBegin;
    std::size_t open;
    if (pathEnd - pathBegin > 1 && text[pathBegin] == '(') {
        open = pathBegin++;
    } else {
        open = trimRight(text, pathBegin);
        if (open == 0 || text[open - 1] != '(')
            return false;
        --open;
    }
    if (pathBegin == pathEnd)
        return false;

    const std::size_t nameBegin = skipBlanks(text, 0);
    const std::size_t nameEnd = trimRight(text, open);
    if (nameBegin >= nameEnd)
        return false;
    if (nameEnd - nameBegin > kDescriptorFieldMax || pathEnd - pathBegin > kDescriptorFieldMax)
        return false;

    name = text.substr(nameBegin, nameEnd - nameBegin);
    path = text.substr(pathBegin, pathEnd - pathBegin);
    port = parsedPort;
    return true;
}
