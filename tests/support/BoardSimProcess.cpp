#include "BoardSimProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>

namespace {

// Generous: two test executables may start and stop simulators at once on
// a loaded machine.
constexpr int kStartMs = 10000;
constexpr int kStopMs = 10000;

const QString kReady = QStringLiteral("READY ");

} // namespace

CBoardSimProcess::~CBoardSimProcess()
{
    stop();
}

QString CBoardSimProcess::directory()
{
    if (m_dir.isEmpty()) {
        m_privateDir = std::make_unique<QTemporaryDir>();
        m_dir = m_privateDir->path();
    }
    return m_dir;
}

bool CBoardSimProcess::start(const QString &dir, const QStringList &options)
{
    m_dir = dir;
    return start(options);
}

bool CBoardSimProcess::start(const QStringList &options)
{
    m_process.setProgram(QStringLiteral(BOARD_SIM_PATH));
    m_process.setArguments(QStringList{"--dir", directory()} + options);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    m_started = m_process.waitForStarted(kStartMs);
    if (!m_started)
        return false;
    // READY is its first line; everything after it is a report.
    const QDeadlineTimer deadline(kStartMs);
    while (m_lines.isEmpty() && m_process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        readLines();
    }
    if (m_lines.isEmpty() || !m_lines.first().startsWith(kReady))
        return false;
    m_linkPath = m_lines.takeFirst().mid(kReady.size());
    return !m_linkPath.isEmpty();
}

void CBoardSimProcess::readLines()
{
    m_partial += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_partial.left(end)).trimmed();
        m_partial.remove(0, end + 1);
    }
}

QStringList CBoardSimProcess::reports()
{
    readLines();
    return m_lines;
}

QString CBoardSimProcess::findLine(const QString &prefix) const
{
    for (const QString &line : m_lines) {
        if (line.startsWith(prefix))
            return line;
    }
    return {};
}

QString CBoardSimProcess::waitForLine(const QString &prefix, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        readLines();
        const QString line = findLine(prefix);
        if (!line.isEmpty() || deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return line;
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

BoardSimExit CBoardSimProcess::stop()
{
    if (!m_started)
        return {};
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(kStopMs)) {
            m_process.kill();
            m_process.waitForFinished(kStopMs);
            return {-1, !QFileInfo(m_linkPath).isSymLink()};
        }
        readLines();
    }
    const bool normal = m_process.exitStatus() == QProcess::NormalExit;
    return {normal ? m_process.exitCode() : -1, !QFileInfo(m_linkPath).isSymLink()};
}

QString downloadAcceptedLine(std::size_t size, uint32_t sum)
{
    return QString::asprintf("DOWNLOAD OK %zu 0x%08x", size, sum);
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
