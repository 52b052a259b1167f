#include "CSleepInhibitor.h"

#include "WizardLog.h"

#include <windows.h>

// The state belongs to the calling thread: the transfer's.
CSleepInhibitor::CSleepInhibitor()
{
    m_held = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
    if (m_held)
        qCInfo(lcDevice) << "sleep inhibited for the transfer: SetThreadExecutionState(ES_CONTINUOUS | "
                            "ES_SYSTEM_REQUIRED)";
    else
        qCWarning(lcDevice).nospace() << "SetThreadExecutionState failed with error " << GetLastError()
                                      << ", the transfer goes on without it";
}

CSleepInhibitor::~CSleepInhibitor()
{
    if (!m_held)
        return;
    SetThreadExecutionState(ES_CONTINUOUS);
    qCInfo(lcDevice) << "sleep no longer inhibited: SetThreadExecutionState(ES_CONTINUOUS)";
}
