#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the board simulator for one test: starts it with a link in `dir`,
// waits for its READY line, and ends it (SIGTERM) when destroyed.
class CBoardSimProcess
{
public:
    CBoardSimProcess() = default;
    ~CBoardSimProcess();

    CBoardSimProcess(const CBoardSimProcess &) = delete;
    CBoardSimProcess &operator=(const CBoardSimProcess &) = delete;

    // True once the simulator said READY; `linkPath()` is then its board.
    bool start(const QString &dir, const QStringList &options);
    QString linkPath() const { return m_linkPath; }

    // Waits until a stdout line starting with `prefix` has arrived and
    // returns it; empty when none came in `timeoutMs`.
    QString waitForLine(const QString &prefix, int timeoutMs);

    // Ends the simulator and returns its exit code (-1 when it crashed).
    int stop();

private:
    void readLines();

    QProcess m_process;
    QString m_linkPath;
    QStringList m_lines;
    QByteArray m_partial;
};

// The open descriptors of this process with what each refers to, for
// comparing before and after an operation.
QStringList openDescriptors();
