#pragma once

#include <QObject>

class QEvent;
class QWidget;

// Delivers every event the program has already received, except the user's
// input for one window, which it drops. The wizard prepares a page while the
// previous one is still shown, the detection for a whole second on the GUI
// thread: a second click on Next or a second Enter given meanwhile was meant
// for that previous page and must not act on the new one, such as by
// answering its question unseen.
class CQueuedInputDrain : public QObject
{
public:
    // Returns once nothing is left queued (or after a short bound, should
    // events keep coming); input arriving after that reaches the window.
    static void drain(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit CQueuedInputDrain(QWidget *window);

    // A press, release, key, wheel turn or touch for the window or one of
    // its widgets; the platform hands mouse and keys to the window first.
    bool isInputForWindow(QObject *receiver, const QEvent *event) const;

    QWidget *m_window;
};
