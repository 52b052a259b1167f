#include "SetupApiCalls.h"

SetupApiCalls SetupApiCalls::platform()
{
    return SetupApiCalls{&SetupDiGetClassDevsA, &SetupDiEnumDeviceInterfaces, &SetupDiGetDeviceInterfaceDetailA,
                         &SetupDiDestroyDeviceInfoList};
}
