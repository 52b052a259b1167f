#pragma once

#include <list>
#include <string>
#include <vector>

// Lists the boards published as entries of a few directories: the board's
// udev rule links its node into /dev/parvel/, and boards served from user
// space publish theirs under $XDG_RUNTIME_DIR/parvel/.
class CTargetDirectoryEnumerator
{
public:
    explicit CTargetDirectoryEnumerator(std::vector<std::string> directories);

    // /dev/parvel/, then $XDG_RUNTIME_DIR/parvel/ when that variable is set.
    static std::vector<std::string> platformDirectories();

    // Appends, directory by directory and in name order within each, the
    // path of every entry that resolves to a character device, once per
    // device: of several links to one node only the first found is listed.
    // Paths that are not describable (DeviceDescriptor.h) are skipped. A
    // missing or unreadable directory adds nothing. Returns the number
    // appended.
    int findTargets(std::list<std::string> &paths) const;

private:
    std::vector<std::string> m_directories;
};
