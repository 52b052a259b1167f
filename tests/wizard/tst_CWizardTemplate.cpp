#include "CWizardTemplate.h"
#include "QtCompat.h"
#include "WizardControls.h"
#include "WizardTexts.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace {

// A frame with plain label pages that records what the frame asks of its
// hooks, and when.
class CRecordingWizard : public CWizardTemplate
{
public:
    struct Activation
    {
        int index;
        bool pageHadParent;       // the new page was already placed
        bool previousPageVisible; // the outgoing page was still shown
    };

    explicit CRecordingWizard(int pages = 5)
    {
        initWizard(pages);
    }

    QList<int> created;
    QList<QWidget *> pages;
    QList<Activation> activations;
    int closeCalls = 0;
    std::function<void(int)> onActivate;

protected:
    QWidget *createPage(int index) override
    {
        auto *page = new QLabel(QStringLiteral("page %1").arg(index));
        created << index;
        pages << page;
        return page;
    }

    void activatePage(int index) override
    {
        QWidget *page = pages.last();
        const bool previousVisible = pages.size() > 1 && pages.at(pages.size() - 2)->isVisible();
        activations << Activation{index, page->parentWidget() != nullptr, previousVisible};
        if (onActivate)
            onActivate(index);
    }

    void beforeClose() override
    {
        ++closeCalls;
    }
};

// Presses Next until the index is reached, letting each page appear. The
// frame disables Next on page 3; the test re-enables it there, as the update
// page does at its end.
void walkTo(CRecordingWizard &wizard, int index)
{
    while (wizard.getCurrentIndex() < index) {
        if (!wizardButton(wizard, "nextButton")->isEnabled()) {
            wizard.enableButton(CWizardTemplate::kNext, true);
            wizard.enableButton(CWizardTemplate::kCancel, true);
        }
        pressWizardButton(wizard, "nextButton");
        if (wizard.isVisible())
            QTRY_VERIFY(wizard.pages.last()->isVisible());
    }
}

} // namespace

class TestCWizardTemplate : public QObject
{
    Q_OBJECT

private slots:
    void startState();
    void imagesComeFromTheResourceTree();
    void catalogueComesFromTheResourceTree();
    void nextSetsButtons_data();
    void nextSetsButtons();
    void nonZeroStatusJumpsToFinish_data();
    void nonZeroStatusJumpsToFinish();
    void backRecreatesPreviousPageAndClearsStatus_data();
    void backRecreatesPreviousPageAndClearsStatus();
    void finishAndCancelClose_data();
    void finishAndCancelClose();
    void enableButtonIgnoresOtherIndices_data();
    void enableButtonIgnoresOtherIndices();
};

