#include "CBootRestartPage.h"

#include "CTiskarUpdater.h"
#include "PageWidgets.h"

#include <QLabel>
#include <QVBoxLayout>

CBootRestartPage::CBootRestartPage(CTiskarUpdater *owner)
    : QWidget(nullptr)
    , wizard(owner)
{
    layout = makePageLayout(this, "bootRestartPage", kTextPageSize);

    powerOffLabel = makePageLabel(this, "powerOffLabel",
                                  tr("1. Use the power button to turn the Velvane projector off."), true);
    resetLabel = makePageLabel(this, "resetLabel",
                               tr("2. Reset the Velvane projector by unplugging it from the wall socket, and "
                                  "plugging it back in."),
                               true);
    connectLabel = makePageLabel(
        this, "connectLabel",
        tr("3. Connect the computer to the USB receptacle on the extended connection panel."), true);
    holdUpLabel = makePageLabel(this, "holdUpLabel",
                                tr("4. Press and hold the \"Up\" key on the projector's keypad."), true);
    holdStandbyLabel = makePageLabel(this, "holdStandbyLabel",
                                     tr("5. Press and hold the \"Standby\" key on the projector's keypad until "
                                        "the keypad LED flashes amber."),
                                     true);
    releaseLabel = makePageLabel(this, "releaseLabel",
                                 tr("6. Release the \"Standby\" key and then the \"Up\" key."), true);
    retryLabel = makePageLabel(this, "retryLabel",
                               tr("If the keypad LED is not flashing amber, restart at step 2."), true);
    continueLabel = makePageLabel(this, "continueLabel", tr("Press Next to continue."), false);

    for (QLabel *label : {powerOffLabel, resetLabel, connectLabel, holdUpLabel, holdStandbyLabel, releaseLabel,
                          retryLabel, continueLabel})
        layout->addWidget(label);
    layout->addStretch(1);
}

void CBootRestartPage::enterPage()
{
    // Reached by Back from the detection page: the user may only go forward.
    if (wizard->getCurrentIndex() > CTiskarUpdater::kBootRestart)
        wizard->enableButton(CWizardTemplate::kBack, false);
    activateWindow();
}
