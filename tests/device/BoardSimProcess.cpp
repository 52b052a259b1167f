#include "BoardSimProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>

CBoardSimProcess::~CBoardSimProcess()
{
    stop();
}

bool CBoardSimProcess::start(const QString &dir, const QStringList &options)
{
    m_process.setProgram(QStringLiteral(BOARD_SIM_PATH));
    m_process.setArguments(QStringList{"--dir", dir} + options);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    const QString ready = waitForLine("READY ", 5000);
    m_linkPath = ready.mid(6);
    return !m_linkPath.isEmpty();
}

void CBoardSimProcess::readLines()
{
    m_partial += m_process.readAllStandardOutput();
    int end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
}

QString CBoardSimProcess::waitForLine(const QString &prefix, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        readLines();
        for (int i = 0; i < m_lines.size(); ++i) {
            if (m_lines[i].startsWith(prefix))
                return m_lines.takeAt(i);
        }
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return {};
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

int CBoardSimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QStringList openDescriptors()
{
    const QString self = QFileInfo("/proc/self/fd").canonicalFilePath();
    QStringList descriptors;
    const QFileInfoList entries = QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString target = entry.symLinkTarget();
        // The listing's own descriptor comes and goes with each call.
        if (target == self)
            continue;
        descriptors << entry.fileName() + " -> " + target;
    }
    descriptors.sort();
    return descriptors;
}
