#pragma once

#include <QWidget>

class CTiskarUpdater;
class QLabel;
class QVBoxLayout;

// Page 3: will run the firmware transfer. For now it only says so.
class CUpdatePage : public QWidget
{
    Q_OBJECT

public:
    explicit CUpdatePage(CTiskarUpdater *wizard);

    // Entry action; does nothing yet.
    void startUpdate();

private:
    CTiskarUpdater *wizard;
    QVBoxLayout *layout;
    QLabel *statusLabel;
};
