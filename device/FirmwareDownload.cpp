#include "FirmwareDownload.h"

#include "ByteOrder.h"
#include "DeviceDescriptor.h"
#include "DeviceLog.h"
#include "DownloadPacket.h"

#include <wirelet.h>

#include <chrono>
#include <cstdio>
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
// room for data would never let the download advance.
bool queryLargestPacket(Connection &connection)
{
    int32_t largest = 0;
    if (const int result = connection.transport.commGetOption(connection.handle, WIRELET_OPTION_MAX_PACKET, &largest)) {
        logDeviceWarning("CommGetOption(largest packet) failed with result " + std::to_string(result));
        return false;
    }
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

// Sends one packet and waits for its reply; false when either failed on
// the line, so a stale reply is never taken for a new one, and when the
// answer is not one whole reply: shorter, or with bytes left over.
bool exchangePacket(const Connection &connection, const uint8_t *packet, std::size_t n, uint8_t *reply,
                    const std::string &place)
{
    if (const int result = connection.transport.commSendData(connection.handle, packet, uint32_t(n + kHeaderSize),
                                                             WIRELET_MODE_BLOCKS, kSendFlags)) {
        logDeviceWarning("CommSendData failed with result " + std::to_string(result) + " at " + place);
        return false;
    }
    uint32_t replyLength = kHeaderSize;
    uint8_t more = 0;
    uint8_t status = 0;
    if (const int result = connection.transport.commReceiveData(connection.handle, reply, &replyLength, &more,
                                                                &status)) {
        logDeviceWarning("CommReceiveData failed with result " + std::to_string(result) + " at " + place);
        return false;
    }
    if (replyLength != kHeaderSize || more != 0) {
        logDeviceWarning("the board's answer to " + place + " is not one " + std::to_string(kHeaderSize)
                         + "-byte reply");
        return false;
    }
    return true;
}

bool stopRequested(const DownloadContext &context)
{
    return context.stopRequested && context.stopRequested();
}

int sendImage(const Connection &connection, const FirmwareBytes &image, uint8_t *packet,
              const DownloadContext &context)
{
    uint8_t reply[kHeaderSize];
    writeDefaultHeader(reply);
    writeRequestHeader(packet);

    const std::size_t room = connection.largestPacket - kHeaderSize;
    const std::size_t count = (image.size + room - 1) / room;
    uint32_t sum = 0;
    std::size_t offset = 0;
    std::size_t remaining = image.size;
    for (std::size_t number = 1;; ++number) {
        const std::size_t n = remaining < room ? remaining : room;
        const std::size_t left = remaining - n;
        buildPacket(packet, image.data + offset, n, left == 0, sum, connection.littleEndian);
        offset += n;
        const std::string place = packetPlace(number, count);
        if (!exchangePacket(connection, packet, n, reply, place))
            return kDownloadRefused;
        if (const uint16_t status = load16(reply + kStatusOffset, connection.littleEndian)) {
            logDeviceWarning("the board refused " + place + " with status " + std::to_string(status));
            return kDownloadRefused;
        }
        if (left == 0) {
            const uint32_t reported = load32(reply + kChecksumOffset, connection.littleEndian);
            if (reported != sum) {
                logDeviceWarning("the board reports the sum " + hexWord(reported) + " for the image, expected "
                                 + hexWord(sum));
                return kDownloadSumMismatch;
            }
            logDeviceInfo("the board confirmed " + std::to_string(image.size) + " bytes in "
                          + std::to_string(count) + " packets, sum " + hexWord(sum));
            return kDownloadOk;
        }
        remaining = left;
        if (stopRequested(context)) {
            logDeviceWarning("transfer stopped after " + place + ": nobody waits for it any more");
            return kDownloadRefused;
        }
    }
}

} // namespace

int downloadImage(uint32_t handle, const DownloadContext &context)
{
    FirmwareBytes image;
    if (!context.image.locate(kFirmwareType, kFirmwareId, image)) {
        logDeviceWarning(std::string("firmware image ") + kFirmwareType + " " + std::to_string(kFirmwareId)
                         + " not found");
        if (context.reportMissingImage)
            context.reportMissingImage();
        return kDownloadNoImage;
    }
    // Nothing to send means nothing the board could confirm.
    if (image.size == 0 || !image.data) {
        logDeviceWarning("the firmware image is empty");
        return kDownloadRefused;
    }
    logDeviceInfo("firmware image: " + std::to_string(image.size) + " bytes");

    Connection connection{context.transport, handle};
    if (!queryLargestPacket(connection))
        return kDownloadRefused;
    queryByteOrder(connection);
    logDeviceInfo("connection: largest packet " + std::to_string(connection.largestPacket) + " bytes, "
                  + (connection.littleEndian ? "little-endian" : "big-endian"));

    const std::unique_ptr<uint8_t[]> packet(
        new (std::nothrow) uint8_t[packetBufferSize(image.size, connection.largestPacket)]);
    if (!packet) {
        logDeviceWarning("no memory for a packet of " + std::to_string(connection.largestPacket) + " bytes");
        return kDownloadRefused;
    }
    return sendImage(connection, image, packet.get(), context);
}

namespace {

int openAndDownload(const std::string &descriptor, const DownloadContext &context)
{
    std::string name;
    std::string path;
    int port = 0;
    if (descriptor.empty() || !parseDeviceDescriptor(descriptor, name, path, port)) {
        logDeviceWarning("no board to update: the descriptor \"" + descriptor + "\" cannot be read");
        return 1;
    }

    ITransport &transport = context.transport;
    uint32_t handle = 0;
    if (const int result = transport.commOpen(path.c_str(), port, &handle, kOpenFlags, kOpenTimeoutMs)) {
        logDeviceWarning("CommOpen(" + path + ", port " + std::to_string(port) + ") failed with result "
                         + std::to_string(result));
        return 1;
    }

    uint8_t connectOptions = kConnectOptions;
    if (const int result = transport.commConnect(handle, WIRELET_MODE_BLOCKS, &connectOptions, 0, 0)) {
        logDeviceWarning("CommConnect failed with result " + std::to_string(result));
        transport.commClose(handle);
        return 1;
    }

    const int result = downloadImage(handle, context);
    transport.commDisconnect(handle);
    transport.commClose(handle);
    return result == kDownloadOk ? 0 : 1;
}

} // namespace

int burnFirmware(const std::string &descriptor, const DownloadContext &context)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    logDeviceInfo("update of " + descriptor + " started");
    const int result = openAndDownload(descriptor, context);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", std::chrono::duration<double>(Clock::now() - start).count());
    const std::string line = std::string("update ") + (result == 0 ? "succeeded" : "failed") + " after " + seconds;
    if (result == 0)
        logDeviceInfo(line);
    else
        logDeviceWarning(line);
    return result;
}
