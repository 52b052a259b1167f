#pragma once

#include <QDir>
#include <QObject>

class CTiskarUpdater;
class QTimer;
class QWidget;

// Drives the real wizard through its real buttons, as a user who accepts
// every step would: Next on each page (Yes stays chosen on the detection
// page), then Finish, and OK in a message box. On each page it prints the
// texts shown and saves a picture of the window; while the firmware is sent
// it prints the progress bar as it moves.
class CAutopilot : public QObject
{
    Q_OBJECT

public:
    CAutopilot(CTiskarUpdater &wizard, const QDir &pictures);

    // Starts watching the wizard; the pilot presses a button whenever the
    // way forward is open.
    void start();

private slots:
    void step();

private:
    QWidget *pageOnDisplay() const;
    // True when a message box was open: its text is printed and OK pressed.
    bool answerMessageBox();
    void reportPage(QWidget *page);
    void reportProgress(QWidget *page);
    void savePicture(QWidget *page);

    CTiskarUpdater &m_wizard;
    QDir m_pictures;
    QTimer *m_poll;
    QWidget *m_reportedPage = nullptr;
    int m_reportedProgress = -2; // the bar starts at -1, "no value yet"
    int m_pagesReported = 0;
};
