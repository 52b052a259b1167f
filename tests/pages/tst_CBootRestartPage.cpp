#include "CBootRestartPage.h"
#include "CTiskarUpdater.h"
#include "CScriptedTargetAccess.h"
#include "WizardControls.h"
#include "WizardTexts.h"

#include <QPushButton>
#include <QTest>

class TestCBootRestartPage : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void backStateOnEntry();

private:
    CScriptedTargetAccess noBoards;
};

void TestCBootRestartPage::texts_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wordWrap");

    QTest::newRow("B1") << 0 << "1. Use the power button to turn the Velvane projector off." << true;
    QTest::newRow("B2")
        << 1 << "2. Reset the Velvane projector by unplugging it from the wall socket, and plugging it back in."
        << true;
    QTest::newRow("B3") << 2 << "3. Connect the computer to the USB receptacle on the extended connection panel."
                        << true;
    QTest::newRow("B4") << 3 << "4. Press and hold the \"Up\" key on the projector's keypad." << true;
    QTest::newRow("B5")
        << 4 << "5. Press and hold the \"Standby\" key on the projector's keypad until the keypad LED flashes amber."
        << true;
    QTest::newRow("B6") << 5 << "6. Release the \"Standby\" key and then the \"Up\" key." << true;
    QTest::newRow("B7") << 6 << "If the keypad LED is not flashing amber, restart at step 2." << true;
    QTest::newRow("B8") << 7 << kPressNext << false;
}

void TestCBootRestartPage::texts()
{
    QFETCH(int, position);

    DeviceServices services;
    CTiskarUpdater wizard(services);
    CBootRestartPage page(&wizard);
    const QList<QLabel *> labels = labelsInLayoutOrder(page);

    QCOMPARE(labels.size(), 8);
    QTEST(labels.at(position)->text(), "text");
    QTEST(labels.at(position)->wordWrap(), "wordWrap");
}

// From the welcome page Back is usable; coming back from the detection page
// it is not, and Next searches again.
void TestCBootRestartPage::backStateOnEntry()
{
    DeviceServices services;
    services.targets = &noBoards;
    CTiskarUpdater wizard(services);
    QPushButton *back = wizardButton(wizard, "backButton");
    QPushButton *next = wizardButton(wizard, "nextButton");

    clickButton(next);
    QVERIFY(back->isEnabled());
    QCOMPARE(back->text(), QStringLiteral("Back"));

    clickButton(next);
    CBootRestartPage *before = wizard.getBootRestartPage();
    QVERIFY(back->isEnabled());
    clickButton(back);
    QVERIFY(wizard.getBootRestartPage() != before);
    QVERIFY(!back->isEnabled());

    auto *detection = wizard.getDetectDevicePage();
    clickButton(next);
    QCOMPARE(wizard.getCurrentIndex(), 2);
    QVERIFY(wizard.getDetectDevicePage() != detection);
}

QTEST_MAIN(TestCBootRestartPage)
#include "tst_CBootRestartPage.moc"
