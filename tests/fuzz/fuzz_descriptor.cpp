// The descriptor's parse, with the round trip as the oracle: every name a
// board can report and every path the enumerator lists, formatted and read
// back, give the same name and path. Any other text must parse or fail
// cleanly.
#include "DeviceDescriptor.h"
#include "FuzzInput.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    std::string name, path;
    int port = 0;
    parseDeviceDescriptor(std::string(reinterpret_cast<const char *>(data), size), name, path, port);

    // First byte: the name's length; then the name; the rest is the path.
    FuzzInput input(data, size);
    const std::string reported = input.bytes(input.byte());
    const std::string node = input.rest();
    const bool acceptedName = !reported.empty() && reported.size() <= kDescriptorNameMax
                              && reported.find('\0') == std::string::npos;
    if (!acceptedName || !isDescribablePath(node))
        return 0;
    name.clear(), path.clear(), port = -1;
    if (!parseDeviceDescriptor(formatDeviceDescriptor(reported, node), name, path, port) || name != reported
        || path != node || port != 0)
        std::abort();
    return 0;
}
