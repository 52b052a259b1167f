#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The device layer's record of what it did and why something failed, one
// line an event. The layer knows nothing of the program's logging: the
// program installs a sink that forwards the lines; without one they are
// dropped. Any thread may log.
enum class DeviceLogLevel {
    Info,
    Warning,
};
using DeviceLogSink = std::function<void(DeviceLogLevel level, const std::string &line)>;

// Replaces the sink; an empty one drops every line.
void setDeviceLogSink(DeviceLogSink replacement);

void logDeviceInfo(const std::string &line);
void logDeviceWarning(const std::string &line);

// The text with every control character written as \xNN, so that a board's
// name or a path (anything a board or a directory can make up) stays on its
// line in a log and cannot forge lines of its own.
std::string printableText(const std::string &text);

// "0x0000abcd": sums and status words as the board's documentation gives them.
std::string hexWord(uint32_t value);

// The system's text for an errno value, as strerror gives it, but safe on
// any thread.
std::string errnoText(int error);
