#include "CTiskarUpdater.h"
#include "CWelcomePage.h"
#include "WizardControls.h"
#include "WizardTexts.h"

#include <QPushButton>
#include <QTest>

class TestCWelcomePage : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void backFromPageOneDisablesBackAgain();

private:
    DeviceServices noDevices;
};

void TestCWelcomePage::texts_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wordWrap");

    QTest::newRow("welcome") << 0 << "Welcome to the Velvane Projector Update Wizard." << true;
    QTest::newRow("purpose") << 1 << "Use this wizard to update the firmware in a Velvane projector." << true;
    QTest::newRow("driver note, double blanks")
        << 2
        << "NOTE: The first time you connect the projector, the \"New Hardware Wizard\" will run.  Use the wizard "
           "to install the Parvel board driver.  The wizard will find this driver automatically."
        << true;
    QTest::newRow("continue") << 3 << kPressNext << false;
    QTest::newRow("exit, closing blank") << 4 << "To exit, press Cancel. " << false;
}

void TestCWelcomePage::texts()
{
    QFETCH(int, position);

    CTiskarUpdater wizard(noDevices);
    CWelcomePage page(&wizard);
    const QList<QLabel *> labels = labelsInLayoutOrder(page);

    QCOMPARE(labels.size(), 5);
    QTEST(labels.at(position)->text(), "text");
    QTEST(labels.at(position)->wordWrap(), "wordWrap");
}

void TestCWelcomePage::backFromPageOneDisablesBackAgain()
{
    CTiskarUpdater wizard(noDevices);
    CWelcomePage *first = wizard.getWelcomePage();
    QPushButton *back = wizardButton(wizard, "backButton");

    pressWizardButton(wizard, "nextButton");
    QVERIFY(back->isEnabled());
    clickButton(back);

    QVERIFY(wizard.getWelcomePage() != first);
    QCOMPARE(wizard.getWelcomePage()->parentWidget(), &wizard);
    QVERIFY(!back->isEnabled());
}

QTEST_MAIN(TestCWelcomePage)
#include "tst_CWelcomePage.moc"
