#pragma once

#include "CommandPacket.h"

#include <cstddef>
#include <string>

// The text that names the board chosen for the update: "NAME (PATH : PORT)".
// The port is the transport library's port of the board's own node, always
// 0 for a board on USB.

// Longest name: a board's reply may fill its whole name field without a NUL.
constexpr std::size_t kDescriptorNameMax = CommandPacket::kDataSize;
// Longest path the descriptor may carry: a field as large as the name's,
// less its terminating NUL.
constexpr std::size_t kDescriptorPathMax = CommandPacket::kDataSize - 1;
// The first character of an absolute board path: "/" of a device node on
// Linux, "\\" of a device interface path ("\\?\usb#...") on Windows.
#ifdef _WIN32
constexpr char kBoardPathLead = '\\';
#else
constexpr char kBoardPathLead = '/';
#endif

// "NAME (PATH : 0)", the name and the path inserted verbatim.
std::string formatDeviceDescriptor(const std::string &name, const std::string &path);

// Whether a descriptor formed with this path always reads back to exactly
// it, whatever the name: an absolute path of at most kDescriptorPathMax
// characters that does not end in a blank and holds no blank, "(", blanks
// and kBoardPathLead in a row (which would read as the descriptor's own
// opening).
// A board on any other path cannot be offered for an update.
bool isDescribablePath(const std::string &path);

// Reads a descriptor back. The port comes after the last colon; the path
// starts at the kBoardPathLead after the last blank and "(" before it
// (blanks between allowed), and ends before the blanks before the colon, so it is always
// absolute; the name is everything before that blank, verbatim. The closing
// parenthesis may be missing. Fails on a missing part, an empty name, a port
// that is not a decimal integer, or a field longer than its maximum. For
// every name of at most kDescriptorNameMax characters and every describable
// path, it gives back exactly what formatDeviceDescriptor was given.
bool parseDeviceDescriptor(const std::string &text, std::string &name, std::string &path, int &port);
