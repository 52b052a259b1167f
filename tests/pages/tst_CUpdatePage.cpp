#include "CCheckedFirmwareImage.h"
#include "CFinishPage.h"
#include "CTiskarUpdater.h"
#include "CUpdatePage.h"
#include "CGatedTransport.h"
#include "CLogindStandIn.h"
#include "HexDiff.h"
#include "CMemoryFirmwareImage.h"
#include "QtCompat.h"
#include "CRecordingTransport.h"
#include "CScriptedTargetAccess.h"
#include "WizardControls.h"
#include "WizardStatus.h"
#include "WizardTexts.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

const std::string kBoardPath = "/dev/parvel/board0";
constexpr std::size_t kImageSize = 3000;
constexpr int kReplyPatienceMs = 20000; // the test opens the gate long before
constexpr int kShortPatienceMs = 300;   // nobody opens the gate: the line times out

// One board that answers the identity query, a scripted transport behind a
// gate, an in-memory image, and the real wizard on top. The wizard goes
// first, so a transfer still running ends before its transport goes.
struct CUpdateRig
{
    explicit CUpdateRig(int patienceMs = kReplyPatienceMs)
        : gated(board, patienceMs)
        , image(CMemoryFirmwareImage::patternBytes(kImageSize, 7))
        , digest(firmwareSha256(image.bytes.data(), image.bytes.size()))
    {
        boards.paths = {kBoardPath};
        boards.names[kBoardPath] = "PJ-7";
    }

    // Welcome, instructions, detection (one board, "Yes"), then the update
    // page, whose transfer starts on entry. No event is processed on the
    // way, so the page's own timer has not ticked yet.
    void walkToUpdate()
    {
        wizard = std::make_unique<CTiskarUpdater>(DeviceServices{&boards, &gated, &image, digest.c_str()});
        wizard->show();
        for (int i = 0; i < 3; ++i)
            pressWizardButton(*wizard, "nextButton");
        page = wizard->getUpdatePage();
        QVERIFY(page);
    }

    void tick(int times)
    {
        for (int i = 0; i < times; ++i)
            QVERIFY(QMetaObject::invokeMethod(page, "updateProgressBar"));
    }

    QLabel *label(const char *name) { return namedChild<QLabel>(*page, name); }
    // Shown as far as the page decides: the wizard may show another page.
    bool shown(const char *name) { return label(name)->isVisibleTo(page); }
    QProgressBar *bar() { return namedChild<QProgressBar>(*page, "progressBar"); }
    QTimer *timer() { return namedChild<QTimer>(*page, "progressTimer"); }
    QPushButton *button(const char *name) { return wizardButton(*wizard, name); }
    QString finishMessage() { return labelsInLayoutOrder(*wizard->getFinishPage()).first()->text(); }

    // The page after an outcome: bar full, clock stopped, texts by the
    // status, only Next and Cancel usable.
    void verifyOutcome(const QString &statusText, bool failureShown)
    {
        QVERIFY(!timer()->isActive());
        QCOMPARE(bar()->value(), 100);
        QCOMPARE(label("statusLabel")->text(), statusText);
        QCOMPARE(shown("failureLabel"), failureShown);
        if (failureShown)
            QCOMPARE(label("failureLabel")->text(), kUpdateFailed);
        QVERIFY(shown("continueLabel"));
        QVERIFY(!button("backButton")->isEnabled());
        QVERIFY(button("nextButton")->isEnabled());
        QVERIFY(button("cancelButton")->isEnabled());
    }

    CScriptedTargetAccess boards;
    CRecordingTransport board;
    CGatedTransport gated;
    CMemoryFirmwareImage image;
    std::string digest; // recorded for the image as it was made
    std::unique_ptr<CTiskarUpdater> wizard;
    CUpdatePage *page = nullptr;
};

} // namespace

class TestCUpdatePage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void constructedState();
    void outcome_data();
    void outcome();
    void barCountsTicks_data();
    void barCountsTicks();
    void lateEndAfterTimeLimit_data();
    void lateEndAfterTimeLimit();
    void closingRefusedWhileRunning_data();
    void closingRefusedWhileRunning();
    void leavingAfterTimeLimitWaitsForTransfer_data();
    void leavingAfterTimeLimitWaitsForTransfer();
    void missingImage_data();
    void missingImage();
    void sleepInhibitedDuringTransfer_data();
    void sleepInhibitedDuringTransfer();

