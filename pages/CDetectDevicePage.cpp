#include "CDetectDevicePage.h"

#include "CTiskarUpdater.h"
#include "DeviceDescriptor.h"
#include "DeviceLog.h"
#include "ITargetAccess.h"
#include "PageWidgets.h"
#include "WizardLog.h"
#include "WizardStatus.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <list>

namespace {

// Above the question, in pixels.
constexpr int kChoiceGap = 5;

} // namespace

CDetectDevicePage::CDetectDevicePage(CTiskarUpdater *owner)
    : QWidget(nullptr)
    , wizard(owner)
{
    mainLayout = makePageLayout(this, "detectDevicePage", kPageSize);
    statusLabel = makePageLabel(this, "statusLabel", tr("Searching for targets on USB bus"), true);
    blankLabel = makePageLabel(this, "blankLabel", QString(), true);
    choiceSpacer = makePageGap(kChoiceGap);
    questionLabel = makePageLabel(this, "questionLabel", tr("Would you like to update the firmware?"), false);

    choiceRow = new QHBoxLayout;
    yesButton = new QRadioButton(tr("Yes"), this);
    yesButton->setObjectName(QStringLiteral("yesButton"));
    noButton = new QRadioButton(tr("No"), this);
    noButton->setObjectName(QStringLiteral("noButton"));

    mainLayout->addWidget(statusLabel);
    mainLayout->addWidget(blankLabel);
    labelChoiceForScreenReaders();

    connect(yesButton, SIGNAL(clicked()), this, SLOT(checkRadioBtn()));
    connect(noButton, SIGNAL(clicked()), this, SLOT(checkRadioBtn()));
}

CDetectDevicePage::~CDetectDevicePage()
{
    // After a failed search the question row and its spacer never joined the
    // page's layout, so nothing else would release them.
    if (!choiceRow->parent()) {
        delete choiceRow;
        delete choiceSpacer;
    }
}

// The buttons keep the page as their parent and their places in the row, so
// no group box can hold them; instead the question labels the first of them
// and describes both, which is what a screen reader announces with each.
void CDetectDevicePage::labelChoiceForScreenReaders()
{
    questionLabel->setBuddy(yesButton);
    for (QRadioButton *button : {yesButton, noButton})
        button->setAccessibleDescription(questionLabel->text());
}

void CDetectDevicePage::searchTargets()
{
    std::list<std::string> paths;
    const int count = wizard->services().targets->findTargets(paths);
    qCInfo(lcWizard) << "search found" << count << (count == 1 ? "board" : "boards");
    if (count <= 0 || paths.empty())
        reportNoBoard();
    else if (count >= 2)
        reportSeveralBoards();
    else
        queryOnlyBoard(paths.front());
}

void CDetectDevicePage::reportNoBoard()
{
    statusLabel->setText(tr("Could not find a connected Velvane projector in service mode.  A flashing amber "
                            "keypad LED indicates the projector is in service mode."));
    wizard->setStatus(WizardStatus::kNoProjector);
}

void CDetectDevicePage::reportSeveralBoards()
{
    // None of them is opened: there is no telling which one the user means.
    statusLabel->setText(tr("Multiple Velvane projectors in service mode have been found."));
    wizard->setStatus(WizardStatus::kSeveralProjectors);
}

void CDetectDevicePage::queryOnlyBoard(const std::string &path)
{
    const std::string name = wizard->services().targets->queryTargetName(path);
    if (name.empty()) {
        qCWarning(lcWizard).noquote() << "the board" << QString::fromLocal8Bit(printableText(path).c_str())
                                      << "gave no name: no projector in service mode";
        // An earlier descriptor stays; the failed status keeps it from use.
        statusLabel->setText(tr("Could not find a connected Velvane projector in service mode."));
        wizard->setStatus(WizardStatus::kNoProjector);
        return;
    }
    // A name is whatever the board sent: escaped, it cannot forge log lines.
    qCInfo(lcWizard).noquote() << "the board" << QString::fromLocal8Bit(printableText(path).c_str())
                               << "answered with the name" << QString::fromLocal8Bit(printableText(name).c_str());
    wizard->setDevice(formatDeviceDescriptor(name, path));
    statusLabel->setText(tr("Found one Velvane projector in service mode."));
    wizard->setStatus(WizardStatus::kSuccess);
}

void CDetectDevicePage::showChoice()
{
    // What the user was told, word for word: support reads it from the record.
    qCInfo(lcWizard).noquote() << "detection shows:" << statusLabel->text();
    if (wizard->getStatus() != WizardStatus::kSuccess) {
        questionLabel->hide();
        yesButton->hide();
        noButton->hide();
        // The user may go back to the instructions and try again.
        wizard->enableButton(CWizardTemplate::kBack, true);
    } else {
        choiceRow->addWidget(yesButton);
        choiceRow->addWidget(noButton);
        yesButton->setChecked(true);
        mainLayout->addItem(choiceSpacer);
        mainLayout->addWidget(questionLabel);
        mainLayout->addLayout(choiceRow);
        mainLayout->addStretch(1);
    }
    activateWindow();
}

void CDetectDevicePage::checkRadioBtn()
{
    qCInfo(lcWizard) << "the user answered" << (noButton->isChecked() ? "No" : "Yes");
    wizard->setStatus(noButton->isChecked() ? WizardStatus::kDeclined : WizardStatus::kSuccess);
}
