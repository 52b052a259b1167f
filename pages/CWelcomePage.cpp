#include "CWelcomePage.h"

#include "CTiskarUpdater.h"
#include "PageWidgets.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

// Blank space between the paragraphs, in pixels.
constexpr int kParagraphGap = 10;
constexpr int kNoteGap = 120;

} // namespace

CWelcomePage::CWelcomePage(CTiskarUpdater *owner)
    : QWidget(nullptr)
    , wizard(owner)
{
    layout = makePageLayout(this, "welcomePage", kPageSize);

    welcomeLabel = makePageLabel(this, "welcomeLabel", tr("Welcome to the Velvane Projector Update Wizard."), true);
    purposeLabel = makePageLabel(this, "purposeLabel",
                                 tr("Use this wizard to update the firmware in a Velvane projector."), true);
    driverNoteLabel = makePageLabel(this, "driverNoteLabel",
                                    tr("NOTE: The first time you connect the projector, the \"New Hardware Wizard\" "
                                       "will run.  Use the wizard to install the Parvel board driver.  The wizard "
                                       "will find this driver automatically."),
                                    true);
    continueLabel = makePageLabel(this, "continueLabel", tr("Press Next to continue."), false);
    exitLabel = makePageLabel(this, "exitLabel", tr("To exit, press Cancel. "), false);

    layout->addWidget(welcomeLabel);
    layout->addItem(makePageGap(kParagraphGap));
    layout->addWidget(purposeLabel);
    layout->addItem(makePageGap(kParagraphGap));
    layout->addWidget(driverNoteLabel);
    layout->addItem(makePageGap(kNoteGap));
    layout->addWidget(continueLabel);
    layout->addWidget(exitLabel);
}

void CWelcomePage::enterPage()
{
    wizard->enableButton(CWizardTemplate::kBack, false);
    activateWindow();
}
