#include "LinuxDeviceIo.h"

#include "DeviceLog.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    // Round up so the last poll does not spin on a sub-millisecond rest.
    return left > 0 ? int(left) + 1 : 0;
}

} // namespace

int CLinuxDeviceIo::open(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            logDeviceWarning("permission denied on " + path
                             + ": this user may not open the board; install the udev rule that comes with the"
                               " program (it gives the logged-in user access) and plug the projector in again");
        else
            logDeviceWarning("cannot open " + path + ": " + std::strerror(error));
        return kInvalidHandle;
    }
    // Only a board's node is written to; a path that has become a plain
    // file or a pipe in the meantime must not receive the query.
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        logDeviceWarning(path + " is no longer a board's device node");
        ::close(fd);
        return kInvalidHandle;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        logDeviceWarning(path + " is in use by another program");
        ::close(fd);
        return kInvalidHandle;
    }
    return fd;
}

bool CLinuxDeviceIo::write(int handle, const uint8_t *data, std::size_t size)
{
    ssize_t written;
    do
        written = ::write(handle, data, size);
    while (written < 0 && errno == EINTR);
    return written == ssize_t(size);
}

void CLinuxDeviceIo::pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::size_t CLinuxDeviceIo::collect(int handle, uint8_t *buffer, std::size_t capacity, int milliseconds)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    std::size_t got = 0;
    // Whatever arrives before the deadline counts; a full buffer ends the
    // wait early since nothing more could be kept.
    while (got < capacity) {
        const int wait = millisecondsUntil(deadline);
        pollfd readable{handle, POLLIN, 0};
        const int ready = ::poll(&readable, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        if (!(readable.revents & POLLIN))
            break; // hung up or failed: nothing more will arrive
        const ssize_t n = ::read(handle, buffer + got, capacity - got);
        if (n > 0)
            got += std::size_t(n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break; // the board went away or the line failed
        if (wait == 0)
            break;
    }
    return got;
}

void CLinuxDeviceIo::close(int handle)
{
    ::close(handle);
}
