#include "DeviceLog.h"

#include <cstdio>
#include <cstring>
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
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte); // NOLINT(cert-err33-c): four characters always fit
        printable += escaped;
    }
    return printable;
}

std::string hexWord(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value); // NOLINT(cert-err33-c): ten characters always fit
    return text;
}

namespace {

// strerror_r comes in two forms: GNU's returns the text, POSIX's fills the buffer.
[[maybe_unused]] const char *errnoTextOf(const char *text, const char *) { return text; }
[[maybe_unused]] const char *errnoTextOf(int, const char *buffer) { return buffer; }

} // namespace

std::string errnoText(int error)
{
    char buffer[256] = {};
#ifdef _WIN32
    return strerror_s(buffer, sizeof buffer, error) == 0 ? buffer : "error " + std::to_string(error);
#else
    return errnoTextOf(strerror_r(error, buffer, sizeof buffer), buffer);
#endif
}
