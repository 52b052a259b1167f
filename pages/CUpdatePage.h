#pragma once

#include <QWidget>

#include <memory>

class CBurnFirmwareThread;
class CTiskarUpdater;
class QLabel;
class QProgressBar;
class QTimer;
class QVBoxLayout;

// Page 3: sends the firmware on a worker thread while a timer moves the
// progress bar and puts a time limit on the wait, then shows the outcome.
// The bar is a clock: the transfer reports nothing until it ends.
//
// While the worker runs the page keeps the wizard from closing (close box,
// window manager, Escape); the wizard waits for it before it goes away.
class CUpdatePage : public QWidget
{
    Q_OBJECT

public:
    // One tick every 1.2 s; at the 160th (192 s) the update counts as failed.
    static constexpr int kTickIntervalMs = 1200;
    static constexpr int kTickLimit = 160;

    explicit CUpdatePage(CTiskarUpdater *owner);
    // Stops and waits for a worker that is still running.
    ~CUpdatePage() override;

    // Entry action: starts the timer and the worker, disables Next.
    void startUpdate();

    // The user has left: the worker, if any, stops at the next packet
    // boundary; blocks until it has ended. A missing-image message it has
    // not shown yet is dropped, since nobody could answer it.
    void abandonUpdate();

private slots:
    void afterUpdating();
    void updateProgressBar();

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    QString failureText(int status) const;

    std::unique_ptr<CBurnFirmwareThread> burnThread;
    CTiskarUpdater *wizard;
    int tickCount;
    QVBoxLayout *mainLayout;
    QLabel *statusLabel;
    QProgressBar *progressBar;
    QLabel *failureLabel;
    QLabel *continueLabel;
    QTimer *timer;
};
