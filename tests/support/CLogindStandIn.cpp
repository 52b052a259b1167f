#include "CLogindStandIn.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <csignal>

#include <poll.h>
#include <unistd.h>

namespace {

// Generous: python starts slowly on a loaded machine.
constexpr int kStartMs = 20000;
constexpr int kStopMs = 10000;

const QString kLogind = QStringLiteral("org.freedesktop.login1");

// `program` found on the path, started so that it gets SIGTERM when this
// process dies.
bool spawnTied(const QString &program, const std::vector<std::string> &arguments, SpawnedProcess *process)
{
    // Debian's own programs: python3-dbusmock belongs to /usr/bin/python3,
    // whatever other python comes first on the path.
    const QStringList debian{QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"), debian);
    const QString path = QStandardPaths::findExecutable(program, debian);
    if (setpriv.isEmpty() || path.isEmpty())
        return false;
    std::vector<std::string> tied{"--pdeathsig", "TERM", "--", path.toStdString()};
    tied.insert(tied.end(), arguments.begin(), arguments.end());
    return spawnWithOutputPipe(setpriv.toStdString(), tied, process);
}

void end(SpawnedProcess *process)
{
    if (process->pid < 0)
        return;
    endProcess(process->pid, SIGTERM, kStopMs);
    ::close(process->output);
    *process = SpawnedProcess{};
}

bool logindOnBus()
{
    const QDBusConnectionInterface *bus = QDBusConnection::systemBus().interface();
    return bus && bus->isServiceRegistered(kLogind).value();
}

template <typename Condition>
bool waitFor(Condition condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

CLogindStandIn::~CLogindStandIn()
{
    end(&m_logind);
    end(&m_bus);
}

bool CLogindStandIn::startBus()
{
    if (!m_dir.isValid())
        return false;
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                   .arg(m_dir.path())
                   .toUtf8());
    file.close();
    if (!spawnTied(QStringLiteral("dbus-daemon"),
                   {"--config-file=" + config.toStdString(), "--nofork", "--print-address=1"}, &m_bus))
        return false;
    // The address is its first line, printed once it listens.
    QByteArray address;
    const QDeadlineTimer deadline(kStartMs);
    while (!address.endsWith('\n') && !deadline.hasExpired()) {
        pollfd ready{m_bus.output, POLLIN, 0};
        ::poll(&ready, 1, int(qMax<qint64>(1, deadline.remainingTime())));
        char chunk[256];
        const ssize_t n = ::read(m_bus.output, chunk, sizeof chunk);
        if (n == 0)
            return false;
        if (n > 0)
            address.append(chunk, n);
    }
    address = address.trimmed();
    return !address.isEmpty() && qputenv("DBUS_SYSTEM_BUS_ADDRESS", address)
           && QDBusConnection::systemBus().isConnected();
}

bool CLogindStandIn::startLogind()
{
    if (m_logind.pid >= 0)
        return true;
    if (spawnTied(QStringLiteral("python3"), {"-m", "dbusmock", "--system", "--template", "logind"}, &m_logind)
        && waitFor(logindOnBus, kStartMs))
        return true;
    end(&m_logind);
    return false;
}

bool CLogindStandIn::stopLogind()
{
    end(&m_logind);
    return waitFor([] { return !logindOnBus(); }, kStopMs);
}

QStringList CLogindStandIn::inhibitors() const
{
    const QDBusMessage reply = QDBusConnection::systemBus().call(QDBusMessage::createMethodCall(
        kLogind, QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("ListInhibitors")));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {QStringLiteral("no answer: ") + reply.errorMessage()};
    QStringList locks;
    const QDBusArgument list = reply.arguments().first().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString what, who, why, mode;
        uint uid = 0, pid = 0;
        list.beginStructure();
        list >> what >> who >> why >> mode >> uid >> pid;
        list.endStructure();
        locks << QStringList{what, who, why, mode}.join(QLatin1Char('|'));
    }
    list.endArray();
    return locks;
}
