#pragma once

#include <QWidget>

class CTiskarUpdater;
class QLabel;
class QVBoxLayout;

// Page 0: greeting, purpose, and the note about the driver installation at
// the projector's first connection.
class CWelcomePage : public QWidget
{
    Q_OBJECT

public:
    explicit CWelcomePage(CTiskarUpdater *owner);

    // Entry action: Back is disabled, the window made active.
    void enterPage();

private:
    CTiskarUpdater *wizard;
    QVBoxLayout *layout;
    QLabel *welcomeLabel;
    QLabel *purposeLabel;
    QLabel *driverNoteLabel;
    QLabel *continueLabel;
    QLabel *exitLabel;
};
