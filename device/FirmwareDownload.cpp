#include "FirmwareDownload.h"

#include "ByteOrder.h"
#include "DeviceDescriptor.h"
#include "DeviceLog.h"
#include "DownloadPacket.h"

#include <wirelet.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

using namespace DownloadPacket;

// The program's own arguments to the transport library (its modes, options
// and codes are the library's, in wirelet.h). A library substituted at load
// time may rely on exactly these values, so they are fixed, not tuned.
constexpr int kOpenFlags = 0; // reserved
// The library's bound on each blocking call of the connection, about 26 s:
// how long a packet may take to go out, and the board to answer it, before
// the download counts as failed.
constexpr int kOpenTimeoutMs = 26214;
constexpr uint8_t kConnectOptions = 1; // handed on to the board in the handshake
constexpr int kSendFlags = 1;          // travels in the frame of every packet

struct Connection
{
    ITransport &transport;
    uint32_t handle;
    bool littleEndian = true;
    std::size_t largestPacket = 0;
};

// The largest packet the board takes, header included. One that leaves no
// room for data would never let the download advance. The library's result
// code is only logged: what it means is the library's own convention, and
// the value decides. A value left untouched leaves no room.
bool queryLargestPacket(Connection &connection)
{
    int32_t largest = 0;
    if (const int result = connection.transport.commGetOption(connection.handle, WIRELET_OPTION_MAX_PACKET, &largest))
        logDeviceInfo("CommGetOption(largest packet) gave result " + std::to_string(result) + " and the value "
                      + std::to_string(largest));
    if (largest <= int32_t(kHeaderSize)) {
        logDeviceWarning("the board states a largest packet of " + std::to_string(largest)
                         + " bytes, which leaves no room for image bytes");
        return false;
    }
    connection.largestPacket = std::size_t(largest);
    return true;
}

// A library that leaves the value untouched gets little-endian.
void queryByteOrder(Connection &connection)
{
    int32_t order = 1;
    connection.transport.commGetOption(connection.handle, WIRELET_OPTION_BYTE_ORDER, &order);
    connection.littleEndian = order != 0;
}

std::size_t packetBufferSize(std::size_t imageSize, std::size_t largestPacket)
{
    return imageSize >= largestPacket - kHeaderSize ? largestPacket : imageSize + kHeaderSize;
}

// Fills the packet for the next n bytes and adds them to the running sum
// in the same pass.
void buildPacket(uint8_t *packet, const uint8_t *image, std::size_t n, bool last, uint32_t &sum,
                 bool littleEndian)
{
    store16(packet + kLastFlagOffset, last ? kLastPacket : kMorePackets, littleEndian);
    store32(packet + kLengthOffset, uint32_t(n), littleEndian);
    uint8_t *data = packet + kHeaderSize;
    for (std::size_t i = 0; i < n; ++i) {
        data[i] = image[i];
        sum += image[i];
    }
    store32(packet + kChecksumOffset, last ? sum : 0, littleEndian);
}

std::string packetPlace(std::size_t number, std::size_t count)
{
    return "packet " + std::to_string(number) + " of " + std::to_string(count);
}

// What the library gives back besides the reply itself: result codes, the
// reply length and the receive's two one-byte values. A library's
// conventions for these are its own (a byte count for a result, a flag set
// on success), so none of them decides a packet; the reply area does.
struct LibraryReport
{
    int sendResult = 0;
    int receiveResult = 0;
    uint32_t replyLength = kHeaderSize;
    uint8_t first = 0;
    uint8_t second = 0;

    bool operator!=(const LibraryReport &other) const
    {
        return sendResult != other.sendResult || receiveResult != other.receiveResult
               || replyLength != other.replyLength || first != other.first || second != other.second;
    }
};

// Logged when it first differs from the plain one and whenever it changes,
// so a library with other conventions logs them once, not every packet.
void logLibraryReport(const LibraryReport &report, LibraryReport &lastLogged, const std::string &place)
{
    if (!(report != lastLogged))
        return;
    lastLogged = report;
    logDeviceInfo("at " + place + " CommSendData gave " + std::to_string(report.sendResult) + ", CommReceiveData gave "
                  + std::to_string(report.receiveResult) + " with the reply length " + std::to_string(report.replyLength)
                  + " and the values " + std::to_string(report.first) + " and " + std::to_string(report.second));
}

// Status that no reply carried: what the reply area holds before each
// receive, so that a reply that never arrived reads as a refusal whatever
// the library returns. It is 0xFFFF in both byte orders.
constexpr uint16_t kNoReply = 0xFFFF;

