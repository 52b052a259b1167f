#include "CFinishPage.h"
#include "CTiskarUpdater.h"
#include "WizardControls.h"
#include "WizardTexts.h"

#include <QTest>

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

    QTest::newRow("0 success") << 0 << kFinishMessages[0];
    QTest::newRow("1 failure") << 1 << kFinishMessages[1];
    QTest::newRow("2 no projector") << 2 << kFinishMessages[2];
    QTest::newRow("3 several projectors") << 3 << kFinishMessages[3];
    QTest::newRow("4 not downloaded") << 4 << kFinishMessages[4];
    QTest::newRow("5 download checksum") << 5 << kFinishMessages[5];
    QTest::newRow("6 flash checksum") << 6 << kFinishMessages[6];
    QTest::newRow("7 declined") << 7 << kFinishMessages[7];
    // No path stores these; the page must still stay inside its table.
    QTest::newRow("-1") << -1 << kFinishMessages[1];
    QTest::newRow("8") << 8 << kFinishMessages[1];
    QTest::newRow("large") << 1000000 << kFinishMessages[1];
    QTest::newRow("most negative") << std::numeric_limits<int>::min() << kFinishMessages[1];
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

    QCOMPARE(labelsInLayoutOrder(page).first()->text(), kFinishMessages[0]);
}

QTEST_MAIN(TestCFinishPage)
#include "tst_CFinishPage.moc"
