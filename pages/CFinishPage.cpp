#include "CFinishPage.h"

#include "CTiskarUpdater.h"
#include "PageWidgets.h"
#include "WizardLog.h"
#include "WizardStatus.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

// Shown for a status that has no message of its own: the plain failure.
constexpr int kFallbackMessage = WizardStatus::kFailed;

} // namespace

CFinishPage::CFinishPage(CTiskarUpdater *owner)
    : QWidget(nullptr)
    , wizard(owner)
{
    layout = makePageLayout(this, "finishPage", kTextPageSize);

    messageLabel = makePageLabel(this, "messageLabel", QString(), true);
    closingLabel = makePageLabel(this, "closingLabel", tr("To close this wizard, press Finish."), false);

    layout->addWidget(messageLabel);
    layout->addStretch(1);
    layout->addWidget(closingLabel);

    messages << tr("The Velvane projector firmware update is complete.\n\nReset the projector by unplugging it "
                   "and plugging it back in.\n\nDisconnect the USB cable from extended connection panel.")
             << tr("Could not update the Velvane projector's firmware. ")
             << tr("Could not update the Velvane projector's firmware. No projector found.")
             << tr("Could not update the Velvane projector's firmware. Found more than one projector.")
             << tr("Could not update the Velvane projector's firmware. The firmware was not downloaded to the "
                   "projector")
             << tr("Could not update the Velvane projector's firmware. Firmware download checksum failure")
             << tr("Could not update the Velvane projector's firmware. Firmware flash checksum failure")
             << tr("Could not update the Velvane projector's firmware.\n\nReset the projector by unplugging it "
                   "and plugging it back in.");
}

void CFinishPage::enterPage()
{
    int status = wizard->getStatus();
    if (status < 0 || status >= messages.size())
        status = kFallbackMessage;
    messageLabel->setText(messages.at(status));
    qCInfo(lcWizard) << "outcome shown:" << status;
}
