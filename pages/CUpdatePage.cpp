#include "CUpdatePage.h"

#include "CBurnFirmwareThread.h"
#include "CTiskarUpdater.h"
#include "PageWidgets.h"
#include "WizardLog.h"
#include "WizardStatus.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Page layout, one fixed vertical box, top to bottom:
//
//   stretch 1
//   statusLabel     "Updating the firmware ..." / "... is complete."
//   gap             kBarGap high
//   progressBar     at least kBarMinimumWidth wide
//   gap             kFailureGap high
//   failureLabel    hidden unless the update failed
//   gap             kContinueGap high
//   continueLabel   hidden until the outcome is known
//   stretch 1
constexpr int kBarMinimumWidth = 250;
constexpr int kBarGap = 10;
constexpr int kFailureGap = 30;
constexpr int kContinueGap = 60;

} // namespace

CUpdatePage::CUpdatePage(CTiskarUpdater *owner)
    : QWidget(nullptr)
    , wizard(owner)
    , tickCount(0)
    , timer(nullptr)
{
    mainLayout = makePageLayout(this, "updatePage", kPageSize);
    statusLabel = makePageLabel(this, "statusLabel", tr("Updating the firmware in the Velvane projector..."), false);
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setMinimumWidth(kBarMinimumWidth);
    progressBar->setAccessibleName(tr("Firmware update progress"));
    failureLabel = makePageLabel(this, "failureLabel", tr("The firmwware update has failed."), false);
    continueLabel = makePageLabel(this, "continueLabel", tr("Press Next to continue."), false);

    mainLayout->addStretch(1);
    mainLayout->addWidget(statusLabel);
    mainLayout->addItem(makePageGap(kBarGap));
    mainLayout->addWidget(progressBar);
    mainLayout->addItem(makePageGap(kFailureGap));
    mainLayout->addWidget(failureLabel);
    mainLayout->addItem(makePageGap(kContinueGap));
    mainLayout->addWidget(continueLabel);
    mainLayout->addStretch(1);

    failureLabel->hide();
    continueLabel->hide();
    wizard->enableButton(CWizardTemplate::kBack, false);
}

// The timer is a child and goes with the page; the worker is stopped and
// waited for.
CUpdatePage::~CUpdatePage()
{
    abandonUpdate();
}

void CUpdatePage::startUpdate()
{
    timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("progressTimer"));
    connect(timer, SIGNAL(timeout()), this, SLOT(updateProgressBar()));
    timer->start(kTickIntervalMs);

    burnThread = std::make_unique<CBurnFirmwareThread>(this, wizard);
    wizard->enableButton(CWizardTemplate::kNext, false);
    wizard->installEventFilter(this);

    // Queued, as it would be anyway across the threads. Said here, Qt looks
    // the signal up now, on this thread, rather than as the burn thread
    // ends, after the last point at which the race checker is told of
    // QThread::wait()'s order (see CBurnFirmwareThread.cpp).
    connect(burnThread.get(), SIGNAL(finished()), this, SLOT(afterUpdating()), Qt::QueuedConnection);
    burnThread->start();
}

void CUpdatePage::abandonUpdate()
{
    if (burnThread)
        burnThread->stopAndWait();
}

void CUpdatePage::updateProgressBar()
{
    ++tickCount;
    // Beyond its maximum the bar keeps its value: it stays full from the
    // 100th tick on.
    progressBar->setValue(tickCount);
    if (tickCount == kTickLimit) {
        // The worker is not stopped; when it ends, its result is shown again.
        // A worker that has already ended keeps its result.
        qCWarning(lcWizard) << "time limit of" << kTickLimit * kTickIntervalMs / 1000
                            << "s reached; the transfer goes on while the window stays open";
        burnThread->failIfStillRunning();
        afterUpdating();
    }
}

void CUpdatePage::afterUpdating()
{
    if (timer)
        timer->stop();
    progressBar->setValue(progressBar->maximum());

    const int status = wizard->getStatus();
    if (status == WizardStatus::kSuccess) {
        statusLabel->setText(tr("The firmware update is complete."));
        failureLabel->hide();
    } else {
        failureLabel->setText(failureText(status));
        failureLabel->show();
    }
    continueLabel->show();

    wizard->enableButton(CWizardTemplate::kNext, true);
    wizard->enableButton(CWizardTemplate::kCancel, true);
    wizard->enableButton(CWizardTemplate::kBack, false);
    window()->activateWindow();
}

QString CUpdatePage::failureText(int status) const
{
    switch (status) {
    case WizardStatus::kNotDownloaded:
        return tr("Failed to download image file to the board.");
    case WizardStatus::kDownloadChecksum:
        return tr("Failed to download the image file to the board. The checksum returned doesn't match the "
                  "original one.");
    case WizardStatus::kFlashChecksum:
        return tr("Failed to update the firmware. The flash checksum doesn't match with the original one.");
    default:
        return tr("Firmware update failed.");
    }
}

// Closing the wizard under a running worker would destroy it mid-transfer:
// close requests and Escape (which rejects the dialog) are refused until it
// ends. Finish and Cancel close the dialog without a close event; the
// wizard then waits for the worker before it goes away.
bool CUpdatePage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == wizard && burnThread && burnThread->isRunning()) {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
