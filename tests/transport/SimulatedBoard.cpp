#include "SimulatedBoard.h"

#include <QFileInfo>

#include <csignal>

namespace {

constexpr int kStartMs = 10000;
constexpr int kStopMs = 10000;

} // namespace

SimulatedBoard::~SimulatedBoard()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(kStopMs);
    }
}

bool SimulatedBoard::start(const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(BOARD_SIM_PATH), QStringList{"--dir", m_dir.path()} + arguments);
    if (!m_process.waitForStarted(kStartMs))
        return false;
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(kStartMs))
            return false;
    }
    const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
    if (!line.startsWith("READY "))
        return false;
    m_nodePath = line.mid(6);
    return true;
}

bool SimulatedBoard::stop()
{
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(kStopMs))
        return false;
    reports();
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0
        && !QFileInfo(m_nodePath).isSymLink();
}

QStringList SimulatedBoard::reports()
{
    while (m_process.canReadLine())
        m_reports << QString::fromUtf8(m_process.readLine()).trimmed();
    return m_reports;
}
