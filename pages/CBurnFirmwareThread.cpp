#include "CBurnFirmwareThread.h"

#include "CCheckedFirmwareImage.h"
#include "CSleepInhibitor.h"
#include "CTiskarUpdater.h"
#include "CUpdatePage.h"
#include "FirmwareDownload.h"
#include "WizardStatus.h"

#include <QMessageBox>
#include <QMutexLocker>
#include <QPointer>

static_assert(kBurnSucceeded == WizardStatus::kSuccess && kBurnFailed == WizardStatus::kFailed,
              "run() stores burnFirmware's result as the wizard's status");

CBurnFirmwareThread::CBurnFirmwareThread(CUpdatePage *owner, CTiskarUpdater *updater)
    : QThread(nullptr)
    , page(owner)
    , wizard(updater)
{
}

CBurnFirmwareThread::~CBurnFirmwareThread()
{
    abandonReports();
    waitForEnd();
}

void CBurnFirmwareThread::waitForEnd()
{
    wait();
    const std::lock_guard<std::mutex> ended(endLock);
}

void CBurnFirmwareThread::run()
{
    // Connected here, after every receiver the owner connected before
    // start(), so that it runs once Qt has delivered finished() to them.
    connect(
        this, &QThread::finished, this, [this] { const std::lock_guard<std::mutex> ending(endLock); },
        Qt::DirectConnection);
    const std::string descriptor = wizard->getDevice();
    int result;
    {
        // However the transfer ends, the computer may sleep again after it.
        const CSleepInhibitor awake;
        result = burnFirmware(descriptor);
    }
    QMutexLocker lock(&resultLock);
    wizard->setStatus(result);
    resultStored = true;
}

void CBurnFirmwareThread::requestStop()
{
    stopping = true;
}

void CBurnFirmwareThread::failIfStillRunning()
{
    QMutexLocker lock(&resultLock);
    if (!resultStored)
        wizard->setStatus(WizardStatus::kFailed);
}

int CBurnFirmwareThread::burnFirmware(std::string descriptor)
{
    return withContext([&](const DownloadContext &context) { return ::burnFirmware(descriptor, context); },
                       WizardStatus::kFailed);
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

void CBurnFirmwareThread::abandonReports()
{
    {
        QMutexLocker lock(&reportLock);
        reportsAbandoned = true;
    }
    // Frees a report that is already waiting for its box.
    reportDismissed.release();
}

void CBurnFirmwareThread::reportMissingImage()
{
    {
        QMutexLocker lock(&reportLock);
        if (reportsAbandoned)
            return;
        // This object lives in the GUI thread, so the call runs there; if
        // the object goes first, the pending call goes with it. By name, so
        // that Qt alone carries the call across: no object of ours is made
        // here to be read there.
        QMetaObject::invokeMethod(this, "showMissingImage", Qt::QueuedConnection);
    }
    reportDismissed.acquire();
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
    if (self)
        reportDismissed.release();
}
