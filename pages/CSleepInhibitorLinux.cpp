#include "CSleepInhibitor.h"

#include "WizardLog.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

namespace {

// logind answers within milliseconds; one that hangs must not eat the
// transfer's time limit, which is already running.
constexpr int kLogindPatienceMs = 2000;

} // namespace

CSleepInhibitor::CSleepInhibitor()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("TiskarUpd")
         << QStringLiteral("Updating the projector's firmware") << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        QDBusConnection::systemBus().call(call, QDBus::Block, kLogindPatienceMs);
    // Our own copy: the reply's goes with it.
    if (reply.isValid() && reply.value().isValid())
        m_lockFd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    m_held = m_lockFd >= 0;
    if (m_held)
        qCInfo(lcDevice) << "sleep inhibited for the transfer: logind lock taken";
    else
        qCWarning(lcDevice).noquote() << "no logind lock against sleep, the transfer goes on without it:"
                                      << (reply.isValid() ? QStringLiteral("no descriptor in the reply")
                                                          : reply.error().message());
}

CSleepInhibitor::~CSleepInhibitor()
{
    if (!m_held)
        return;
    ::close(m_lockFd);
    qCInfo(lcDevice) << "sleep no longer inhibited: logind lock released";
}
