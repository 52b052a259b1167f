#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The board simulator as a child process publishing its line in a private
// temporary directory. Stops it with SIGTERM when destroyed.
class SimulatedBoard
{
public:
    SimulatedBoard() = default;
    ~SimulatedBoard();

    // Starts board-sim with `arguments` (--dir is added) and waits for its
    // READY line. False when it does not come up.
    bool start(const QStringList &arguments = {});
    // SIGTERM; true when it exited with 0 and its link is gone.
    bool stop();

    QString nodePath() const { return m_nodePath; }
    QString directory() const { return m_dir.path(); }
    // Report lines it printed after READY, e.g. "DOWNLOAD OK 10 0x0000002d".
    QStringList reports();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_nodePath;
    QStringList m_reports;
};
