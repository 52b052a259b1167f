#include "CDetectDevicePage.h"
#include "CTiskarUpdater.h"
#include "CScriptedTargetAccess.h"
#include "WizardControls.h"
#include "WizardStatus.h"
#include "WizardTexts.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

namespace {

const std::string kEarlierDevice = "EARLIER (/dev/parvel/old : 0)";

// Boards on the given paths; only the first answers, with `name` (empty:
// silent).
void script(CScriptedTargetAccess &boards, const QStringList &paths, const QString &name)
{
    for (const QString &path : paths)
        boards.paths.push_back(path.toStdString());
    if (!paths.isEmpty() && !name.isEmpty())
        boards.names[paths.first().toStdString()] = name.toStdString();
}

// Next from the welcome page twice, clicked or by Enter: the detection page
// runs on entry.
void walkToDetection(CTiskarUpdater &wizard, bool byEnter)
{
    for (int page = 0; page < 2; ++page) {
        if (byEnter)
            QTest::keyClick(wizard.focusWidget() ? wizard.focusWidget() : &wizard, Qt::Key_Return);
        else
            pressWizardButton(wizard, "nextButton");
    }
    QVERIFY(wizard.getDetectDevicePage());
    QTRY_VERIFY(wizard.getDetectDevicePage()->isVisible() || wizard.getCurrentIndex() != 2);
    QCOMPARE(wizard.getCurrentIndex(), 2);
}

// A second click on Next, or a second Enter, given while the detection
// blocks the GUI thread: it reaches the window through the program's queue,
// as the platform's input does, and waits there.
void queueAgain(CTiskarUpdater &wizard, const QString &input)
{
    QWindow *window = wizard.windowHandle();
    if (input == "click") {
        QPushButton *next = wizardButton(wizard, "nextButton");
        const QPoint at = next->mapTo(&wizard, next->rect().center());
        QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonPress, at, wizard.mapToGlobal(at),
                                                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonRelease, at, wizard.mapToGlobal(at),
                                                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    } else {
        QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
        QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier));
    }
}

} // namespace

class TestCDetectDevicePage : public QObject
{
    Q_OBJECT

private slots:
    void constructedState();
    void searchOutcome_data();
    void searchOutcome();
    void nextAfterSearch_data();
    void nextAfterSearch();
};

void TestCDetectDevicePage::constructedState()
{
    CScriptedTargetAccess boards;
    CTiskarUpdater wizard(DeviceServices{&boards, nullptr, nullptr});
    wizard.setStatus(5);
    CDetectDevicePage page(&wizard);

    const QList<QLabel *> labels = labelsInLayoutOrder(page);
    QCOMPARE(labels.size(), 2);
    QCOMPARE(labels.at(0)->text(), QStringLiteral("Searching for targets on USB bus"));
    QVERIFY(labels.at(0)->wordWrap());
    QCOMPARE(labels.at(1)->text(), QString());
    QVERIFY(labels.at(1)->wordWrap());
    QCOMPARE(namedChild<QLabel>(page, "questionLabel")->text(), QStringLiteral("Would you like to update the firmware?"));
    QCOMPARE(namedChild<QRadioButton>(page, "yesButton")->text(), QStringLiteral("Yes"));
    QCOMPARE(namedChild<QRadioButton>(page, "noButton")->text(), QStringLiteral("No"));
    QCOMPARE(boards.findCalls, 0);
    QCOMPARE(wizard.getStatus(), 5);
}

// One row per state of the page after its entry actions.
void TestCDetectDevicePage::searchOutcome_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("queries");
    QTest::addColumn<QString>("device");

    const QString earlier = QString::fromStdString(kEarlierDevice);
    using namespace WizardStatus;
    QTest::newRow("no board") << QStringList{} << QString() << kDetectedNone << kNoProjector << 0 << earlier;
    QTest::newRow("two boards, neither opened")
        << QStringList{"/dev/parvel/a", "/dev/parvel/b"} << "PJ-A" << kDetectedSeveral << kSeveralProjectors << 0
        << earlier;
    QTest::newRow("one board with a name")
        << QStringList{"/dev/parvel/board0"} << "VELVANE PJ 7" << kDetectedOne << kSuccess << 1
        << "VELVANE PJ 7 (/dev/parvel/board0 : 0)";
    QTest::newRow("one silent board, earlier device kept")
        << QStringList{"/dev/parvel/board0"} << QString() << kDetectedSilent << kNoProjector << 1 << earlier;
}

