#pragma once

#include "SpawnedProcess.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>

// How the simulator ended: its exit code (-1 when it crashed or had to be
// killed) and whether it took its link away with it.
struct BoardSimExit
{
    int code = -1;
    bool linkGone = false;

    bool clean() const { return code == 0 && linkGone; }
};

// The board simulator as a child process for one test: publishes its link
// in a given directory or a private temporary one, and is ended (SIGTERM)
// when destroyed, or when the test process dies.
class CBoardSimProcess
{
public:
    CBoardSimProcess() = default;
    ~CBoardSimProcess();

    CBoardSimProcess(const CBoardSimProcess &) = delete;
    CBoardSimProcess &operator=(const CBoardSimProcess &) = delete;

    // Starts it with `options` (--dir is added) and waits for its READY
    // line; true once it came, `linkPath()` is then the board.
    bool start(const QString &dir, const QStringList &options);
    // The same in `directory()`.
    bool start(const QStringList &options = {});

    QString linkPath() const { return m_linkPath; }
    // Where the link is published; until a start in a given directory, the
    // private temporary one, made on first use.
    QString directory();

    // The lines it printed after READY so far, e.g. "DOWNLOAD OK 10 0x0000002d".
    QStringList reports();
    // The first report line starting with `prefix`, waiting up to
    // `timeoutMs` for it; empty when none came.
    QString waitForLine(const QString &prefix, int timeoutMs);

    // SIGTERM, then waits for it to end. A simulator that never started
    // counts as crashed.
    BoardSimExit stop();

    // Its process id while it may run, else -1.
    qint64 processId() const { return m_running ? m_child.pid : -1; }

private:
    void readLines();
    // Waits up to `timeoutMs` for more output; false once it has closed it.
    bool waitForOutput(int timeoutMs);
    QString findLine(const QString &prefix) const;

    std::unique_ptr<QTemporaryDir> m_privateDir;
    QString m_dir;
    SpawnedProcess m_child;
    bool m_running = false;
    bool m_outputOpen = false;
    int m_exitCode = -1;
    QString m_linkPath;
    QStringList m_lines;
    QByteArray m_partial;
    bool m_started = false;
};

// The report line of a download the simulator accepted: `size` bytes
// adding up to `sum`.
QString downloadAcceptedLine(std::size_t size, uint32_t sum);

// The open descriptors of this process with what each refers to, for
// comparing before and after an operation.
QStringList openDescriptors();

// The whole file at `path`, or nothing when it cannot be read: what a
// simulator saved with --save, or an image on disk.
QByteArray fileContents(const QString &path);
