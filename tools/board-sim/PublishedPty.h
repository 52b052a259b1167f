#pragma once

#include <string>

// A pseudo-terminal whose slave is published as a symbolic link, the way a
// board's node appears in its directory. The line is raw, or keeps the
// kernel's default settings of a freshly plugged serial node for a host to
// set. The simulator keeps its own slave descriptor open so a host closing
// the slave does not hang the line up.
class PublishedPty
{
public:
    PublishedPty() = default;
    ~PublishedPty();
    PublishedPty(const PublishedPty &) = delete;
    PublishedPty &operator=(const PublishedPty &) = delete;

    enum class LineMode {
        Raw,
        KernelDefault,
    };

    // Opens the pair and publishes the link `directory`/`linkName`
    // (creating the directory). False with a message on failure.
    bool open(const std::string &directory, const std::string &linkName, LineMode mode, std::string *error);
    // Closes the line and removes the link: the cable is pulled.
    void close();

    bool isOpen() const { return m_master >= 0; }
    int master() const { return m_master; }
    const std::string &linkPath() const { return m_linkPath; }

    // Drops what the host has not read yet, so a new conversation does not
    // start with an answer meant for an earlier one.
    void dropUnreadByHost();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_linkPath;
};
