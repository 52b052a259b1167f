#include "CFinishPage.h"
#include "CTiskarUpdater.h"
#include "WizardControls.h"

#include <QtTest>

namespace {

const QString kSuccess = QStringLiteral(
    "The Velvane projector firmware update is complete.\n\nReset the projector by unplugging it and plugging it "
    "back in.\n\nDisconnect the USB cable from extended connection panel.");
const QString kFailure = QStringLiteral("Could not update the Velvane projector's firmware. ");

} // namespace

class TestCFinishPage : public QObject
{
    Q_OBJECT

private slots:
    void messageForStatus_data();
    void messageForStatus();
    void closingLineAndEmptyMessageBeforeEntry();
    void statusIsReadOnceOnEntry();

private:
    DeviceServices noDevices;
};

void TestCFinishPage::messageForStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("0 success") << 0 << kSuccess;
    QTest::newRow("1 failure") << 1 << kFailure;
    QTest::newRow("2 no projector")
        << 2 << "Could not update the Velvane projector's firmware. No projector found.";
    QTest::newRow("3 several projectors")
        << 3 << "Could not update the Velvane projector's firmware. Found more than one projector.";
    QTest::newRow("4 not downloaded")
        << 4 << "Could not update the Velvane projector's firmware. The firmware was not downloaded to the projector";
    QTest::newRow("5 download checksum")
        << 5 << "Could not update the Velvane projector's firmware. Firmware download checksum failure";
    QTest::newRow("6 flash checksum")
        << 6 << "Could not update the Velvane projector's firmware. Firmware flash checksum failure";
    QTest::newRow("7 declined")
        << 7
        << "Could not update the Velvane projector's firmware.\n\nReset the projector by unplugging it and plugging "
           "it back in.";
    // No path stores these; the page must still stay inside its table.
    QTest::newRow("-1") << -1 << kFailure;
    QTest::newRow("8") << 8 << kFailure;
    QTest::newRow("large") << 1000000 << kFailure;
    QTest::newRow("most negative") << std::numeric_limits<int>::min() << kFailure;
}

void TestCFinishPage::messageForStatus()
{
    QFETCH(int, status);

    CTiskarUpdater wizard(noDevices);
    CFinishPage page(&wizard);
    wizard.setStatus(status);
    page.enterPage();

    const QList<QLabel *> labels = labelsInLayoutOrder(page);
    QCOMPARE(labels.size(), 2);
    QTEST(labels.first()->text(), "message");
    QVERIFY(labels.first()->wordWrap());
}

void TestCFinishPage::closingLineAndEmptyMessageBeforeEntry()
{
    CTiskarUpdater wizard(noDevices);
    CFinishPage page(&wizard);

    const QList<QLabel *> labels = labelsInLayoutOrder(page);
    QCOMPARE(labels.size(), 2);
    QVERIFY(labels.first()->text().isEmpty());
    QCOMPARE(labels.last()->text(), QStringLiteral("To close this wizard, press Finish."));
    QVERIFY(!labels.last()->wordWrap());
    QCOMPARE(page.minimumSize(), QSize(270, 280));
}

void TestCFinishPage::statusIsReadOnceOnEntry()
{
    CTiskarUpdater wizard(noDevices);
    CFinishPage page(&wizard);
    wizard.setStatus(0);
    page.enterPage();
    wizard.setStatus(2);

    QCOMPARE(labelsInLayoutOrder(page).first()->text(), kSuccess);
}

QTEST_MAIN(TestCFinishPage)
#include "tst_CFinishPage.moc"
