#include "CLinuxDeviceIo.h"

#include "BoardNode.h"
#include "Deadline.h"
#include "DeviceLog.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Waits until the handle is ready for `events` or the deadline passes.
// False at the deadline, and on a hang-up or error: the line is then of no
// further use.
bool readyBefore(int handle, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd line{handle, events, 0};
        const int ready = ::poll(&line, 1, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0 && (line.revents & events);
    }
}

bool transient(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

// Moves up to `size` bytes with `step` (one read or write from the offset it
// is given) whenever the line is ready for `events`, until all have moved,
// the deadline passes, or the line ends or fails. A busy line that takes a
// part or nothing for a while is offered the rest again. Returns the count.
template <typename Step>
std::size_t transferBefore(int handle, short events, std::size_t size, Clock::time_point deadline, Step step)
{
    std::size_t done = 0;
    while (done < size && Clock::now() < deadline && readyBefore(handle, events, deadline)) {
        const ssize_t n = step(done);
        if (n > 0)
            done += std::size_t(n);
        else if (n == 0 || !transient(errno))
            break; // the board went away or the line failed
    }
    return done;
}

Clock::time_point deadlineIn(int milliseconds)
{
    return Clock::now() + std::chrono::milliseconds(milliseconds);
}

} // namespace

CLinuxDeviceIo::CLinuxDeviceIo() = default;
CLinuxDeviceIo::~CLinuxDeviceIo() = default;

DeviceHandle CLinuxDeviceIo::open(const std::string &path)
{
    auto node = std::make_unique<BoardNode>();
    int error = 0;
    switch (node->open(path.c_str(), &error)) {
    case BoardNodeError::None:
        break;
    case BoardNodeError::CannotOpen:
        if (error == EACCES || error == EPERM)
            logDeviceWarning("permission denied on " + path
                             + ": this user may not open the board; install the udev rule that comes with the"
                               " program (it gives the logged-in user access) and plug the projector in again");
        else
            logDeviceWarning("cannot open " + path + ": " + errnoText(error));
        return kInvalidHandle;
    case BoardNodeError::NotADevice:
        // Only a board's node is written to; a path that has become a plain
        // file or a pipe in the meantime must not receive the query.
        logDeviceWarning(path + " is no longer a board's device node");
        return kInvalidHandle;
    case BoardNodeError::Busy:
        logDeviceWarning(path + " is in use by another program");
        return kInvalidHandle;
    }
    const DeviceHandle handle = node->fd();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nodes.emplace(handle, std::move(node));
    return handle;
}

bool CLinuxDeviceIo::write(DeviceHandle board, const uint8_t *data, std::size_t size, int milliseconds)
{
    const int handle = static_cast<int>(board);
    const Clock::time_point deadline = deadlineIn(milliseconds);
    const std::size_t sent = transferBefore(handle, POLLOUT, size, deadline, [&](std::size_t done) {
        return ::write(handle, data + done, size - done);
    });
    std::this_thread::sleep_until(deadline);
    return sent == size;
}

void CLinuxDeviceIo::pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::size_t CLinuxDeviceIo::collect(DeviceHandle board, uint8_t *buffer, std::size_t capacity, int milliseconds)
{
    const int handle = static_cast<int>(board);
    const Clock::time_point deadline = deadlineIn(milliseconds);
    // Whatever arrives before the deadline counts. A full buffer, a hang-up
    // or a failed line ends the gathering but not the wait.
    const std::size_t got = transferBefore(handle, POLLIN, capacity, deadline, [&](std::size_t done) {
        return ::read(handle, buffer + done, capacity - done);
    });
    std::this_thread::sleep_until(deadline);
    return got;
}

void CLinuxDeviceIo::close(DeviceHandle board)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nodes.erase(board); // gives the line its settings back
}
