#include "CTargetDirectoryEnumerator.h"

#include "DeviceDescriptor.h"
#include "DeviceLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

namespace {

const char kSystemDirectory[] = "/dev/parvel";
const char kUserSubdirectory[] = "/parvel";

std::vector<std::string> entryNames(const std::string &directory)
{
    std::vector<std::string> names;
    DIR *dir = ::opendir(directory.c_str());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) { // NOLINT(concurrency-mt-unsafe): the stream is this call's own
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Follows links: a dangling one is a board that went away. `node` receives
// the device number.
bool isCharacterDevice(const std::string &path, dev_t &node)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        logDeviceInfo("skipped " + path + ": " + errnoText(errno));
        return false;
    }
    if (!S_ISCHR(info.st_mode)) {
        logDeviceInfo("skipped " + path + ": not a character device");
        return false;
    }
    node = info.st_rdev;
    return true;
}

std::string joined(const std::string &directory, const std::string &name)
{
    if (!directory.empty() && directory.back() == '/')
        return directory + name;
    return directory + '/' + name;
}

} // namespace

CTargetDirectoryEnumerator::CTargetDirectoryEnumerator(std::vector<std::string> directories)
    : m_directories(std::move(directories))
{
}

std::vector<std::string> CTargetDirectoryEnumerator::platformDirectories()
{
    std::vector<std::string> directories{kSystemDirectory};
    const char *runtime = std::getenv("XDG_RUNTIME_DIR"); // NOLINT(concurrency-mt-unsafe): the program never sets its environment
    if (runtime && *runtime)
        directories.push_back(std::string(runtime) + kUserSubdirectory);
    return directories;
}

int CTargetDirectoryEnumerator::findTargets(std::list<std::string> &paths) const
{
    int count = 0;
    std::vector<dev_t> nodes;
    for (const std::string &directory : m_directories) {
        for (const std::string &name : entryNames(directory)) {
            const std::string path = joined(directory, name);
            dev_t node;
            // A board on a path that its descriptor could not carry back
            // exactly could never be updated safely.
            if (!isDescribablePath(path)) {
                logDeviceWarning("skipped " + path + ": the program could not name this path back exactly");
                continue;
            }
            if (!isCharacterDevice(path, node))
                continue;
            // Two links to one node are one board.
            if (std::find(nodes.begin(), nodes.end(), node) != nodes.end()) {
                logDeviceInfo("skipped " + path + ": the same board as an earlier link");
                continue;
            }
            nodes.push_back(node);
            paths.push_back(path);
            logDeviceInfo("board found: " + path);
            ++count;
        }
    }
    return count;
}
