#include "CBootRestartPage.h"
#include "CDetectDevicePage.h"
#include "CFinishPage.h"
#include "CTiskarUpdater.h"
#include "CUpdatePage.h"
#include "CWelcomePage.h"
#include "MemoryFirmwareImage.h"
#include "PageWidgets.h"
#include "RecordingTransport.h"
#include "ScriptedTargetAccess.h"
#include "WizardControls.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

// Every page of the real wizard, in each of its states, must show all of its
// texts in the fixed window: no line cut off, nothing outside the window or
// under the separator, no widget on top of another.

namespace {

constexpr std::size_t kImageSize = 2000;

QByteArray describe(const QWidget *widget)
{
    const QRect r = widget->geometry();
    QString text = widget->objectName();
    if (auto *label = qobject_cast<const QLabel *>(widget))
        text += QStringLiteral(" \"%1\"").arg(label->text().left(40));
    text += QStringLiteral(" at %1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    return text.toUtf8();
}

// What a label needs to show all of its lines at the width it was given.
QSize neededSize(const QLabel *label)
{
    if (label->wordWrap())
        return QSize(0, label->heightForWidth(label->width()));
    return label->sizeHint();
}

// The boards, transport and image behind the wizard, and the wizard itself,
// which goes first so that a transfer has ended before its transport goes.
struct CLayoutRig
{
    CScriptedTargetAccess boards;
    CRecordingTransport board;
    CMemoryFirmwareImage image{CMemoryFirmwareImage::patternBytes(kImageSize, 3)};
    std::unique_ptr<CTiskarUpdater> wizard;

    QWidget *pageOnDisplay() const
    {
        QWidget *shown = nullptr;
        for (QWidget *page : QList<QWidget *>{wizard->getWelcomePage(), wizard->getBootRestartPage(),
                                              wizard->getDetectDevicePage(), wizard->getUpdatePage(),
                                              wizard->getFinishPage()}) {
            if (page && page->isVisible())
                shown = page;
        }
        return shown;
    }
};

} // namespace

class TestPageLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyTextFitsTheWindow_data();
    void everyTextFitsTheWindow();
};

// The font the program starts with.
void TestPageLayout::initTestCase()
{
    QApplication::setFont(compactDialogFont(QApplication::font()));
}

void TestPageLayout::everyTextFitsTheWindow_data()
{
    QTest::addColumn<int>("boardCount");    // boards found; the first answers with a name
    QTest::addColumn<int>("presetStatus");  // stored before the first Next: jumps to the finish page
    QTest::addColumn<int>("refusedPacket"); // the board refuses that packet: the update fails
    QTest::addColumn<int>("nexts");
    QTest::addColumn<QString>("page");

    QTest::newRow("welcome") << 0 << 0 << 0 << 0 << "welcomePage";
    QTest::newRow("instructions") << 0 << 0 << 0 << 1 << "bootRestartPage";
    QTest::newRow("detection, no board") << 0 << 0 << 0 << 2 << "detectDevicePage";
    QTest::newRow("detection, one board") << 1 << 0 << 0 << 2 << "detectDevicePage";
    QTest::newRow("detection, several boards") << 2 << 0 << 0 << 2 << "detectDevicePage";
    QTest::newRow("update, complete") << 1 << 0 << 0 << 3 << "updatePage";
    QTest::newRow("update, failed") << 1 << 0 << 1 << 3 << "updatePage";
    QTest::newRow("finish, updated") << 1 << 0 << 0 << 4 << "finishPage";
    for (int status = 1; status <= 7; ++status)
        QTest::addRow("finish, message %d", status) << 0 << status << 0 << 1 << "finishPage";
}

void TestPageLayout::everyTextFitsTheWindow()
{
    QFETCH(int, boardCount);
    QFETCH(int, presetStatus);
    QFETCH(int, refusedPacket);
    QFETCH(int, nexts);

    CLayoutRig rig;
    for (int i = 0; i < boardCount; ++i)
        rig.boards.paths.push_back("/dev/parvel/board" + std::to_string(i));
    if (boardCount > 0)
        rig.boards.names[rig.boards.paths.front()] = "VELVANE PJ 7";
    rig.board.refusePacket = refusedPacket;

    rig.wizard = std::make_unique<CTiskarUpdater>(DeviceServices{&rig.boards, &rig.board, &rig.image});
    CTiskarUpdater &wizard = *rig.wizard;
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    wizard.setStatus(presetStatus);

    QPushButton *next = wizardButton(wizard, "nextButton");
    for (int i = 0; i < nexts; ++i) {
        clickButton(next);
        // The update page holds Next back until its transfer has ended.
        QTRY_VERIFY(next->isEnabled());
    }
    // The frame shows a page it puts on display once events run.
    QTRY_VERIFY(rig.pageOnDisplay());
    QWidget *page = rig.pageOnDisplay();
    QTEST(page->objectName(), "page");
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    const QRect window = wizard.rect();
    const QRect pageArea = QRect(page->mapTo(&wizard, QPoint(0, 0)), page->size());
    QVERIFY2(window.contains(pageArea), describe(page).constData());
    const int separatorTop = namedChild<QFrame>(wizard, "separator")->geometry().top();
    QVERIFY2(pageArea.bottom() < separatorTop, describe(page).constData());
    // A page wider than its place pushes the side image aside and crops it.
    auto *sideImage = namedChild<QLabel>(wizard, "sideImage");
    QVERIFY(!sideImage->pixmap().isNull());
    QVERIFY2(sideImage->width() >= sideImage->pixmap().width(), describe(sideImage).constData());
    QVERIFY2(!sideImage->geometry().intersects(pageArea),
             (describe(sideImage) + " under " + describe(page)).constData());

    QList<QWidget *> shown;
    for (QWidget *widget : page->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (widget->isVisible())
            shown << widget;
    }
    for (QWidget *widget : shown) {
        QVERIFY2(page->rect().contains(widget->geometry()), describe(widget).constData());
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            const QSize needed = neededSize(label);
            QVERIFY2(label->width() >= needed.width() && label->height() >= needed.height(),
                     (describe(label) + " needs " + QByteArray::number(needed.width()) + 'x'
                      + QByteArray::number(needed.height()))
                         .constData());
        }
    }
    for (int i = 0; i < shown.size(); ++i) {
        for (int j = i + 1; j < shown.size(); ++j) {
            QVERIFY2(!shown.at(i)->geometry().intersects(shown.at(j)->geometry()),
                     (describe(shown.at(i)) + " overlaps " + describe(shown.at(j))).constData());
        }
    }
}

QTEST_MAIN(TestPageLayout)
#include "tst_PageLayout.moc"
