#pragma once

#include <QThread>

#include <atomic>
#include <condition_variable>
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
// shown by the GUI thread on its behalf. How the two threads meet is told
// above run().
class CBurnFirmwareThread : public QThread
{
    Q_OBJECT

public:
    // Both must outlive the thread; the page owns it and waits for it.
    CBurnFirmwareThread(CUpdatePage *owner, CTiskarUpdater *updater);
    // Stops the thread and waits for it, so the object never goes while it
    // works.
    ~CBurnFirmwareThread() override;

    // The download, through the wizard's transport and image. 0 when the
    // board confirmed the image, 1 on any failure (also when the wizard has
    // no transport or image to work with).
    int burnFirmware(std::string descriptor);
    // 0, 4, 5 or -1 (no image, or one whose bytes no longer have the
    // SHA-256 recorded at build time, after the user dismissed the message).
    int downloadImage(uint32_t handle);

    // GUI thread, once the user has left: the transfer ends at the next
    // packet boundary and tears its connection down as after any failure,
    // a missing image is no longer shown, and this returns when run() has
    // ended.
    void stopAndWait();

    // GUI thread, at the update's time limit: stores 1 as the wizard's
    // status unless the transfer has already stored its own result, which
    // a limit reached in the same moment must not overwrite.
    void failIfStillRunning();

protected:
    void run() override;

private:
    // Runs a download step with a context built from the wizard's services;
    // `failure` when the wizard has no transport or no image.
    int withContext(const std::function<int(const DownloadContext &)> &step, int failure);
    // Burn thread: asks the GUI thread to show "File not found" and waits
    // until the user has dismissed it, or until stopAndWait().
    void reportMissingImage();

private slots:
    // GUI thread: the modal box itself.
    void showMissingImage();

private:
    CUpdatePage *page;
    CTiskarUpdater *wizard;

    // Guards what both threads read and write: whether run() has stored
    // its result, whether a box is awaited, and the setting of `stopping`.
    // The standard library's, which the race checker sees, unlike Qt's.
    std::mutex lock;
    std::condition_variable boxAnswered;
    bool resultStored = false;
    bool boxPending = false;
    // Also read by the transfer, without the lock, at each packet boundary.
    std::atomic<bool> stopping{false};
};