void TestCWizardTemplate::startState()
{
    CRecordingWizard wizard;
    wizard.show();

    QCOMPARE(wizardButton(wizard, "backButton")->text(), QStringLiteral("< Back"));
    QCOMPARE(wizardButton(wizard, "nextButton")->text(), QStringLiteral("Next >"));
    QCOMPARE(wizardButton(wizard, "cancelButton")->text(), QStringLiteral("Cancel"));
    QVERIFY(!wizardButton(wizard, "backButton")->isEnabled());
    QVERIFY(wizardButton(wizard, "nextButton")->isEnabled());
    QVERIFY(wizardButton(wizard, "cancelButton")->isEnabled());

    QCOMPARE(wizard.created, QList<int>{0});
    QVERIFY(wizard.activations.isEmpty());
    QCOMPARE(wizard.getCurrentIndex(), 0);
    QCOMPARE(wizard.getStatus(), 0);
    QCOMPARE(wizard.pages.first()->parentWidget(), &wizard);
    QTRY_VERIFY(wizard.pages.first()->isVisible());

    QCOMPARE(wizard.windowTitle(), QStringLiteral("Velvane Projector Update Wizard"));
    QCOMPARE(wizard.minimumSize(), QSize(450, 350));
    QCOMPARE(wizard.maximumSize(), QSize(450, 350));
    QVERIFY(wizard.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

void TestCWizardTemplate::imagesComeFromTheResourceTree()
{
    const QImage side(QStringLiteral(":/Resources/side.PNG"));
    QCOMPARE(side.size(), QSize(120, 300));
    QVERIFY(!side.hasAlphaChannel());
    const QImage icon(QStringLiteral(":/Resources/TiskarUpdater.png"));
    QCOMPARE(icon.size(), QSize(48, 48));
    QVERIFY(icon.hasAlphaChannel());

    CRecordingWizard wizard;
    auto *sideImage = namedChild<QLabel>(wizard, "sideImage");
    QVERIFY(sideImage);
    QCOMPARE(compat::labelPixmap(*sideImage).size(), QSize(120, 300));
    QCOMPARE(sideImage->minimumHeight(), 280);
    QCOMPARE(sideImage->maximumHeight(), 280);
    QVERIFY(!wizard.windowIcon().isNull());
}

// The compiled catalogue is linked into every program built on the wizard
// library, where start-up looks for it; nothing refers to it, so a linker
// could drop it without a word.
void TestCWizardTemplate::catalogueComesFromTheResourceTree()
{
    QVERIFY(QFile::exists(QStringLiteral(":/i18n/tiskarupd_en.qm")));
}

void TestCWizardTemplate::nextSetsButtons_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("activationDisables"); // the page's entry action disables Back and Next
    QTest::addColumn<QString>("backText");
    QTest::addColumn<bool>("backEnabled");
    QTest::addColumn<QString>("nextText");
    QTest::addColumn<bool>("nextEnabled");
    QTest::addColumn<bool>("cancelEnabled");

    QTest::newRow("page 1") << 1 << false << "Back" << true << "Next >" << true << true;
    QTest::newRow("page 1 overrides its activation") << 1 << true << "Back" << true << "Next >" << true << true;
    QTest::newRow("page 2") << 2 << false << "< Back" << true << "Next >" << true << true;
    QTest::newRow("page 2 overrides its activation") << 2 << true << "< Back" << true << "Next >" << true << true;
    QTest::newRow("page 3 keeps Back enabled") << 3 << false << "< Back" << true << "Next >" << false << false;
    QTest::newRow("page 3 keeps Back disabled") << 3 << true << "< Back" << false << "Next >" << false << false;
    QTest::newRow("last page") << 4 << false << "< Back" << false << kFinishButton << true << false;
}

void TestCWizardTemplate::nextSetsButtons()
{
    QFETCH(int, target);
    QFETCH(bool, activationDisables);

    CRecordingWizard wizard;
    wizard.show();
    wizard.onActivate = [&](int index) {
        if (activationDisables && index == target) {
            wizard.enableButton(CWizardTemplate::kBack, false);
            wizard.enableButton(CWizardTemplate::kNext, false);
        }
    };
    walkTo(wizard, target);

    QTEST(wizardButton(wizard, "backButton")->text(), "backText");
    QTEST(wizardButton(wizard, "backButton")->isEnabled(), "backEnabled");
    QTEST(wizardButton(wizard, "nextButton")->text(), "nextText");
    QTEST(wizardButton(wizard, "nextButton")->isEnabled(), "nextEnabled");
    QTEST(wizardButton(wizard, "cancelButton")->isEnabled(), "cancelEnabled");

    // One new page per Next, each activated before it was placed, while the
    // page before it was still on display.
    QList<int> expected;
    for (int i = 0; i <= target; ++i)
        expected << i;
    QCOMPARE(wizard.created, expected);
    QCOMPARE(wizard.activations.size(), target);
    for (int i = 0; i < target; ++i) {
        QCOMPARE(wizard.activations.at(i).index, i + 1);
        QVERIFY(!wizard.activations.at(i).pageHadParent);
        QVERIFY(wizard.activations.at(i).previousPageVisible);
    }
    QTRY_VERIFY(wizard.pages.last()->isVisible());
    for (int i = 0; i < target; ++i)
        QVERIFY(wizard.pages.at(i)->isHidden());
}

void TestCWizardTemplate::nonZeroStatusJumpsToFinish_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("status");

    for (int from = 0; from <= 3; ++from) {
        for (int status : {1, 2, 3, 7, -1})
            QTest::addRow("from %d, status %d", from, status) << from << status;
    }
}

