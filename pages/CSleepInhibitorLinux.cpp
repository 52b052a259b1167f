#include "CSleepInhibitor.h"

#include "WizardLog.h"

#include <QAtomicInt>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The whole conversation, from connecting to the bus to logind's answer,
// comes out of the transfer's time before its first packet: logind answers
// within milliseconds, and the transfer must start within two seconds of
// the update page whatever the bus does.
constexpr int kLogindPatienceMs = 1500;

// Where a system without DBUS_SYSTEM_BUS_ADDRESS has its bus.
const char kDefaultSystemBus[] = "unix:path=/var/run/dbus/system_bus_socket";

// Qt's shared system bus connection registers with the bus without a time
// limit, on Qt's own D-Bus thread, which the program's exit then waits for:
// a bus that accepts and never answers would hold the transfer and the exit
// for good. So the lock is taken over a connection of its own, opened as to
// a peer (nothing waits on it), which introduces itself to the bus with a
// Hello under the same deadline as the call to logind.
QString systemBusAddress()
{
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    return address.isEmpty() ? QString::fromLatin1(kDefaultSystemBus) : address;
}

// A fresh name for each connection: one whose update outlived it may still
// be going when the next is made.
QString connectionName()
{
    static QAtomicInt made;
    return QStringLiteral("tiskarupd-sleep-lock-%1").arg(made.fetchAndAddRelaxed(1));
}

QDBusMessage callWithin(QDBusConnection &bus, const QDBusMessage &call, const QDeadlineTimer &deadline)
{
    const int remainingMs = int(qMax<qint64>(1, deadline.remainingTime()));
    return bus.call(call, QDBus::Block, remainingMs);
}

QDBusMessage hello()
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                          QStringLiteral("org.freedesktop.DBus"), QStringLiteral("Hello"));
}

QDBusMessage inhibit()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("TiskarUpd")
         << QStringLiteral("Updating the projector's firmware") << QStringLiteral("block");
    return call;
}

// Our own copy of logind's lock descriptor, or -1 with the reason in
// `failure`.
int takeLock(QDBusConnection &bus, const QDeadlineTimer &deadline, QString *failure)
{
    if (!bus.isConnected()) {
        *failure = QStringLiteral("no system bus: ") + bus.lastError().message();
        return -1;
    }
    const QDBusMessage welcomed = callWithin(bus, hello(), deadline);
    if (welcomed.type() != QDBusMessage::ReplyMessage) {
        *failure = QStringLiteral("the system bus did not answer: ") + welcomed.errorMessage();
        return -1;
    }
    const QDBusReply<QDBusUnixFileDescriptor> reply = callWithin(bus, inhibit(), deadline);
    if (!reply.isValid()) {
        *failure = reply.error().message();
        return -1;
    }
    if (!reply.value().isValid()) {
        *failure = QStringLiteral("no descriptor in the reply");
        return -1;
    }
    // The reply's goes with it.
    const int copy = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        *failure = QStringLiteral("the descriptor could not be kept: ") + qt_error_string(errno);
    return copy;
}

} // namespace

CSleepInhibitor::CSleepInhibitor()
{
    const QDeadlineTimer deadline(kLogindPatienceMs);
    const QString name = connectionName();
    QString failure;
    {
        QDBusConnection bus = QDBusConnection::connectToPeer(systemBusAddress(), name);
        m_lockFd = takeLock(bus, deadline, &failure);
    }
    // logind keeps the lock while the descriptor is open, not the connection.
    QDBusConnection::disconnectFromPeer(name);
    m_held = m_lockFd >= 0;
    if (m_held)
        qCInfo(lcDevice) << "sleep inhibited for the transfer: logind lock taken";
    else
        qCWarning(lcDevice).noquote() << "no logind lock against sleep, the transfer goes on without it:"
                                      << failure;
}

CSleepInhibitor::~CSleepInhibitor()
{
    if (!m_held)
        return;
    ::close(m_lockFd);
    qCInfo(lcDevice) << "sleep no longer inhibited: logind lock released";
}
