#include "FirmwareDownload.h"

#include "DeviceDescriptor.h"
#include "DownloadPacket.h"

#include <memory>
#include <new>

namespace {

using namespace DownloadPacket;

// The arguments the transport library is called with.
constexpr int kOpenFlags = 0;
constexpr int kOpenTimeoutMs = 26214;
constexpr int kConnectMode = 66;
constexpr uint8_t kConnectOption = 1;
constexpr int kSendMode = 66;
constexpr int kSendFlags = 1;
constexpr int kOptionLargestPacket = 1;
constexpr int kOptionByteOrder = 16;

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
    if (connection.transport.commGetOption(connection.handle, kOptionLargestPacket, &largest) != 0)
        return false;
    if (largest <= int32_t(kHeaderSize))
        return false;
    connection.largestPacket = std::size_t(largest);
    return true;
}

// A library that leaves the value untouched gets little-endian.
void queryByteOrder(Connection &connection)
{
    int32_t order = 1;
    connection.transport.commGetOption(connection.handle, kOptionByteOrder, &order);
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

// Sends one packet and waits for its reply; false when either failed on
// the line, so a stale reply is never taken for a new one, and when the
// answer is not one whole reply: shorter, or with bytes left over.
bool exchangePacket(const Connection &connection, const uint8_t *packet, std::size_t n, uint8_t *reply)
{
    if (connection.transport.commSendData(connection.handle, packet, uint32_t(n + kHeaderSize), kSendMode,
                                          kSendFlags) != 0)
        return false;
    uint32_t replyLength = kHeaderSize;
    uint8_t more = 0;
    uint8_t status = 0;
    if (connection.transport.commReceiveData(connection.handle, reply, &replyLength, &more, &status) != 0)
        return false;
    return replyLength == kHeaderSize && more == 0;
}

int sendImage(const Connection &connection, const FirmwareBytes &image, uint8_t *packet)
{
    uint8_t reply[kHeaderSize];
    writeDefaultHeader(reply);
    writeRequestHeader(packet);

    const std::size_t room = connection.largestPacket - kHeaderSize;
    uint32_t sum = 0;
    std::size_t offset = 0;
    std::size_t remaining = image.size;
    for (;;) {
        const std::size_t n = remaining < room ? remaining : room;
        const std::size_t left = remaining - n;
        buildPacket(packet, image.data + offset, n, left == 0, sum, connection.littleEndian);
        offset += n;
        if (!exchangePacket(connection, packet, n, reply))
            return kDownloadRefused;
        if (load16(reply + kStatusOffset, connection.littleEndian) != 0)
            return kDownloadRefused;
        if (left == 0)
            return load32(reply + kChecksumOffset, connection.littleEndian) == sum ? kDownloadOk
                                                                                   : kDownloadSumMismatch;
        remaining = left;
    }
}

} // namespace

int downloadImage(uint32_t handle, const DownloadContext &context)
{
    FirmwareBytes image;
    if (!context.image.locate(kFirmwareType, kFirmwareId, image)) {
        if (context.reportMissingImage)
            context.reportMissingImage();
        return kDownloadNoImage;
    }
    // Nothing to send means nothing the board could confirm.
    if (image.size == 0 || !image.data)
        return kDownloadRefused;

    Connection connection{context.transport, handle};
    if (!queryLargestPacket(connection))
        return kDownloadRefused;
    queryByteOrder(connection);

    const std::unique_ptr<uint8_t[]> packet(
        new (std::nothrow) uint8_t[packetBufferSize(image.size, connection.largestPacket)]);
    if (!packet)
        return kDownloadRefused;
    return sendImage(connection, image, packet.get());
}

int burnFirmware(const std::string &descriptor, const DownloadContext &context)
{
    std::string name;
    std::string path;
    int port = 0;
    if (descriptor.empty() || !parseDeviceDescriptor(descriptor, name, path, port))
        return 1;

    ITransport &transport = context.transport;
    uint32_t handle = 0;
    if (transport.commOpen(path.c_str(), port, &handle, kOpenFlags, kOpenTimeoutMs) != 0)
        return 1;

    uint8_t connectOption = kConnectOption;
    if (transport.commConnect(handle, kConnectMode, &connectOption, 0, 0) != 0) {
        transport.commClose(handle);
        return 1;
    }

    const int result = downloadImage(handle, context);
    transport.commDisconnect(handle);
    transport.commClose(handle);
    return result == kDownloadOk ? 0 : 1;
}
