#include "CLinuxTargetAccess.h"

#include "TargetQuery.h"

#include <utility>

CLinuxTargetAccess::CLinuxTargetAccess(std::vector<std::string> directories)
    : m_enumerator(std::move(directories))
{
}

int CLinuxTargetAccess::findTargets(std::list<std::string> &paths)
{
    return m_enumerator.findTargets(paths);
}

std::string CLinuxTargetAccess::queryTargetName(const std::string &path)
{
    return ::queryTargetName(m_io, path);
}

ITargetAccess &platformTargetAccess()
{
    // The directories are read once: XDG_RUNTIME_DIR belongs to the session
    // and does not change while the wizard runs.
    static CLinuxTargetAccess targets(CTargetDirectoryEnumerator::platformDirectories());
    return targets;
}
