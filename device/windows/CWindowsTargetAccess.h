#pragma once

#include "CSetupApiEnumerator.h"
#include "ITargetAccess.h"
#include "CWindowsDeviceIo.h"

// The boards of a Windows machine: the driver's device interfaces, queried
// directly through their paths.
class CWindowsTargetAccess final : public ITargetAccess
{
public:
    int findTargets(std::list<std::string> &paths) override;
    std::string queryTargetName(const std::string &path) override;

private:
    CSetupApiEnumerator m_enumerator;
    CWindowsDeviceIo m_io;
};
