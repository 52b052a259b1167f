#pragma once

#include <QWidget>

#include <string>

class CTiskarUpdater;
class QHBoxLayout;
class QLabel;
class QRadioButton;
class QSpacerItem;
class QVBoxLayout;

// Page 2: looks for projector boards, asks a single one for its name, says
// what it found, and asks whether to update. The outcome goes to the wizard
// as its status and, for one answering board, as the selected device.
//
// Page layout (mainLayout, top to bottom):
//   statusLabel, blankLabel                       from construction on
//   choiceSpacer, questionLabel, choiceRow        only when one board
//     (yesButton, noButton), stretch              answered
class CDetectDevicePage : public QWidget
{
    Q_OBJECT

public:
    explicit CDetectDevicePage(CTiskarUpdater *owner);
    ~CDetectDevicePage() override;

    // Entry actions, in this order. searchTargets blocks for about one
    // second when exactly one board is present.
    void searchTargets();
    void showChoice();

private slots:
    void checkRadioBtn();

private:
    void labelChoiceForScreenReaders();
    // The outcomes of the search, one per count of boards.
    void reportNoBoard();
    void reportSeveralBoards();
    void queryOnlyBoard(const std::string &path);

    CTiskarUpdater *wizard;
    QVBoxLayout *mainLayout;
    QLabel *statusLabel;
    QLabel *blankLabel;
    QLabel *questionLabel;
    QRadioButton *yesButton;
    QRadioButton *noButton;
    QSpacerItem *choiceSpacer;
    QHBoxLayout *choiceRow;
};