void TestCWizardTemplate::nonZeroStatusJumpsToFinish()
{
    QFETCH(int, from);
    QFETCH(int, status);

    CRecordingWizard wizard;
    walkTo(wizard, from);
    wizard.enableButton(CWizardTemplate::kNext, true);
    wizard.setStatus(status);
    pressWizardButton(wizard, "nextButton");

    QCOMPARE(wizard.getCurrentIndex(), 4);
    QCOMPARE(wizard.created.last(), 4);
    QCOMPARE(wizard.activations.last().index, 4);
    QCOMPARE(wizard.created.size(), from + 2);
    QCOMPARE(wizardButton(wizard, "nextButton")->text(), kFinishButton);
    QCOMPARE(wizard.getStatus(), status);
}

void TestCWizardTemplate::backRecreatesPreviousPageAndClearsStatus_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("backText");

    QTest::newRow("from page 1") << 1 << "Back";
    QTest::newRow("from page 2") << 2 << "< Back";
}

void TestCWizardTemplate::backRecreatesPreviousPageAndClearsStatus()
{
    QFETCH(int, from);
    QFETCH(QString, backText);

    CRecordingWizard wizard;
    wizard.show();
    walkTo(wizard, from);
    QPointer<QWidget> left = wizard.pages.last();
    wizard.setStatus(3);
    pressWizardButton(wizard, "backButton");

    QCOMPARE(wizard.getStatus(), 0);
    QCOMPARE(wizard.getCurrentIndex(), from);
    QCOMPARE(wizard.created.last(), from - 1);
    QCOMPARE(wizard.activations.last().index, from - 1);
    QVERIFY(!wizard.activations.last().pageHadParent);
    QVERIFY(!wizard.activations.last().previousPageVisible); // the page area was already empty
    QVERIFY(left);                                           // hidden, not destroyed
    QVERIFY(left->isHidden());
    QTRY_VERIFY(wizard.pages.last()->isVisible());
    // Back leaves the buttons as they were.
    QCOMPARE(wizardButton(wizard, "backButton")->text(), backText);
    QVERIFY(wizardButton(wizard, "backButton")->isEnabled());

    // The next Next makes the page that was left again rather than skipping it.
    pressWizardButton(wizard, "nextButton");
    QCOMPARE(wizard.getCurrentIndex(), from);
    QCOMPARE(wizard.created.last(), from);
    QCOMPARE(wizard.activations.last().index, from);
    QCOMPARE(wizard.created.size(), from + 3);
}

void TestCWizardTemplate::finishAndCancelClose_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("buttonName");

    QTest::newRow("Cancel on page 0") << 0 << "cancelButton";
    QTest::newRow("Cancel on page 2") << 2 << "cancelButton";
    QTest::newRow("Finish on page 4") << 4 << "nextButton";
}

void TestCWizardTemplate::finishAndCancelClose()
{
    QFETCH(int, page);
    QFETCH(QString, buttonName);

    CRecordingWizard wizard;
    wizard.show();
    walkTo(wizard, page);
    const int pagesBefore = wizard.created.size();
    pressWizardButton(wizard, buttonName.toLatin1().constData());

    QCOMPARE(wizard.closeCalls, 1);
    QCOMPARE(wizard.result(), int(QDialog::Rejected));
    QVERIFY(!wizard.isVisible());
    QCOMPARE(wizard.created.size(), pagesBefore);
}

void TestCWizardTemplate::enableButtonIgnoresOtherIndices_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("backEnabled");
    QTest::addColumn<bool>("nextEnabled");
    QTest::addColumn<bool>("cancelEnabled");

    QTest::newRow("Back") << 0 << false << true << true;
    QTest::newRow("Next") << 1 << true << false << true;
    QTest::newRow("Cancel") << 2 << true << true << false;
    QTest::newRow("-1") << -1 << true << true << true;
    QTest::newRow("3") << 3 << true << true << true;
    QTest::newRow("large") << 1000 << true << true << true;
}

void TestCWizardTemplate::enableButtonIgnoresOtherIndices()
{
    QFETCH(int, index);

    CRecordingWizard wizard;
    walkTo(wizard, 1); // all three enabled
    wizard.enableButton(index, false);

    QTEST(wizardButton(wizard, "backButton")->isEnabled(), "backEnabled");
    QTEST(wizardButton(wizard, "nextButton")->isEnabled(), "nextEnabled");
    QTEST(wizardButton(wizard, "cancelButton")->isEnabled(), "cancelEnabled");
}

QTEST_MAIN(TestCWizardTemplate)
#include "tst_CWizardTemplate.moc"