private:
    // Every test here runs on it, logind only where a row asks for it.
    CLogindStandIn logind;
};

void TestCUpdatePage::initTestCase()
{
    QVERIFY2(logind.startBus(), "no private system bus (dbus-daemon and setpriv, see tools/setup-deps)");
}

void TestCUpdatePage::init()
{
    compat::failOnWarning(QRegularExpression(QStringLiteral("QThread|QObject|QWidget|QBasicTimer")));
}

void TestCUpdatePage::constructedState()
{
    CScriptedTargetAccess boards;
    CTiskarUpdater wizard(DeviceServices{&boards, nullptr, nullptr});
    wizard.enableButton(CWizardTemplate::kBack, true);
    CUpdatePage page(&wizard);
    page.show();

    QList<QLabel *> labels = labelsInLayoutOrder(page);
    QCOMPARE(labels.size(), 3);
    QCOMPARE(labels[0]->text(), kUpdating);
    QVERIFY(labels[0]->isVisible());
    QCOMPARE(labels[1]->text(), QStringLiteral("The firmwware update has failed."));
    QVERIFY(labels[1]->isHidden());
    QCOMPARE(labels[2]->text(), kPressNext);
    QVERIFY(labels[2]->isHidden());

    auto *bar = namedChild<QProgressBar>(page, "progressBar");
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QVERIFY(bar->value() < bar->minimum()); // empty, not even at 0
    QVERIFY(bar->minimumWidth() >= 250);

    QVERIFY(!page.findChild<QTimer *>());
    QVERIFY(!wizardButton(wizard, "backButton")->isEnabled());
}

// One row per way the transfer can end before the time limit.
void TestCUpdatePage::outcome_data()
{
    QTest::addColumn<int>("openResult");
    QTest::addColumn<int>("refusePacket");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("finishMessage");
    // The transfer has ended, but the time limit comes before the page has
    // seen the end.
    QTest::addColumn<bool>("limitBeforeEndSeen");

    using namespace WizardStatus;
    QTest::newRow("board confirms the image") << 0 << 0 << kSuccess << kFinishMessages[0] << false;
    QTest::newRow("board refuses the second packet") << 0 << 2 << kFailed << kFinishMessages[1] << false;
    QTest::newRow("board cannot be opened") << 1 << 0 << kFailed << kFinishMessages[1] << false;
    QTest::newRow("confirmed, limit before the end is seen") << 0 << 0 << kSuccess << kFinishMessages[0] << true;
}

void TestCUpdatePage::outcome()
{
    QFETCH(int, openResult);
    QFETCH(int, refusePacket);
    QFETCH(int, status);
    QFETCH(bool, limitBeforeEndSeen);

    CUpdateRig rig;
    rig.board.openResult = openResult;
    rig.board.refusePacket = refusePacket;
    rig.board.largestPacket = 16 + 1024; // three packets
    for (int reply = 0; reply < 3; ++reply)
        rig.gated.open();
    rig.walkToUpdate();

    // While it runs: no button is usable.
    QVERIFY(!rig.button("backButton")->isEnabled());
    QVERIFY(!rig.button("nextButton")->isEnabled());
    QVERIFY(!rig.button("cancelButton")->isEnabled());
    QVERIFY(rig.timer()->isActive());
    QCOMPARE(rig.timer()->interval(), 1200);

    if (limitBeforeEndSeen) {
        // Waits without running the event loop, so the end is not seen yet.
        QDeadlineTimer patience(kReplyPatienceMs);
        while (!rig.gated.closingThread && !patience.hasExpired())
            QThread::msleep(1);
        QVERIFY(rig.gated.closingThread);
        QVERIFY(rig.gated.closingThread.load()->wait(kReplyPatienceMs));
        rig.tick(CUpdatePage::kTickLimit);
    }
    QTRY_VERIFY(rig.shown("continueLabel"));
    QCOMPARE(bool(rig.gated.closed), openResult == 0);
    QTEST(rig.wizard->getStatus(), "status");
    rig.verifyOutcome(status == 0 ? kUpdateComplete : kUpdating, status != 0);
    if (status == 0)
        QVERIFY2(rig.board.received == rig.image.bytes, hexDiff(rig.image.bytes, rig.board.received).c_str());

    pressWizardButton(*rig.wizard, "nextButton");
    QCOMPARE(rig.wizard->getCurrentIndex(), 4);
    QTEST(rig.finishMessage(), "finishMessage");
}

