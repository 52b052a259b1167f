#include "CBootRestartPage.h"
#include "CDetectDevicePage.h"
#include "CFinishPage.h"
#include "CTiskarUpdater.h"
#include "CUpdatePage.h"
#include "CWelcomePage.h"
#include "CScriptedTargetAccess.h"

#include <QPushButton>
#include <QTest>

namespace {

// Opens the factory hooks to the test.
class COpenUpdater : public CTiskarUpdater
{
public:
    using CTiskarUpdater::CTiskarUpdater;
    using CTiskarUpdater::activatePage;
    using CTiskarUpdater::createPage;
};

QList<QWidget *> newestPages(const CTiskarUpdater &wizard)
{
    return {wizard.getWelcomePage(), wizard.getBootRestartPage(), wizard.getDetectDevicePage(),
            wizard.getUpdatePage(), wizard.getFinishPage()};
}

} // namespace

class TestCTiskarUpdater : public QObject
{
    Q_OBJECT

private slots:
    void factoryMakesThePageOfEachIndex_data();
    void factoryMakesThePageOfEachIndex();
    void indicesOutsideTheTableDoNothing_data();
    void indicesOutsideTheTableDoNothing();
    void startShowsWelcomePageOnly();

private:
    CScriptedTargetAccess noBoards;
    DeviceServices services() { return DeviceServices{&noBoards, nullptr, nullptr}; }
};

void TestCTiskarUpdater::factoryMakesThePageOfEachIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("className");

    QTest::newRow("0") << 0 << "CWelcomePage";
    QTest::newRow("1") << 1 << "CBootRestartPage";
    QTest::newRow("2") << 2 << "CDetectDevicePage";
    QTest::newRow("3") << 3 << "CUpdatePage";
    QTest::newRow("4") << 4 << "CFinishPage";
}

void TestCTiskarUpdater::factoryMakesThePageOfEachIndex()
{
    QFETCH(int, index);

    COpenUpdater wizard(services());
    const QList<QWidget *> before = newestPages(wizard);
    QWidget *page = wizard.createPage(index);

    QVERIFY(page);
    QTEST(QString::fromLatin1(page->metaObject()->className()), "className");
    QVERIFY(!page->parentWidget());
    // Only the pointer of that index moves to the new page.
    QList<QWidget *> expected = before;
    expected[index] = page;
    QCOMPARE(newestPages(wizard), expected);
    QCOMPARE(wizard.newestPage(index), page);
    delete page;
}

void TestCTiskarUpdater::indicesOutsideTheTableDoNothing_data()
{
    QTest::addColumn<int>("index");

    QTest::newRow("-1") << -1;
    QTest::newRow("5") << 5;
    QTest::newRow("large") << 1000;
}

void TestCTiskarUpdater::indicesOutsideTheTableDoNothing()
{
    QFETCH(int, index);

    COpenUpdater wizard(services());
    const QList<QWidget *> before = newestPages(wizard);

    QVERIFY(!wizard.createPage(index));
    wizard.activatePage(index);
    QCOMPARE(newestPages(wizard), before);
    QVERIFY(!wizard.newestPage(index));
    QCOMPARE(wizard.getStatus(), 0);
    QCOMPARE(noBoards.findCalls, 0);
}

void TestCTiskarUpdater::startShowsWelcomePageOnly()
{
    CTiskarUpdater wizard(services());

    QVERIFY(wizard.getWelcomePage());
    QCOMPARE(wizard.getWelcomePage()->parentWidget(), &wizard);
    QCOMPARE(newestPages(wizard).count(nullptr), 4);
    QVERIFY(wizard.getDevice().empty());
}

QTEST_MAIN(TestCTiskarUpdater)
#include "tst_CTiskarUpdater.moc"
