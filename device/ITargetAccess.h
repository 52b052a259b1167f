#pragma once

#include <list>
#include <string>

// How the wizard reaches the boards before an update: listing the present
// board interfaces and asking one of them for its name. The platform
// implementation is the default; tests hand the wizard scripted boards.
class ITargetAccess
{
public:
    virtual ~ITargetAccess() = default;

    // Appends the path of every present board interface to `paths` (never
    // removes anything) and returns how many it appended.
    virtual int findTargets(std::list<std::string> &paths) = 0;

    // Runs the identity query on one path; an empty name means no answer.
    virtual std::string queryTargetName(const std::string &path) = 0;
};

// The boards of this platform.
ITargetAccess &platformTargetAccess();
