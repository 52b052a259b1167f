#pragma once

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

// Why a board's node could not be had.
enum class BoardNodeError {
    None,
    CannotOpen, // missing, no permission, ...: see the system error
    NotADevice, // a file, pipe or directory sits where the board was
    Busy,       // another process holds the node's lock
};

// A board's node, opened the one way both the identity query and the
// transport library need it: non-blocking, never as the controlling
// terminal, only a character device, held under an exclusive flock. A serial
// node comes with the kernel's default line settings (canonical input, echo,
// CR/LF translation, XON/XOFF), which hold back a reply without a line end
// and echo the board's bytes back to it; so a terminal line is made raw for
// as long as the node is open, and its earlier settings come back on close.
class BoardNode
{
public:
    BoardNode() = default;
    ~BoardNode() { close(); }
    BoardNode(const BoardNode &) = delete;
    BoardNode &operator=(const BoardNode &) = delete;
    BoardNode(BoardNode &&other) noexcept { *this = static_cast<BoardNode &&>(other); }
    BoardNode &operator=(BoardNode &&other) noexcept
    {
        if (this != &other) {
            close();
            m_fd = other.m_fd;
            m_restore = other.m_restore;
            m_saved = other.m_saved;
            other.m_fd = -1;
            other.m_restore = false;
        }
        return *this;
    }

    // On failure `*systemError` holds the failing call's errno.
    BoardNodeError open(const char *path, int *systemError)
    {
        close();
        const int fd = ::open(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            *systemError = errno;
            return BoardNodeError::CannotOpen;
        }
        // Nothing but a board's node may receive the bytes meant for it.
        struct stat node;
        if (::fstat(fd, &node) != 0 || !S_ISCHR(node.st_mode)) {
            *systemError = errno;
            ::close(fd);
            return BoardNodeError::NotADevice;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            *systemError = error;
            ::close(fd);
            return error == EWOULDBLOCK ? BoardNodeError::Busy : BoardNodeError::CannotOpen;
        }
        m_fd = fd;
        makeLineRaw();
        return BoardNodeError::None;
    }

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // Drops what the line has not sent yet, gives it its earlier settings
    // back and releases the node. A serial node's close otherwise waits for
    // unsent bytes to drain, up to the port's closing_wait (30 s by
    // default), for a board that may never read them.
    void close()
    {
        if (m_fd < 0)
            return;
        ::tcflush(m_fd, TCOFLUSH); // fails harmlessly on a node that is no terminal
        if (m_restore)
            ::tcsetattr(m_fd, TCSANOW, &m_saved);
        ::close(m_fd);
        m_fd = -1;
        m_restore = false;
    }

private:
    // Every byte passes unchanged both ways: no echo, no translation, no
    // flow control, no line editing; a read returns what has arrived (the
    // node is non-blocking, so a read of an empty line fails with EAGAIN
    // rather than returning 0, which means end of file). What the board sent
    // in an earlier conversation is dropped; what the host wrote stays on
    // its way (it may be the rest of a frame the board is waiting for).
    void makeLineRaw()
    {
        if (::tcgetattr(m_fd, &m_saved) != 0)
            return; // no terminal: a board's own node
        termios raw = m_saved;
        ::cfmakeraw(&raw);
        raw.c_iflag &= tcflag_t(~(IXOFF | IXANY));
        raw.c_cflag &= tcflag_t(~CRTSCTS);
        raw.c_cflag |= CREAD;
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        m_restore = ::tcsetattr(m_fd, TCSANOW, &raw) == 0;
        ::tcflush(m_fd, TCIFLUSH);
    }

    int m_fd = -1;
    bool m_restore = false; // m_saved holds the line's settings from before
    termios m_saved{};
};
