#include "CWizardTemplate.h"

#include "CQueuedInputDrain.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSizePolicy>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {

// Where the page on display sits in the content grid.
constexpr int kPageRow = 0;
constexpr int kPageColumn = 1;
constexpr int kPageRowSpan = 1;
constexpr int kPageColumnSpan = 2;

} // namespace

CWizardTemplate::CWizardTemplate(QWidget *parent)
    : QDialog(parent)
    , status(0)
    , pageCount(0)
    , currentIndex(0)
    , cameBack(false)
{
    // Translated texts are UTF-8 already; no codec needs choosing.
    mainLayout = new QVBoxLayout(this);

    setSizePolicy(QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed));
    setMinimumSize(kWidth, kHeight);
    setMaximumSize(kWidth, kHeight);
    setWindowTitle(tr("Velvane Projector Update Wizard"));
    setWindowIcon(QIcon(QStringLiteral(":/Resources/TiskarUpdater.png")));
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint);

    contentGrid = new QGridLayout;

    sideImage = new QLabel(this);
    sideImage->setObjectName(QStringLiteral("sideImage"));
    sideImage->setPixmap(QPixmap(QStringLiteral(":/Resources/side.PNG")));
    sideImage->setMinimumHeight(kSideImageHeight);
    sideImage->setMaximumHeight(kSideImageHeight);
    contentGrid->addWidget(sideImage, 0, 0, 1, 1);

    separator = new QFrame(this);
    separator->setObjectName(QStringLiteral("separator"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Raised);

    buttonRow = new QHBoxLayout;

    buttons[kBack] = new QPushButton(tr("< Back"), this);
    buttons[kBack]->setObjectName(QStringLiteral("backButton"));
    buttons[kNext] = new QPushButton(tr("Next >"), this);
    buttons[kNext]->setObjectName(QStringLiteral("nextButton"));
    buttons[kCancel] = new QPushButton(tr("Cancel"), this);
    buttons[kCancel]->setObjectName(QStringLiteral("cancelButton"));

    buttonRow->addStretch(1);
    for (QPushButton *button : buttons)
        buttonRow->addWidget(button);

    mainLayout->addLayout(contentGrid);
    mainLayout->addWidget(separator);
    mainLayout->addStretch(1);
    mainLayout->addLayout(buttonRow);

    connect(buttons[kBack], SIGNAL(clicked()), this, SLOT(backButtonClicked()));
    connect(buttons[kNext], SIGNAL(clicked()), this, SLOT(nextButtonClicked()));
    connect(buttons[kCancel], SIGNAL(clicked()), this, SLOT(cancelButtonClicked()));

    // Enter presses the forward button wherever the focus is, except on
    // another button, which Enter presses itself. Without this the dialog
    // would make its first button, Back, the default.
    buttons[kNext]->setDefault(true);
    buttons[kBack]->setEnabled(false);
}

// The pages are children of the dialog and go with it.
CWizardTemplate::~CWizardTemplate() = default;

void CWizardTemplate::enableButton(int index, bool enable)
{
    if (index < 0 || index >= kButtonCount)
        return;
    setButtonEnabled(index, enable);
}

void CWizardTemplate::setButtonEnabled(int index, bool enable)
{
    QPushButton *button = buttons[index];
    const bool becomesUsable = enable && !button->isEnabled();
    button->setEnabled(enable);
    // A disabled button loses the focus; when the way forward opens again,
    // the focus goes there so that Enter and Space continue.
    if (becomesUsable && index == kNext)
        button->setFocus();
}

int CWizardTemplate::getStatus() const
{
    return status.load();
}

void CWizardTemplate::setStatus(int value)
{
    status.store(value);
}

int CWizardTemplate::getCurrentIndex() const
{
    return currentIndex;
}

void CWizardTemplate::initWizard(int count)
{
    pageCount = count;
    pageHistory.append(createPage(0));
    showNewestPage(nullptr);
}

void CWizardTemplate::showNewestPage(QWidget *outgoing)
{
    if (outgoing) {
        outgoing->hide();
        contentGrid->removeWidget(outgoing);
    }
    contentGrid->addWidget(pageHistory.last(), kPageRow, kPageColumn, kPageRowSpan, kPageColumnSpan);
    contentGrid->invalidate();
}

void CWizardTemplate::nextButtonClicked()
{
    if (currentIndex == pageCount - 1) {
        beforeClose();
        reject();
        return;
    }

    QWidget *outgoing = pageHistory.last();
    const bool focusOnOutgoing = outgoing->isAncestorOf(focusWidget());
    if (status.load() != 0)
        currentIndex = kFinishPageIndex;
    else if (!cameBack)
        ++currentIndex;

    pageHistory.append(createPage(currentIndex));
    activatePage(currentIndex);
    showNewestPage(outgoing);
    cameBack = false;
    setButtonsForIndex();
    // Keyboard focus on a page that is hidden now would swallow Enter.
    if (focusOnOutgoing && buttons[kNext]->isEnabled())
        buttons[kNext]->setFocus();
    dropInputGivenMeanwhile();
}

void CWizardTemplate::setButtonsForIndex()
{
    if (currentIndex == 1) {
        buttons[kBack]->setText(tr("Back"));
        setButtonEnabled(kBack, true);
        setButtonEnabled(kNext, true);
    } else if (currentIndex == 2) {
        buttons[kBack]->setText(tr("< Back"));
        setButtonEnabled(kBack, true);
        setButtonEnabled(kNext, true);
    } else if (currentIndex == 3) {
        buttons[kNext]->setEnabled(false);
        buttons[kCancel]->setEnabled(false);
    } else if (currentIndex == pageCount - 1) {
        buttons[kNext]->setText(tr("Finish"));
        buttons[kBack]->setEnabled(false);
        buttons[kCancel]->setEnabled(false);
    }
}

void CWizardTemplate::backButtonClicked()
{
    QWidget *outgoing = pageHistory.takeLast();
    outgoing->hide();
    contentGrid->removeWidget(outgoing);

    pageHistory.append(createPage(currentIndex - 1));
    activatePage(currentIndex - 1);
    showNewestPage(nullptr);
    cameBack = true;
    status.store(0);
    dropInputGivenMeanwhile();
}

void CWizardTemplate::dropInputGivenMeanwhile()
{
    // With every button off (the update page while it runs) there is nothing
    // such input could press, and the work the page has just started must
    // not be seen to end within this slot.
    const auto usable = [](const QPushButton *button) { return button->isEnabled(); };
    if (std::any_of(std::begin(buttons), std::end(buttons), usable))
        CQueuedInputDrain::drain(this);
}

void CWizardTemplate::cancelButtonClicked()
{
    beforeClose();
    reject();
}

bool CWizardTemplate::hasHeightForWidth() const
{
    return false;
}