// The bar is a clock: one step a tick, full from the 100th tick on, and
// nothing else changes before the limit.
void TestCUpdatePage::barCountsTicks_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("value");

    QTest::newRow("1 tick") << 1 << 1;
    QTest::newRow("100 ticks") << 100 << 100;
    QTest::newRow("101 ticks") << 101 << 100;
    QTest::newRow("159 ticks") << 159 << 100;
}

void TestCUpdatePage::barCountsTicks()
{
    QFETCH(int, ticks);

    CUpdateRig rig;
    rig.walkToUpdate();
    rig.tick(ticks);

    QTEST(rig.bar()->value(), "value");
    QVERIFY(rig.timer()->isActive());
    QCOMPARE(rig.wizard->getStatus(), WizardStatus::kSuccess);
    QCOMPARE(rig.label("statusLabel")->text(), kUpdating);
    QVERIFY(!rig.shown("failureLabel"));
    QVERIFY(!rig.shown("continueLabel"));
    QVERIFY(!rig.button("nextButton")->isEnabled());

    // The end fills the bar from wherever it stood.
    rig.gated.open();
    QTRY_VERIFY(rig.shown("continueLabel"));
    rig.verifyOutcome(kUpdateComplete, false);
}

// At the limit the page gives up with status 1; a transfer that ends later
// still has the last word on the status and the texts, whatever page the
// wizard shows by then.
void TestCUpdatePage::lateEndAfterTimeLimit_data()
{
    QTest::addColumn<int>("refusePacket");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<bool>("failureShown");

    QTest::newRow("late success") << 0 << WizardStatus::kSuccess << kUpdateComplete << false;
    QTest::newRow("late failure") << 1 << WizardStatus::kFailed << kUpdating << true;
}

void TestCUpdatePage::lateEndAfterTimeLimit()
{
    QFETCH(int, refusePacket);
    QFETCH(QString, statusText);
    QFETCH(bool, failureShown);

    CUpdateRig rig;
    rig.board.refusePacket = refusePacket;
    rig.walkToUpdate();
    rig.tick(CUpdatePage::kTickLimit);

    QCOMPARE(rig.wizard->getStatus(), WizardStatus::kFailed);
    rig.verifyOutcome(kUpdating, true);
    QVERIFY(!rig.gated.closed);

    pressWizardButton(*rig.wizard, "nextButton");
    QCOMPARE(rig.wizard->getCurrentIndex(), 4);
    QCOMPARE(rig.finishMessage(), kFinishMessages[1]);
    QVERIFY(!rig.button("cancelButton")->isEnabled());

    // The second outcome re-enables Cancel, even on the finish page.
    rig.gated.open();
    QTRY_VERIFY(rig.button("cancelButton")->isEnabled());
    QVERIFY(rig.gated.closed);
    QTEST(rig.wizard->getStatus(), "status");
    rig.verifyOutcome(statusText, failureShown);
    // The finish page read the status once, on entry.
    QCOMPARE(rig.finishMessage(), kFinishMessages[1]);
}

// Each way of closing the window other than the wizard's buttons. Escape
// is tried on the window and on a child, from which it travels up.
void TestCUpdatePage::closingRefusedWhileRunning_data()
{
    QTest::addColumn<QString>("escapeTo"); // empty: a close request

    QTest::newRow("close request") << QString();
    QTest::newRow("Escape key on the window") << "wizard";
    QTest::newRow("Escape key on the page") << "page";
}

