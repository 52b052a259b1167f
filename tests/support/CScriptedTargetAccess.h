#pragma once

#include "ITargetAccess.h"

#include <list>
#include <map>
#include <string>
#include <vector>

// Scripted boards for the detection page: `paths` are what enumeration
// finds, `names` what each path answers to the identity query (a path not
// in `names` is silent). Every call is recorded.
class CScriptedTargetAccess final : public ITargetAccess
{
public:
    int findTargets(std::list<std::string> &found) override;
    std::string queryTargetName(const std::string &path) override;

    std::vector<std::string> paths;
    std::map<std::string, std::string> names;

    int findCalls = 0;
    std::vector<std::string> queried;
};
