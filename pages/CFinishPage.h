#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class CTiskarUpdater;
class QLabel;
class QVBoxLayout;

// Page 4: the outcome message for the wizard's status and how to leave.
class CFinishPage : public QWidget
{
    Q_OBJECT

public:
    explicit CFinishPage(CTiskarUpdater *owner);

    // Entry action: shows the message for the status held at this moment.
    void enterPage();

private:
    CTiskarUpdater *wizard;
    QVBoxLayout *layout;
    QLabel *messageLabel;
    QLabel *closingLabel;
    // Position = status.
    QList<QString> messages;
};
