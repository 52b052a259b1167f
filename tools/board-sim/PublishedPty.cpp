#include "PublishedPty.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

// mkdir -p, private to the user like the runtime directory it lives in.
bool makeDirectories(const std::string &directory)
{
    std::string path;
    std::size_t start = 0;
    while (start <= directory.size()) {
        std::size_t slash = directory.find('/', start);
        if (slash == std::string::npos)
            slash = directory.size();
        path = directory.substr(0, slash);
        if (!path.empty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        start = slash + 1;
    }
    struct stat info;
    return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

PublishedPty::~PublishedPty()
{
    close();
}

bool PublishedPty::open(const std::string &directory, const std::string &linkName, LineMode mode, std::string *error)
{
    close();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    char name[PATH_MAX];
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 || ::ptsname_r(m_master, name, sizeof name) != 0) {
        *error = systemError("pseudo-terminal set-up");
        close();
        return false;
    }
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios line;
    if (m_slave < 0 || ::tcgetattr(m_slave, &line) != 0) {
        *error = systemError(m_slavePath);
        close();
        return false;
    }
    ::cfmakeraw(&line);
    if ((mode == LineMode::Raw && ::tcsetattr(m_slave, TCSANOW, &line) != 0)
        || ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0) {
        *error = systemError("raw mode");
        close();
        return false;
    }

    if (!makeDirectories(directory)) {
        *error = systemError(directory);
        close();
        return false;
    }
    const std::string link = directory + "/" + linkName;
    // A link left behind by a simulator that died is replaced; anything else
    // at that name is not ours to touch.
    struct stat info;
    if (::lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            errno = EEXIST;
            *error = systemError(link);
            close();
            return false;
        }
        ::unlink(link.c_str());
    }
    if (::symlink(m_slavePath.c_str(), link.c_str()) != 0) {
        *error = systemError(link);
        close();
        return false;
    }
    m_linkPath = link;
    return true;
}

void PublishedPty::close()
{
    if (!m_linkPath.empty()) {
        // Only remove the link while it still names our line.
        char target[PATH_MAX];
        const ssize_t n = ::readlink(m_linkPath.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, std::size_t(n)) == m_slavePath)
            ::unlink(m_linkPath.c_str());
        m_linkPath.clear();
    }
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

void PublishedPty::dropUnreadByHost()
{
    if (m_slave >= 0)
        ::tcflush(m_slave, TCIFLUSH);
}
