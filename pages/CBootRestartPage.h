#pragma once

#include <QWidget>

class CTiskarUpdater;
class QLabel;
class QVBoxLayout;

// Page 1: the keypad procedure that restarts the projector in service mode.
class CBootRestartPage : public QWidget
{
    Q_OBJECT

public:
    explicit CBootRestartPage(CTiskarUpdater *owner);

    // Entry action: Back is disabled when the page was reached by Back from a
    // later page; the window made active.
    void enterPage();

private:
    CTiskarUpdater *wizard;
    QVBoxLayout *layout;
    QLabel *powerOffLabel;
    QLabel *resetLabel;
    QLabel *connectLabel;
    QLabel *holdUpLabel;
    QLabel *holdStandbyLabel;
    QLabel *releaseLabel;
    QLabel *retryLabel;
    QLabel *continueLabel;
};
