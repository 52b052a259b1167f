#include "CDetectDevicePage.h"
#include "CFinishPage.h"
#include "CTiskarUpdater.h"
#include "CCheckedFirmwareImage.h"
#include "CMemoryFirmwareImage.h"
#include "CRecordingTransport.h"
#include "CScriptedTargetAccess.h"
#include "WizardControls.h"
#include "WizardTexts.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

// The whole wizard driven by the keyboard alone: Enter must always press the
// forward button, whichever widget of a page holds the focus, and a page
// that opens the way forward must hand the focus to it.

namespace {

constexpr std::size_t kImageSize = 3000;
constexpr int kMaxSteps = 10;

// A key goes where the window's focus is, or to the window itself.
void pressKey(QWidget &window, Qt::Key key)
{
    QWidget *target = window.focusWidget();
    QTest::keyClick(target ? target : &window, key);
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void enterFinishesTheWizard_data();
    void enterFinishesTheWizard();
};

void TestKeyboard::enterFinishesTheWizard_data()
{
    QTest::addColumn<QString>("detectionFocus"); // object name of the widget focused on the detection page
    QTest::addColumn<bool>("spaceThere");        // Space pressed there before Enter
    QTest::addColumn<int>("refusedPacket");
    QTest::addColumn<QList<int>>("road"); // the page indices Enter passes through
    QTest::addColumn<int>("finishMessage");

    const QList<int> update{0, 1, 2, 3, 4};
    QTest::newRow("focus left where it falls") << QString() << false << 0 << update << 0;
    QTest::newRow("focus on Yes") << "yesButton" << false << 0 << update << 0;
    QTest::newRow("focus on No, not chosen") << "noButton" << false << 0 << update << 0;
    QTest::newRow("No chosen by Space") << "noButton" << true << 0 << QList<int>{0, 1, 2, 4} << 7;
    QTest::newRow("failed update") << QString() << false << 1 << update << 1;
}

void TestKeyboard::enterFinishesTheWizard()
{
    QFETCH(QString, detectionFocus);
    QFETCH(bool, spaceThere);
    QFETCH(int, refusedPacket);
    QFETCH(QList<int>, road);
    QFETCH(int, finishMessage);

    CScriptedTargetAccess boards;
    boards.paths = {"/dev/parvel/board0"};
    boards.names[boards.paths.front()] = "VELVANE PJ 7";
    CRecordingTransport board;
    board.refusePacket = refusedPacket;
    CMemoryFirmwareImage image{CMemoryFirmwareImage::patternBytes(kImageSize, 5)};
    const std::string digest = firmwareSha256(image.bytes.data(), image.bytes.size());
    auto wizard = std::make_unique<CTiskarUpdater>(DeviceServices{&boards, &board, &image, digest.c_str()});
    wizard->show();
    QVERIFY(QTest::qWaitForWindowExposed(wizard.get()));
    QPushButton *next = wizardButton(*wizard, "nextButton");

    QList<int> passed{wizard->getCurrentIndex()};
    for (int step = 0; wizard->isVisible() && step < kMaxSteps; ++step) {
        // The update page holds the way forward until the transfer has
        // ended; then the focus must be on it.
        QTRY_VERIFY(next->isEnabled());
        QCOMPARE(wizard->focusWidget(), next);
        if (wizard->getCurrentIndex() == 2 && !detectionFocus.isEmpty()) {
            namedChild<QRadioButton>(*wizard->getDetectDevicePage(), detectionFocus.toLatin1().constData())
                ->setFocus(Qt::TabFocusReason);
            if (spaceThere)
                pressKey(*wizard, Qt::Key_Space);
        }
        if (wizard->getCurrentIndex() == 4)
            QCOMPARE(namedChild<QLabel>(*wizard->getFinishPage(), "messageLabel")->text(),
                     kFinishMessages[finishMessage]);
        pressKey(*wizard, Qt::Key_Return);
        if (wizard->isVisible() && passed.last() != wizard->getCurrentIndex())
            passed << wizard->getCurrentIndex();
    }

    QVERIFY(!wizard->isVisible());
    QCOMPARE(passed, road);
    wizard.reset();
    if (finishMessage == 0)
        QCOMPARE(board.received.size(), kImageSize);
}

QTEST_MAIN(TestKeyboard)
#include "tst_Keyboard.moc"
