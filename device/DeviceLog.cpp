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
    std::lock_guard<std::mutex> guard(sinkLock());
    if (sink())
        sink()(level, line);
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

std::string hexWord(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}
