#pragma once

#include "ITargetAccess.h"

#include <functional>
#include <list>
#include <map>
#include <string>
#include <vector>

// Scripted boards for the detection page: `paths` are what enumeration
// finds, `names` what each path answers to the identity query (a path not
// in `names` is silent), and `whileQuerying` runs in the query, where the
// real one blocks the GUI thread. Every call is recorded.
class CScriptedTargetAccess final : public ITargetAccess
{
public:
    int findTargets(std::list<std::string> &found) override;
    std::string queryTargetName(const std::string &path) override;

    std::vector<std::string> paths;
    std::map<std::string, std::string> names;
    std::function<void()> whileQuerying;

    int findCalls = 0;
    std::vector<std::string> queried;
};