void TestCUpdatePage::closingRefusedWhileRunning()
{
    QFETCH(QString, escapeTo);

    CUpdateRig rig;
    rig.walkToUpdate();
    const auto attemptClose = [&] {
        if (escapeTo.isEmpty())
            rig.wizard->close();
        else
            QTest::keyClick(escapeTo == "page" ? static_cast<QWidget *>(rig.page) : rig.wizard.get(), Qt::Key_Escape);
    };
    QTRY_VERIFY(rig.page->isVisible());

    attemptClose();
    QVERIFY(rig.wizard->isVisible());
    // Still refused after the time limit, while the transfer runs on.
    rig.tick(CUpdatePage::kTickLimit);
    attemptClose();
    QVERIFY(rig.wizard->isVisible());

    rig.gated.open();
    QTRY_VERIFY(rig.gated.closed);
    QTRY_COMPARE(rig.label("statusLabel")->text(), kUpdateComplete);
    attemptClose();
    QVERIFY(!rig.wizard->isVisible());
}

// Leaving by the wizard's own buttons after the limit: the transfer stops
// at the next packet boundary, however much of the image is left, and the
// wizard goes only after it has torn the connection down. A stuck board
// ends its packet by the line's timeout.
void TestCUpdatePage::leavingAfterTimeLimitWaitsForTransfer_data()
{
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<bool>("boardAnswers");

    QTest::newRow("Next, then Finish") << QStringList{"nextButton", "nextButton"} << false;
    QTest::newRow("Cancel") << QStringList{"cancelButton"} << false;
    QTest::newRow("Finish, board still answering") << QStringList{"nextButton", "nextButton"} << true;
}

void TestCUpdatePage::leavingAfterTimeLimitWaitsForTransfer()
{
    QFETCH(QStringList, buttons);
    QFETCH(bool, boardAnswers);

    CUpdateRig rig(boardAnswers ? kReplyPatienceMs : kShortPatienceMs);
    rig.board.largestPacket = 16 + 10; // hundreds of packets
    rig.walkToUpdate();
    rig.tick(CUpdatePage::kTickLimit);
    for (const QString &button : buttons)
        pressWizardButton(*rig.wizard, qPrintable(button));
    QVERIFY(!rig.wizard->isVisible());

    // A board that keeps answering, about a packet a millisecond, until the
    // wizard has gone.
    std::atomic<bool> gone{false};
    std::thread answering;
    if (boardAnswers)
        answering = std::thread([&] {
            while (!gone) {
                rig.gated.open();
                QThread::msleep(1);
            }
        });
    rig.wizard.reset();
    gone = true;
    if (answering.joinable())
        answering.join();
    QVERIFY(rig.gated.closed);
    QVERIFY(rig.board.received.size() < kImageSize);
    const std::vector<std::string> calls = rig.board.callTexts();
    QVERIFY(!calls.empty());
    QVERIFY(QString::fromStdString(calls.back()).startsWith(QStringLiteral("CommClose(")));
}

// The image is missing, or damaged since the build (one byte differs from
// the bytes its recorded SHA-256 was taken of): the GUI thread shows "File
// not found" while the transfer waits for it, no packet of image data goes
// out, and the wizard may even go away under the box.
void TestCUpdatePage::missingImage_data()
{
    QTest::addColumn<bool>("flipByte");
    QTest::addColumn<bool>("destroyUnderBox");

    QTest::newRow("missing, user presses OK") << false << false;
    QTest::newRow("missing, wizard destroyed while the box is open") << false << true;
    QTest::newRow("one byte flipped, user presses OK") << true << false;
}

