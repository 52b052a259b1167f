#pragma once

#include <QMutex>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class CTiskarUpdater;
class CUpdatePage;
struct DownloadContext;

// Runs the whole transport conversation of one update off the GUI thread:
// reads the chosen board from the wizard, sends the firmware image and
// stores 0 (confirmed) or 1 (any failure) as the wizard's status. It never
// touches a widget; the one message it may need, "File not found", is
// shown by the GUI thread on its behalf.
class CBurnFirmwareThread : public QThread
{
    Q_OBJECT

public:
    // Both must outlive the thread; the page owns it and waits for it.
    CBurnFirmwareThread(CUpdatePage *owner, CTiskarUpdater *updater);
    // Waits for run() to end, so the object never goes while it works.
    ~CBurnFirmwareThread() override;

    // The download, through the wizard's transport and image. 0 when the
    // board confirmed the image, 1 on any failure (also when the wizard has
    // no transport or image to work with).
    int burnFirmware(std::string descriptor);
    // 0, 4, 5 or -1 (no image, or one whose bytes no longer have the
    // SHA-256 recorded at build time, after the user dismissed the message).
    int downloadImage(uint32_t handle);

    // GUI thread, before waiting for the thread while the wizard goes away:
    // from now on a missing image is not shown and nobody waits for a
    // dismissal that could never come (the GUI thread will be blocked).
    void abandonReports();

    // GUI thread, once the user has left: the transfer ends at the next
    // packet boundary and tears its connection down as after any failure.
    void requestStop();

    // GUI thread, at the update's time limit: stores 1 as the wizard's
    // status unless the transfer has already stored its own result, which
    // a limit reached in the same moment must not overwrite.
    void failIfStillRunning();

    // Waits until the thread is done with this object and with the wizard,
    // finished()'s receivers included. QThread::wait() alone orders that,
    // but through Qt's own synchronisation, which a race checker cannot see
    // unless Qt is built for it; `endLock` states the same order in the
    // standard library's terms.
    void waitForEnd();

protected:
    void run() override;

private:
    // Runs a download step with a context built from the wizard's services;
    // `failure` when the wizard has no transport or no image.
    int withContext(const std::function<int(const DownloadContext &)> &step, int failure);
    // Burn thread: asks the GUI thread to show "File not found" and waits
    // until the user has dismissed it.
    void reportMissingImage();

private slots:
    // GUI thread: the modal box itself.
    void showMissingImage();

private:
    CUpdatePage *page;
    CTiskarUpdater *wizard;

    // Taken by the thread in finished()'s last receiver, then by waitForEnd().
    std::mutex endLock;

    std::atomic<bool> stopping{false};
    // Orders the transfer's final status against the time limit's.
    QMutex resultLock;
    bool resultStored = false;

    QMutex reportLock;
    bool reportsAbandoned = false;
    QSemaphore reportDismissed;
};
