#pragma once

#include <QDialog>
#include <QList>

#include <atomic>

class QFrame;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

// A generic wizard dialog: side image, page area, separator and the Back,
// Next and Cancel buttons. It owns the navigation rules and the wizard-wide
// outcome code; a subclass supplies the pages through three hooks.
//
// Window layout (the dialog's main layout, top to bottom):
//
//   contentGrid  row 0: sideImage in column 0, the page on display in
//                columns 1-2
//   separator    horizontal raised line
//   stretch      factor 1
//   buttonRow    stretch, then buttons[kBack], buttons[kNext], buttons[kCancel]
class CWizardTemplate : public QDialog
{
    Q_OBJECT

public:
    // Button indices for enableButton; also their order in the row.
    static constexpr int kBack = 0;
    static constexpr int kNext = 1;
    static constexpr int kCancel = 2;
    static constexpr int kButtonCount = 3;

    // The page Next jumps to whenever the status is not 0.
    static constexpr int kFinishPageIndex = 4;

    static constexpr int kWidth = 450;
    static constexpr int kHeight = 350;
    static constexpr int kSideImageHeight = 280;

    explicit CWizardTemplate(QWidget *parent = nullptr);
    ~CWizardTemplate() override;

    // Enables or disables Back (0), Next (1) or Cancel (2); any other index
    // does nothing.
    void enableButton(int index, bool enable);

    // The wizard's outcome code. Written by the GUI thread and, once, by the
    // update page's worker thread, hence atomic. No range check.
    int getStatus() const;
    void setStatus(int value);

    // The index reached by the last Next; Back does not lower it.
    int getCurrentIndex() const;

    // The window's size is fixed, so its height never follows its width,
    // whatever its word-wrapped texts would ask for.
    bool hasHeightForWidth() const override;

protected:
    // Records the page count and puts page 0 on display without running its
    // activation. Called once by the subclass's constructor.
    void initWizard(int pageCount);

    // A new page widget for the index, created without a parent.
    virtual QWidget *createPage(int index) = 0;
    // The entry action of the page just created for the index; runs before
    // the page is on display.
    virtual void activatePage(int index) = 0;
    // Last work before Finish or Cancel reject the dialog.
    virtual void beforeClose() = 0;

private slots:
    void backButtonClicked();
    void nextButtonClicked();
    void cancelButtonClicked();

private:
    // Hides and removes the outgoing page, if any, and places the newest
    // entry of pageHistory in the page area.
    void showNewestPage(QWidget *outgoing);
    // Enables or disables one button; Next takes the focus when it becomes
    // usable again.
    void setButtonEnabled(int index, bool enable);
    // Button labels and states after Next reached currentIndex.
    void setButtonsForIndex();
    // Drops the clicks and keys that came while the new page was being
    // prepared (CQueuedInputDrain): they were meant for the page before.
    void dropInputGivenMeanwhile();

    std::atomic<int> status;
    QVBoxLayout *mainLayout;
    QGridLayout *contentGrid;
    QHBoxLayout *buttonRow;
    QLabel *sideImage;
    QFrame *separator;
    QPushButton *buttons[kButtonCount];
    QList<QWidget *> pageHistory;
    int pageCount;
    int currentIndex;
    bool cameBack;
};