// Marks the reply area before a receive: the refusal status, and a sum that
// is never the one expected, so that an area the library writes only in
// part cannot confirm the image either.
void markReplyArea(uint8_t *reply, uint32_t expectedSum, bool littleEndian)
{
    store16(reply + kStatusOffset, kNoReply, littleEndian);
    store32(reply + kChecksumOffset, ~expectedSum, littleEndian);
}

// Sends one packet and takes its reply into the reply area; false when the
// area was left as marked: no reply arrived.
bool exchangePacket(const Connection &connection, const uint8_t *packet, std::size_t n, uint8_t *reply,
                    uint32_t expectedSum, LibraryReport &lastLogged, const std::string &place)
{
    LibraryReport report;
    report.sendResult = connection.transport.commSendData(connection.handle, packet, uint32_t(n + kHeaderSize),
                                                          WIRELET_MODE_BLOCKS, kSendFlags);
    markReplyArea(reply, expectedSum, connection.littleEndian);
    uint8_t marked[kHeaderSize];
    std::memcpy(marked, reply, kHeaderSize);
    report.receiveResult = connection.transport.commReceiveData(connection.handle, reply, &report.replyLength,
                                                                &report.first, &report.second);
    logLibraryReport(report, lastLogged, place);
    if (std::memcmp(reply, marked, kHeaderSize) == 0) {
        logDeviceWarning("no reply to " + place + " arrived");
        return false;
    }
    return true;
}

// How a download ended. The caller gets a result code: the board's two
// verdicts on the whole image and a missing image keep theirs, and every
// other end is kDownloadRefused, whose reason goes to the log.
enum class DownloadEnd {
    Confirmed,
    SumMismatch,
    NoImage,    // after the user was told
    Refused,    // the board refused a packet
    NoReply,    // no reply to a packet arrived: the line failed or the board fell silent
    NoRoom,     // the board's largest packet leaves no room for image bytes
    NoMemory,   // the packet buffer could not be had
    EmptyImage, // nothing the board could confirm
    Stopped,    // nobody waits for the outcome any more
};

int resultCode(DownloadEnd end)
{
    const char *reason = "";
    switch (end) {
    case DownloadEnd::Confirmed: return kDownloadOk;
    case DownloadEnd::SumMismatch: return kDownloadSumMismatch;
    case DownloadEnd::NoImage: return kDownloadNoImage;
    case DownloadEnd::Refused: reason = "packet refused"; break;
    case DownloadEnd::NoReply: reason = "no reply"; break;
    case DownloadEnd::NoRoom: reason = "no room in a packet"; break;
    case DownloadEnd::NoMemory: reason = "no memory"; break;
    case DownloadEnd::EmptyImage: reason = "empty image"; break;
    case DownloadEnd::Stopped: reason = "stopped"; break;
    }
    logDeviceInfo("download result " + std::to_string(kDownloadRefused) + " (" + reason + ")");
    return kDownloadRefused;
}

bool stopRequested(const DownloadContext &context)
{
    return context.stopRequested && context.stopRequested();
}

DownloadEnd sendImage(const Connection &connection, const FirmwareBytes &image, uint8_t *packet, uint8_t *reply,
                      const DownloadContext &context)
{
    writeDefaultHeader(reply);
    writeRequestHeader(packet);

    const std::size_t room = connection.largestPacket - kHeaderSize;
    const std::size_t count = (image.size + room - 1) / room;
    uint32_t sum = 0;
    LibraryReport lastLogged;
    std::size_t offset = 0;
    std::size_t remaining = image.size;
    for (std::size_t number = 1;; ++number) {
        const std::size_t n = remaining < room ? remaining : room;
        const std::size_t left = remaining - n;
        buildPacket(packet, image.data + offset, n, left == 0, sum, connection.littleEndian);
        offset += n;
        const std::string place = packetPlace(number, count);
        if (!exchangePacket(connection, packet, n, reply, left == 0 ? sum : 0, lastLogged, place))
            return DownloadEnd::NoReply;
        if (const uint16_t status = load16(reply + kStatusOffset, connection.littleEndian)) {
            logDeviceWarning("the board refused " + place + " with status " + std::to_string(status));
            return DownloadEnd::Refused;
        }
        if (left == 0) {
            const uint32_t reported = load32(reply + kChecksumOffset, connection.littleEndian);
            if (reported != sum) {
                logDeviceWarning("the board reports the sum " + hexWord(reported) + " for the image, expected "
                                 + hexWord(sum));
                return DownloadEnd::SumMismatch;
            }
            logDeviceInfo("the board confirmed " + std::to_string(image.size) + " bytes in "
                          + std::to_string(count) + " packets, sum " + hexWord(sum));
            return DownloadEnd::Confirmed;
        }
        remaining = left;
        if (stopRequested(context)) {
            logDeviceWarning("transfer stopped after " + place + ": nobody waits for it any more");
            return DownloadEnd::Stopped;
        }
    }
}