void TestCDetectDevicePage::searchOutcome()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(int, status);

    // The record says word for word what the user was told: the Windows
    // check under Wine reads the page's outcome from it.
    QTest::ignoreMessage(QtInfoMsg, ("detection shows: " + text).toUtf8().constData());
    CScriptedTargetAccess boards;
    script(boards, paths, name);
    CTiskarUpdater wizard(DeviceServices{&boards, nullptr, nullptr});
    wizard.setDevice(kEarlierDevice);
    wizard.setStatus(WizardStatus::kFailed);
    wizard.enableButton(CWizardTemplate::kBack, false);

    // As the wizard activates the page: both entry actions, then display.
    CDetectDevicePage page(&wizard);
    page.searchTargets();
    page.showChoice();
    page.show();

    QCOMPARE(boards.findCalls, 1);
    QTEST(int(boards.queried.size()), "queries");
    if (!boards.queried.empty())
        QCOMPARE(boards.queried.front(), boards.paths.front());
    QTEST(labelsInLayoutOrder(page).first()->text(), "text");
    QTEST(wizard.getStatus(), "status");
    QTEST(QString::fromStdString(wizard.getDevice()), "device");

    auto *question = namedChild<QLabel>(page, "questionLabel");
    auto *yes = namedChild<QRadioButton>(page, "yesButton");
    auto *no = namedChild<QRadioButton>(page, "noButton");
    auto *back = wizardButton(wizard, "backButton");
    if (status == 0) {
        QTRY_VERIFY(question->isVisible());
        QVERIFY(yes->isVisible());
        QVERIFY(no->isVisible());
        QVERIFY(yes->isChecked());
        QVERIFY(!no->isChecked());
        QVERIFY(!back->isEnabled()); // a success leaves Back to the frame
        // The blank line stays between the outcome and the question.
        QCOMPARE(labelsInLayoutOrder(page).at(1), namedChild<QLabel>(page, "blankLabel"));
        QCOMPARE(labelsInLayoutOrder(page).at(2), question);
    } else {
        QVERIFY(question->isHidden());
        QVERIFY(yes->isHidden());
        QVERIFY(no->isHidden());
        QVERIFY(back->isEnabled());
    }
}

// Next after the search, and after the answers clicked in turn: the last
// one counts. Next clicked twice or Enter pressed twice on the instructions
// leaves the question waiting: the second press came before it was shown.
void TestCDetectDevicePage::nextAfterSearch_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("again"); // "click" or "enter" given again during the detection
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("finishMessage");

    const QStringList one{"/dev/parvel/a"};
    const QString once;
    QTest::newRow("no board: message 2")
        << QStringList{} << QString() << QStringList{} << once << 4 << kFinishMessages[2];
    QTest::newRow("two boards: message 3") << QStringList{"/dev/parvel/a", "/dev/parvel/b"} << QString()
                                           << QStringList{} << once << 4 << kFinishMessages[3];
    QTest::newRow("one board: update page") << one << "PJ" << QStringList{} << once << 3 << QString();
    QTest::newRow("No: message 7") << one << "PJ" << QStringList{"no"} << once << 4 << kFinishMessages[7];
    QTest::newRow("No, Yes: update page") << one << "PJ" << QStringList{"no", "yes"} << once << 3 << QString();
    QTest::newRow("Yes again: update page") << one << "PJ" << QStringList{"yes"} << once << 3 << QString();
    QTest::newRow("Next clicked twice: the question waits") << one << "PJ" << QStringList{} << "click" << 3 << QString();
    QTest::newRow("Enter pressed twice: the question waits") << one << "PJ" << QStringList{} << "enter" << 3 << QString();
}

void TestCDetectDevicePage::nextAfterSearch()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, name);
    QFETCH(QStringList, clicks);
    QFETCH(QString, again);
    QFETCH(int, index);

    CScriptedTargetAccess boards;
    script(boards, paths, name);
    CTiskarUpdater wizard(DeviceServices{&boards, nullptr, nullptr});
    if (!again.isEmpty())
        boards.whileQuerying = [&] { queueAgain(wizard, again); };
    wizard.show();
    walkToDetection(wizard, again == "enter");
    if (QTest::currentTestFailed())
        return;
    CDetectDevicePage *page = wizard.getDetectDevicePage();
    if (!again.isEmpty()) {
        QVERIFY(!wizard.getUpdatePage());
        QVERIFY(namedChild<QLabel>(*page, "questionLabel")->isVisible());
        QVERIFY(namedChild<QRadioButton>(*page, "yesButton")->isChecked());
    }
    if (!clicks.isEmpty()) {
        QTRY_VERIFY(namedChild<QRadioButton>(*page, "yesButton")->isVisible());
        for (const QString &answer : clicks)
            clickButton(namedChild<QRadioButton>(*page, answer == "no" ? "noButton" : "yesButton"));
        QCOMPARE(namedChild<QRadioButton>(*page, "noButton")->isChecked(), clicks.last() == "no");
        QCOMPARE(wizard.getStatus(), clicks.last() == "no" ? WizardStatus::kDeclined : WizardStatus::kSuccess);
    }
    // Read before Next: on the update page the burn thread soon stores its
    // own result, here a failure, as there is no transport.
    if (index == 3)
        QCOMPARE(wizard.getStatus(), WizardStatus::kSuccess);
    pressWizardButton(wizard, "nextButton");

    QCOMPARE(wizard.getCurrentIndex(), index);
    if (index == 4) {
        QTEST(finishMessage(wizard), "finishMessage");
    } else {
        QVERIFY(wizard.getUpdatePage());
        QCOMPARE(wizard.getDevice(), std::string("PJ (/dev/parvel/a : 0)"));
    }
}

QTEST_MAIN(TestCDetectDevicePage)
#include "tst_CDetectDevicePage.moc"
