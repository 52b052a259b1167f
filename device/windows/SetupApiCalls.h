#pragma once

#include <windows.h>
#include <setupapi.h>

// The four SetupAPI calls the enumeration makes, as a table so that tests can
// count or script them; platform() holds the real ones.
struct SetupApiCalls
{
    decltype(&SetupDiGetClassDevsA) getClassDevs = nullptr;
    decltype(&SetupDiEnumDeviceInterfaces) enumInterfaces = nullptr;
    decltype(&SetupDiGetDeviceInterfaceDetailA) getInterfaceDetail = nullptr;
    decltype(&SetupDiDestroyDeviceInfoList) destroyInfoList = nullptr;

    static SetupApiCalls platform();
};
