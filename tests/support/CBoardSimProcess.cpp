#include "CBoardSimProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>

#include <poll.h>
#include <unistd.h>

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
    std::vector<std::string> arguments{"--dir", directory().toStdString(), "--die-with-parent"};
    for (const QString &option : options)
        arguments.push_back(option.toStdString());
    m_started = spawnWithOutputPipe(BOARD_SIM_PATH, arguments, &m_child);
    if (!m_started)
        return false;
    m_running = m_outputOpen = true;
    // READY is its first line; everything after it is a report.
    const QDeadlineTimer deadline(kStartMs);
    while (m_lines.isEmpty() && !deadline.hasExpired() && waitForOutput(int(deadline.remainingTime())))
        readLines();
    if (m_lines.isEmpty() || !m_lines.first().startsWith(kReady))
        return false;
    m_linkPath = m_lines.takeFirst().mid(kReady.size());
    return !m_linkPath.isEmpty();
}

bool CBoardSimProcess::waitForOutput(int timeoutMs)
{
    if (!m_outputOpen)
        return false;
    pollfd ready{m_child.output, POLLIN, 0};
    ::poll(&ready, 1, qMax(1, timeoutMs));
    return true;
}

void CBoardSimProcess::readLines()
{
    char chunk[4096];
    ssize_t n = 0;
    while (m_outputOpen && (n = ::read(m_child.output, chunk, sizeof chunk)) != 0) {
        if (n < 0) {
            if (errno != EINTR)
                break; // EAGAIN: all there is for now
            continue;
        }
        m_partial.append(chunk, n);
    }
    if (n == 0)
        m_outputOpen = false;
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
        if (!line.isEmpty() || deadline.hasExpired() || !waitForOutput(int(deadline.remainingTime())))
            return line;
    }
}

BoardSimExit CBoardSimProcess::stop()
{
    if (!m_started)
        return {};
    if (m_running) {
        m_exitCode = endProcess(m_child.pid, SIGTERM, kStopMs);
        m_running = false;
        readLines();
        ::close(m_child.output);
        m_outputOpen = false;
    }
    return {m_exitCode, !QFileInfo(m_linkPath).isSymLink()};
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

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
