#pragma once

#include "SetupApiCalls.h"

#include <list>
#include <string>

// The interface class the board's driver publishes one device interface of
// per connected board: {CB98B0D6-AEA0-42CC-BEDD-24564F5ABCEE}.
constexpr GUID kBoardInterfaceClass = {0xCB98B0D6, 0xAEA0, 0x42CC, {0xBE, 0xDD, 0x24, 0x56, 0x4F, 0x5A, 0xBC, 0xEE}};

// Present devices of all setup classes, listed by their device interfaces.
constexpr DWORD kBoardEnumerationFlags = DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE; // 0x16

// Lists the device interface paths of one interface class through SetupAPI.
class CSetupApiEnumerator
{
public:
    explicit CSetupApiEnumerator(SetupApiCalls calls = SetupApiCalls::platform(),
                                 const GUID &interfaceClass = kBoardInterfaceClass);

    // Appends the path of every present interface of the class, in the
    // platform's order, and returns how many it appended. An interface whose
    // detail cannot be read is appended as an empty path; one whose detail
    // size is too small to hold a record is skipped. The device information
    // set is released on every way out.
    int findTargets(std::list<std::string> &paths) const;

private:
    // The path of one enumerated interface; false when the entry is skipped.
    bool interfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA &interfaceData, std::string &path) const;

    SetupApiCalls m_calls;
    GUID m_interfaceClass;
};
