#include "CBurnFirmwareThread.h"

#include "CCheckedFirmwareImage.h"
#include "CSleepInhibitor.h"
#include "CTiskarUpdater.h"
#include "CUpdatePage.h"
#include "FirmwareDownload.h"
#include "WizardStatus.h"

#include <QMessageBox>
#include <QPointer>

static_assert(kBurnSucceeded == WizardStatus::kSuccess && kBurnFailed == WizardStatus::kFailed,
              "run() stores burnFirmware's result as the wizard's status");

// QThread::wait() returns only after run() has ended, but through Qt's own
// synchronisation, which the race checker cannot see: Qt is not built for
// it. These two tell it that one order; in other builds they are nothing.
// clang-format off
#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
static void raceCheckerRelease(void *thread) { __tsan_release(thread); }
static void raceCheckerAcquire(void *thread) { __tsan_acquire(thread); }
#else
static void raceCheckerRelease(void *) {}
static void raceCheckerAcquire(void *) {}
#endif
// clang-format on

CBurnFirmwareThread::CBurnFirmwareThread(CUpdatePage *owner, CTiskarUpdater *updater)
    : QThread(nullptr)
    , page(owner)
    , wizard(updater)
{
}

CBurnFirmwareThread::~CBurnFirmwareThread()
{
    stopAndWait();
}

// How the two threads meet. The page and the wizard are set before start(),
// and the GUI thread lets them go only after QThread::wait(). In between:
// - the status is stored once under `lock`: by run(), or by the time limit
//   while run() has not stored its own;
// - `stopping` ends the transfer at its next packet boundary;
// - "File not found" is shown by the GUI thread while the burn thread waits
//   for its answer. Once stopping, no box is shown or waited for: the GUI
//   thread may be blocked in wait(), or the box may go with the wizard.

void CBurnFirmwareThread::run()
{
    const std::string descriptor = wizard->getDevice();
    int result;
    {
        // However the transfer ends, the computer may sleep again after it.
        const CSleepInhibitor awake;
        result = burnFirmware(descriptor);
    }
    {
        const std::lock_guard<std::mutex> locked(lock);
        wizard->setStatus(result);
        resultStored = true;
    }
    raceCheckerRelease(this);
}

void CBurnFirmwareThread::failIfStillRunning()
{
    const std::lock_guard<std::mutex> locked(lock);
    if (!resultStored)
        wizard->setStatus(WizardStatus::kFailed);
}

void CBurnFirmwareThread::stopAndWait()
{
    {
        const std::lock_guard<std::mutex> locked(lock);
        stopping = true;
    }
    boxAnswered.notify_all();
    wait();
    raceCheckerAcquire(this);
}

void CBurnFirmwareThread::reportMissingImage()
{
    std::unique_lock<std::mutex> locked(lock);
    if (stopping)
        return;
    boxPending = true;
    // This object lives in the GUI thread, so the call runs there; if the
    // object goes first, the pending call goes with it. By name, so that Qt
    // alone carries the call across: no object of ours is made here to be
    // read there.
    QMetaObject::invokeMethod(this, "showMissingImage", Qt::QueuedConnection);
    boxAnswered.wait(locked, [this] { return !boxPending || stopping; });
}

void CBurnFirmwareThread::showMissingImage()
{
    // On the heap and guarded: if the wizard goes while the box is open, the
    // box, the page and this object go with it and exec() returns.
    const QPointer<CBurnFirmwareThread> self(this);
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::NoIcon, page->window()->windowTitle(),
                                                tr("File not found"), QMessageBox::Ok, page->window());
    box->setObjectName(QStringLiteral("missingImageBox"));
    box->exec();
    delete box;
    if (!self)
        return;
    {
        const std::lock_guard<std::mutex> locked(lock);
        boxPending = false;
    }
    boxAnswered.notify_all();
}

int CBurnFirmwareThread::burnFirmware(std::string descriptor)
{
    return withContext([&](const DownloadContext &context) { return ::burnFirmware(descriptor, context); },
                       kBurnFailed);
}

int CBurnFirmwareThread::downloadImage(uint32_t handle)
{
    return withContext([&](const DownloadContext &context) { return ::downloadImage(handle, context); },
                       kDownloadRefused);
}

int CBurnFirmwareThread::withContext(const std::function<int(const DownloadContext &)> &step, int failure)
{
    const DeviceServices &services = wizard->services();
    if (!services.transport || !services.firmware)
        return failure;
    // An image whose bytes no longer have the digest recorded at build time
    // counts as not found: it is never sent.
    CCheckedFirmwareImage image(*services.firmware, services.firmwareSha256);
    const DownloadContext context{*services.transport, image, [this] { reportMissingImage(); },
                                  [this] { return stopping.load(); }};
    return step(context);
}
