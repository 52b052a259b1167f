#pragma once

#include <QWidget>

class CTiskarUpdater;
class QLabel;
class QVBoxLayout;

// Page 2: will look for the projector and ask whether to update it. For now
// it only says so.
class CDetectDevicePage : public QWidget
{
    Q_OBJECT

public:
    explicit CDetectDevicePage(CTiskarUpdater *wizard);

    // Entry actions, in this order; they do nothing yet.
    void searchTargets();
    void showChoice();

private:
    CTiskarUpdater *wizard;
    QVBoxLayout *mainLayout;
    QLabel *statusLabel;
};
