#include "CommandHeader.h"

#include "ByteOrder.h"

#include <cstring>

namespace {

using namespace CommandHeaderLayout;

uint8_t classOf(uint8_t command)
{
    switch (command) {
    case 'A':
    case 'C':
    case 'D':
    case 'Q':
    case 'T':
        return kUpperClass;
    case 'a':
    case 'n':
        return kLowerClass;
    default:
        return 0;
    }
}

// Network byte order unless the caller asks for the host's own.
void storeWord(uint8_t *at, uint32_t word, bool hostOrder)
{
    if (hostOrder)
        std::memcpy(at, &word, sizeof word);
    else
        store32(at, word, false);
}

} // namespace

void buildCommandHeader(CommandHeader &header, char command, uint8_t param1, uint8_t param2,
                        uint32_t value, uint32_t length, bool hostOrder)
{
    std::memset(header.bytes, 0, sizeof header.bytes);
    header.bytes[kCommandOffset] = uint8_t(command);
    header.bytes[kParam1Offset] = param1;
    header.bytes[kParam2Offset] = param2;
    storeWord(header.bytes + kValueOffset, value, hostOrder);
    storeWord(header.bytes + kLengthOffset, length, hostOrder);
    header.bytes[kClassOffset] = classOf(header.bytes[kCommandOffset]);
}
