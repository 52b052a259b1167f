#include "DeviceLog.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex &sinkLock()
{
    static std::mutex lock;
    return lock;
}

DeviceLogSink &sink()
{
    static DeviceLogSink installed;
    return installed;
}

void emitLine(DeviceLogLevel level, const std::string &line)
{
    // Lines are few (a handful per search or update), so one lock serialises
    // them and keeps a sink swap from racing a log call.
    // Lines carry names and paths: one line an event, whatever they hold.
    const std::string printable = printableText(line);
    std::lock_guard<std::mutex> guard(sinkLock());
    if (sink())
        sink()(level, printable);
}

} // namespace

void setDeviceLogSink(DeviceLogSink replacement)
{
    std::lock_guard<std::mutex> guard(sinkLock());
    sink() = std::move(replacement);
}

void logDeviceInfo(const std::string &line)
{
    emitLine(DeviceLogLevel::Info, line);
}

void logDeviceWarning(const std::string &line)
{
    emitLine(DeviceLogLevel::Warning, line);
}

std::string printableText(const std::string &text)
{
    std::string printable;
    printable.reserve(text.size());
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            printable += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        printable += escaped;
    }
    return printable;
}

std::string hexWord(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}
