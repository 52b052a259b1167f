#include "CQueuedInputDrain.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QWidget>
#include <QWindow>

namespace {

// Long enough for what a blocked second leaves behind; a stream of events
// that never ends (none is known) cannot hold the navigation longer.
constexpr int kDrainLimitMs = 250;

bool isActingInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

} // namespace

CQueuedInputDrain::CQueuedInputDrain(QWidget *window)
    : m_window(window)
{
}

void CQueuedInputDrain::drain(QWidget *window)
{
    CQueuedInputDrain filter(window);
    QCoreApplication::instance()->installEventFilter(&filter);
    QCoreApplication::processEvents(QEventLoop::AllEvents, kDrainLimitMs);
    QCoreApplication::instance()->removeEventFilter(&filter);
}

bool CQueuedInputDrain::eventFilter(QObject *watched, QEvent *event)
{
    return isInputForWindow(watched, event);
}

bool CQueuedInputDrain::isInputForWindow(QObject *receiver, const QEvent *event) const
{
    if (!isActingInput(event->type()))
        return false;
    if (receiver->isWidgetType())
        return static_cast<QWidget *>(receiver)->window() == m_window;
    return receiver->isWindowType() && receiver == m_window->windowHandle();
}