void TestCUpdatePage::missingImage()
{
    QFETCH(bool, flipByte);
    QFETCH(bool, destroyUnderBox);

    CUpdateRig rig;
    if (flipByte)
        rig.image.bytes[kImageSize / 2] ^= 0x01;
    else
        rig.image.missing = true;

    // The box runs its own event loop, so it is found and answered from a
    // timer rather than from the test's own waiting loop.
    QString text;
    QStringList buttonTexts;
    bool onGuiThread = false;
    bool transferWaited = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        text = box->text();
        for (QAbstractButton *button : box->buttons())
            buttonTexts << button->text();
        onGuiThread = box->thread() == QCoreApplication::instance()->thread();
        transferWaited = !rig.gated.closed && !rig.shown("continueLabel");
        if (destroyUnderBox)
            rig.wizard.reset();
        else
            box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    rig.walkToUpdate();

    QTRY_VERIFY(!poll.isActive());
    QCOMPARE(text, kFileNotFound);
    QCOMPARE(buttonTexts, QStringList{QStringLiteral("OK")});
    QVERIFY(onGuiThread);
    QVERIFY(transferWaited);

    QTRY_VERIFY(rig.gated.closed);
    QCOMPARE(rig.board.callTexts(),
             (std::vector<std::string>{"CommOpen(/dev/parvel/board0, 0, *handle=0, 0, 26214)",
                                       "CommConnect(23063, 66, *options=1, 0, 0)", "CommDisconnect(23063)",
                                       "CommClose(23063)"}));
    if (destroyUnderBox) {
        QVERIFY(!rig.wizard);
        return;
    }
    QTRY_VERIFY(rig.shown("continueLabel"));
    QCOMPARE(rig.wizard->getStatus(), WizardStatus::kFailed);
    rig.verifyOutcome(kUpdating, true);
    rig.button("nextButton")->click();
    QCOMPARE(rig.finishMessage(), kFinishMessages[1]);
}

// The computer must not sleep while the board is written: logind holds the
// transfer's lock from before the first packet until the transfer has ended,
// however it ends; where no logind answers, the update goes on without it.
void TestCUpdatePage::sleepInhibitedDuringTransfer_data()
{
    QTest::addColumn<bool>("logindRuns");
    QTest::addColumn<int>("refusePacket");
    QTest::addColumn<bool>("leaveAfterLimit");
    QTest::addColumn<int>("status");

    QTest::newRow("board confirms the image") << true << 0 << false << 0;
    QTest::newRow("board refuses the second packet") << true << 2 << false << 1;
    QTest::newRow("user leaves after the time limit") << true << 0 << true << 1;
    QTest::newRow("no logind: the update goes on") << false << 0 << false << 0;
}

void TestCUpdatePage::sleepInhibitedDuringTransfer()
{
    QFETCH(bool, logindRuns);
    QFETCH(int, refusePacket);
    QFETCH(bool, leaveAfterLimit);

    const QStringList lock{QStringLiteral("sleep:idle|TiskarUpd|Updating the projector's firmware|block")};
    if (logindRuns) {
        QVERIFY2(logind.startLogind(), "no stand-in logind (python3-dbusmock, see tools/setup-deps)");
        QCOMPARE(logind.inhibitors(), QStringList());
        QTest::ignoreMessage(QtInfoMsg, "sleep inhibited for the transfer: logind lock taken");
        QTest::ignoreMessage(QtInfoMsg, "sleep no longer inhibited: logind lock released");
    } else {
        QVERIFY(logind.stopLogind());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                               "^no logind lock against sleep, the transfer goes on without it: .")));
    }

    CUpdateRig rig;
    rig.board.refusePacket = refusePacket;
    rig.board.largestPacket = 16 + 1024; // three packets
    rig.walkToUpdate();
    // The transfer waits for the board's first reply, holding the lock.
    if (logindRuns)
        QTRY_COMPARE(logind.inhibitors(), lock);
    QVERIFY(!rig.gated.closed);

    if (leaveAfterLimit) {
        rig.tick(CUpdatePage::kTickLimit);
        pressWizardButton(*rig.wizard, "cancelButton");
        QVERIFY(!rig.wizard->isVisible());
        QVERIFY(logind.inhibitors() == lock);
        // Every reply from now on comes at once; the wizard goes only once
        // the transfer has stopped.
        for (int reply = 0; reply < 3; ++reply)
            rig.gated.open();
        rig.wizard.reset();
        QVERIFY(rig.gated.closed);
    } else {
        for (int reply = 0; reply < 3; ++reply)
            rig.gated.open();
        QTRY_VERIFY(rig.shown("continueLabel"));
        QVERIFY(rig.gated.closed);
        QTEST(rig.wizard->getStatus(), "status");
    }
    if (logindRuns)
        QTRY_COMPARE(logind.inhibitors(), QStringList());
}

QTEST_MAIN(TestCUpdatePage)
#include "tst_CUpdatePage.moc"