DownloadEnd download(uint32_t handle, const DownloadContext &context)
{
    FirmwareBytes image;
    if (!context.image.locate(kFirmwareType, kFirmwareId, image)) {
        logDeviceWarning(std::string("firmware image ") + kFirmwareType + " " + std::to_string(kFirmwareId)
                         + " not found");
        if (context.reportMissingImage)
            context.reportMissingImage();
        return DownloadEnd::NoImage;
    }
    // Nothing to send means nothing the board could confirm.
    if (image.size == 0 || !image.data) {
        logDeviceWarning("the firmware image is empty");
        return DownloadEnd::EmptyImage;
    }
    logDeviceInfo("firmware image: " + std::to_string(image.size) + " bytes");

    Connection connection{context.transport, handle};
    if (!queryLargestPacket(connection))
        return DownloadEnd::NoRoom;
    queryByteOrder(connection);
    logDeviceInfo("connection: largest packet " + std::to_string(connection.largestPacket) + " bytes, "
                  + (connection.littleEndian ? "little-endian" : "big-endian"));

    const std::size_t bufferSize = packetBufferSize(image.size, connection.largestPacket);
    const std::unique_ptr<uint8_t[]> packet(new (std::nothrow) uint8_t[bufferSize]);
    // The reply is 16 bytes, and only those are judged; the area is as large
    // as a packet, so that a library that writes a longer message past the
    // length it was given overwrites nothing else.
    const std::unique_ptr<uint8_t[]> reply(new (std::nothrow) uint8_t[bufferSize]);
    if (!packet || !reply) {
        logDeviceWarning("no memory for a packet and a reply area of " + std::to_string(bufferSize) + " bytes each");
        return DownloadEnd::NoMemory;
    }
    return sendImage(connection, image, packet.get(), reply.get(), context);
}

} // namespace

int downloadImage(uint32_t handle, const DownloadContext &context)
{
    return resultCode(download(handle, context));
}

namespace {

int openAndDownload(const std::string &descriptor, const DownloadContext &context)
{
    std::string name;
    std::string path;
    int port = 0;
    if (descriptor.empty() || !parseDeviceDescriptor(descriptor, name, path, port)) {
        logDeviceWarning("no board to update: the descriptor \"" + descriptor + "\" cannot be read");
        return kBurnFailed;
    }

    ITransport &transport = context.transport;
    uint32_t handle = 0;
    if (const int result = transport.commOpen(path.c_str(), port, &handle, kOpenFlags, kOpenTimeoutMs)) {
        logDeviceWarning("CommOpen(" + path + ", port " + std::to_string(port) + ") failed with result "
                         + std::to_string(result));
        return kBurnFailed;
    }

    uint8_t connectOptions = kConnectOptions;
    if (const int result = transport.commConnect(handle, WIRELET_MODE_BLOCKS, &connectOptions, 0, 0)) {
        logDeviceWarning("CommConnect failed with result " + std::to_string(result));
        transport.commClose(handle);
        return kBurnFailed;
    }

    const int result = downloadImage(handle, context);
    transport.commDisconnect(handle);
    transport.commClose(handle);
    return result == kDownloadOk ? kBurnSucceeded : kBurnFailed;
}

} // namespace

int burnFirmware(const std::string &descriptor, const DownloadContext &context)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    logDeviceInfo("update of " + descriptor + " started");
    const int result = openAndDownload(descriptor, context);
    char seconds[32];
    // NOLINTNEXTLINE(cert-err33-c): an update's seconds fit; a cut would only shorten the log line
    std::snprintf(seconds, sizeof seconds, "%.1f s", std::chrono::duration<double>(Clock::now() - start).count());
    const std::string line =
        std::string("update ") + (result == kBurnSucceeded ? "succeeded" : "failed") + " after " + seconds;
    if (result == kBurnSucceeded)
        logDeviceInfo(line);
    else
        logDeviceWarning(line);
    return result;
}
