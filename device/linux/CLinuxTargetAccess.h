#pragma once

#include "CLinuxDeviceIo.h"
#include "CTargetDirectoryEnumerator.h"
#include "ITargetAccess.h"

// The boards of a Linux machine: published device nodes, queried directly.
class CLinuxTargetAccess final : public ITargetAccess
{
public:
    explicit CLinuxTargetAccess(std::vector<std::string> directories);

    int findTargets(std::list<std::string> &paths) override;
    std::string queryTargetName(const std::string &path) override;

private:
    CTargetDirectoryEnumerator m_enumerator;
    CLinuxDeviceIo m_io;
};
