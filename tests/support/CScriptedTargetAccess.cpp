#include "CScriptedTargetAccess.h"

int CScriptedTargetAccess::findTargets(std::list<std::string> &found)
{
    ++findCalls;
    found.insert(found.end(), paths.begin(), paths.end());
    return int(paths.size());
}

std::string CScriptedTargetAccess::queryTargetName(const std::string &path)
{
    queried.push_back(path);
    if (whileQuerying)
        whileQuerying();
    const auto name = names.find(path);
    return name == names.end() ? std::string() : name->second;
}
