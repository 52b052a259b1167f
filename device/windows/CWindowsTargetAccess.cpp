#include "CWindowsTargetAccess.h"

#include "TargetQuery.h"

int CWindowsTargetAccess::findTargets(std::list<std::string> &paths)
{
    return m_enumerator.findTargets(paths);
}

std::string CWindowsTargetAccess::queryTargetName(const std::string &path)
{
    return ::queryTargetName(m_io, path);
}

ITargetAccess &platformTargetAccess()
{
    static CWindowsTargetAccess targets;
    return targets;
}
