#include "CBoardSimProcess.h"
#include "CDetectDevicePage.h"
#include "CTiskarUpdater.h"
#include "CUpdatePage.h"
#include "WizardControls.h"
#include "WizardTexts.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// The update page gives up after 160 ticks of 1.2 s; a road takes at most
// that long, plus detection.
constexpr int kUpdateTimeoutMs = 200000;
constexpr int kDownloadLineTimeoutMs = 10000;

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void road_data();
    void road();

private:
    QTemporaryDir runtimeDir;
    QString boardDir;
};

// The platform's enumeration reads XDG_RUNTIME_DIR once, when the first
// wizard is made: point it at a private directory before that.
void TestEndToEnd::initTestCase()
{
    QVERIFY(runtimeDir.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    boardDir = runtimeDir.filePath(QStringLiteral("parvel"));
}

void TestEndToEnd::road_data()
{
    QTest::addColumn<int>("boardCount");
    QTest::addColumn<QStringList>("boardOptions");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<QString>("updateOutcome"); // empty: the update page is skipped
    QTest::addColumn<QString>("finishMessage");

    QTest::newRow("one board, Yes: updated") << 1 << QStringList{} << true << kUpdateComplete << kFinishMessages[0];
    QTest::newRow("board on a line in the kernel's default mode: updated")
        << 1 << QStringList{"--kernel-line-mode"} << true << kUpdateComplete << kFinishMessages[0];
    QTest::newRow("refusing board") << 1 << QStringList{"--refuse-packet", "1"} << true << kUpdateFailed
                                    << kFinishMessages[1];
    QTest::newRow("one board, No") << 1 << QStringList{} << false << QString() << kFinishMessages[7];
    QTest::newRow("two boards") << 2 << QStringList{} << true << QString() << kFinishMessages[3];
}

void TestEndToEnd::road()
{
    QFETCH(int, boardCount);
    QFETCH(QStringList, boardOptions);
    QFETCH(bool, answerYes);
    QFETCH(QString, updateOutcome);

    std::vector<std::unique_ptr<CBoardSimProcess>> boards;
    for (int i = 0; i < boardCount; ++i) {
        const QString link = QStringLiteral("board%1").arg(i);
        const QString saved = runtimeDir.filePath(link + QStringLiteral(".bin"));
        QFile::remove(saved);
        boards.push_back(std::make_unique<CBoardSimProcess>());
        QVERIFY(boards.back()->start(boardDir, QStringList{"--link", link, "--save", saved} + boardOptions));
    }

    auto wizard = std::make_unique<CTiskarUpdater>();
    wizard->show();
    QPushButton *next = wizardButton(*wizard, "nextButton");
    clickButton(next); // instructions
    clickButton(next); // detection, which searches on entry
    QCOMPARE(wizard->getCurrentIndex(), 2);
    if (!answerYes)
        clickButton(namedChild<QRadioButton>(*wizard->getDetectDevicePage(), "noButton"));
    clickButton(next);

    if (!updateOutcome.isEmpty()) {
        QCOMPARE(wizard->getCurrentIndex(), 3);
        CUpdatePage *page = wizard->getUpdatePage();
        QTRY_VERIFY_WITH_TIMEOUT(namedChild<QLabel>(*page, "continueLabel")->isVisible(), kUpdateTimeoutMs);
        const bool success = updateOutcome == kUpdateComplete;
        QCOMPARE(outcomeLine(*page, success), updateOutcome);
        QVERIFY(next->isEnabled());
        clickButton(next);
    }

    QCOMPARE(wizard->getCurrentIndex(), 4);
    QCOMPARE(next->text(), QStringLiteral("Finish"));
    QTEST(finishMessage(*wizard), "finishMessage");
    clickButton(next);
    QVERIFY(!wizard->isVisible());
    wizard.reset();

    if (updateOutcome == kUpdateComplete) {
        QVERIFY(!boards.front()->waitForLine(QStringLiteral("DOWNLOAD OK "), kDownloadLineTimeoutMs).isEmpty());
        const QByteArray embedded = fileContents(QStringLiteral(FIRMWARE_IMAGE_FILE));
        const QByteArray received = fileContents(runtimeDir.filePath(QStringLiteral("board0.bin")));
        QVERIFY(!embedded.isEmpty());
        QVERIFY2(received == embedded, qPrintable(QStringLiteral("the board received %1 bytes of %2, differing")
                                                      .arg(received.size())
                                                      .arg(embedded.size())));
    }
    for (auto &board : boards)
        QCOMPARE(board->stop().code, 0);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_EndToEnd.moc"
