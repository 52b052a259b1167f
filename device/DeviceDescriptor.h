#pragma once

#include <cstddef>
#include <string>

// The text that names the board chosen for the update: "NAME (PATH : PORT)".
// The port is always 0 for a board on USB.

// Longest name or path the descriptor may carry.
constexpr std::size_t kDescriptorFieldMax = 259;

// "NAME (PATH : 0)", the name and the path inserted verbatim.
std::string formatDeviceDescriptor(const std::string &name, const std::string &path);

// Reads a descriptor back. The port and the path are taken from the
// right-hand end so that a name holding blanks or parentheses still parses;
// the path is the run of non-blank characters before the colon. The closing
// parenthesis may be missing. Fails on an empty text, a missing part, a port
// that is not a decimal integer, or a name or path longer than
// kDescriptorFieldMax characters.
bool parseDeviceDescriptor(const std::string &text, std::string &name, std::string &path, int &port);
