#include "BoardDirectoryEnumerator.h"

#include <algorithm>
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
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Follows links: a dangling one is a board that went away.
bool isCharacterDevice(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

std::string joined(const std::string &directory, const std::string &name)
{
    if (!directory.empty() && directory.back() == '/')
        return directory + name;
    return directory + '/' + name;
}

} // namespace

CBoardDirectoryEnumerator::CBoardDirectoryEnumerator(std::vector<std::string> directories)
    : m_directories(std::move(directories))
{
}

std::vector<std::string> CBoardDirectoryEnumerator::platformDirectories()
{
    std::vector<std::string> directories{kSystemDirectory};
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        directories.push_back(std::string(runtime) + kUserSubdirectory);
    return directories;
}

int CBoardDirectoryEnumerator::findTargets(std::list<std::string> &paths) const
{
    int count = 0;
    for (const std::string &directory : m_directories) {
        for (const std::string &name : entryNames(directory)) {
            const std::string path = joined(directory, name);
            if (!isCharacterDevice(path))
                continue;
            paths.push_back(path);
            ++count;
        }
    }
    return count;
}
