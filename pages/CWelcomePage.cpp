#include "CWelcomePage.h"

#include "CTiskarUpdater.h"
#include "PageWidgets.h"

#include <QLabel>
#include <QSizePolicy>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {

constexpr int kMinimumWidth = 250;
constexpr int kMinimumHeight = 250;

// Blank space between the paragraphs (width x height).
constexpr int kSpacerWidth = 40;
constexpr int kParagraphGap = 10;
constexpr int kNoteGap = 120;

QSpacerItem *gap(int height)
{
    return new QSpacerItem(kSpacerWidth, height, QSizePolicy::Expanding, QSizePolicy::Fixed);
}

} // namespace

CWelcomePage::CWelcomePage(CTiskarUpdater *owner)
    : QWidget(nullptr)
    , wizard(owner)
{
    layout = makePageLayout(this, "welcomePage", kMinimumWidth, kMinimumHeight);

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
    layout->addItem(gap(kParagraphGap));
    layout->addWidget(purposeLabel);
    layout->addItem(gap(kParagraphGap));
    layout->addWidget(driverNoteLabel);
    layout->addItem(gap(kNoteGap));
    layout->addWidget(continueLabel);
    layout->addWidget(exitLabel);
}

void CWelcomePage::enterPage()
{
    wizard->enableButton(CWizardTemplate::kBack, false);
    activateWindow();
}
