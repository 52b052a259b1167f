#include "CTiskarUpdater.h"
#include "ApplicationSetup.h"
#include "CCheckedFirmwareImage.h"
#include "CMemoryFirmwareImage.h"
#include "QtCompat.h"
#include "CRecordingTransport.h"
#include "CScriptedTargetAccess.h"
#include "WizardControls.h"

#include <QFontInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QtMath>

#include <QTranslator>

#include <cmath>
#include <memory>

// Every page of the real wizard, in each of its states, must show all of its
// texts in the fixed window: no line cut off, nothing outside the window or
// under the separator, no widget on top of another. A translation may make
// the texts longer; the pages must take that too.

namespace {

constexpr std::size_t kImageSize = 2000;
// On the window's light background, a column with a pixel darker than the
// first holds a stroke of a letter; one with none darker than the second is
// blank. Between them lie the edges of strokes, which smoothing draws a
// little lighter or darker from one place to another.
constexpr int kStrokeGray = 96;
constexpr int kBlankGray = 200;

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

// The darkest grey in a column of device pixels.
int darkestInColumn(const QImage &image, int x)
{
    int darkest = 255;
    for (int y = 0; y < image.height(); ++y)
        darkest = qMin(darkest, qGray(image.pixel(x, y)));
    return darkest;
}

// The columns of device pixels in which a text drawn alone has a stroke and
// the same text drawn in the window is blank.
QByteArray missingColumns(const QImage &inPlace, const QImage &alone)
{
    QByteArray missing;
    for (int x = 0; x < alone.width() && x < inPlace.width(); ++x) {
        if (darkestInColumn(alone, x) < kStrokeGray && darkestInColumn(inPlace, x) >= kBlankGray)
            missing += ' ' + QByteArray::number(x);
    }
    return missing;
}

// The widths, in device pixels, of the blank runs of columns between the
// first and the last stroke of a line of text, left to right: the gaps
// within words and between them.
QVector<int> gapsBetweenStrokes(const QImage &line)
{
    QVector<int> gaps;
    int blank = 0;
    bool inked = false;
    for (int x = 0; x < line.width(); ++x) {
        const int darkest = darkestInColumn(line, x);
        if (darkest >= kBlankGray) {
            ++blank;
        } else if (darkest < kStrokeGray) {
            if (inked && blank > 0)
                gaps << blank;
            inked = true;
            blank = 0;
        }
    }
    return gaps;
}

// A label's one line set by itself on the device as the font is at the
// display's scale: at the largest whole pixel size not above the scaled one.
QImage setAtDeviceSize(const QLabel &label, qreal scale)
{
    QFont font = label.font();
    if (scale != 1)
        font.setPixelSize(qFloor(QFontInfo(font).pixelSize() * scale + 1e-6));
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(label.text()) + metrics.height(), metrics.height(), QImage::Format_RGB32);
    image.fill(label.palette().color(QPalette::Window));
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(label.palette().color(QPalette::WindowText));
    painter.drawText(QPoint(metrics.height() / 2, metrics.ascent()), label.text());
    return image;
}

QByteArray gapList(const QVector<int> &gaps)
{
    QByteArray list;
    for (const int gap : gaps)
        list += QByteArray::number(gap) + ' ';
    return list.trimmed();
}

// The boards, transport and image behind the wizard, and the wizard itself,
// which goes first so that a transfer has ended before its transport goes.
struct CLayoutRig
{
    CScriptedTargetAccess boards;
    CRecordingTransport board;
    CMemoryFirmwareImage image{CMemoryFirmwareImage::patternBytes(kImageSize, 3)};
    const std::string digest = firmwareSha256(image.bytes.data(), image.bytes.size());
    std::unique_ptr<CTiskarUpdater> wizard;

    QWidget *pageOnDisplay() const
    {
        QWidget *shown = nullptr;
        for (int index = 0; index < CTiskarUpdater::kPageCount; ++index) {
            if (QWidget *page = wizard->newestPage(index); page && page->isVisible())
                shown = page;
        }
        return shown;
    }
};

// A translation whose every text is about a third longer than the English,
// as texts tend to come back from translators: each word grows by
// kGrowth of its letters, so lines wrap as real words would.
class CLongerTextTranslator : public QTranslator
{
public:
    static constexpr double kGrowth = 0.35;

    QString translate(const char *, const char *sourceText, const char *, int) const override
    {
        const QString source = QString::fromUtf8(sourceText);
        QString longer;
        int wordStart = 0;
        for (int i = 0; i <= source.size(); ++i) {
            if (i < source.size() && source.at(i).isLetter())
                continue;
            const QString word = source.mid(wordStart, i - wordStart);
            const int extra = int(std::lround(word.size() * kGrowth));
            longer += word + word.right(extra);
            if (i < source.size())
                longer += source.at(i);
            wordStart = i + 1;
        }
        return longer;
    }

    bool isEmpty() const override
    {
        return false;
    }
};

} // namespace

class TestPageLayout : public QObject
{
    Q_OBJECT

public:
    // Before the application object, as the program scales to the display.
    static void initMain()
    {
        prepareDisplayScaling();
    }

private slots:
    void initTestCase();
    void everyTextFitsTheWindow_data();
    void everyTextFitsTheWindow();
    void longerTranslationCutsOffOnlyKnownLabels_data();
    void longerTranslationCutsOffOnlyKnownLabels();

private:
    struct CutOffLabels
    {
        QStringList names;
        QByteArray details;
    };
    void verifyPageStateFits(CutOffLabels &cutOff);
};

// The font and style the program starts with.
void TestPageLayout::initTestCase()
{
    prepareWindowLook();
}

void TestPageLayout::everyTextFitsTheWindow_data()
{
    QTest::addColumn<int>("boardCount");    // boards found; the first answers with a name
    QTest::addColumn<int>("presetStatus");  // stored before the first Next: jumps to the finish page
    QTest::addColumn<int>("refusedPacket"); // the board refuses that packet: the update fails
    QTest::addColumn<int>("nexts");
    QTest::addColumn<QString>("page");
    // The labels a translation about 35 % longer cuts off. The window and
    // the pages' layouts are fixed: the instruction labels lose 1 pixel of
    // their third line, the welcome page's driver note 2 pixels, and the
    // update page's running-status line, which does not wrap, is 33 pixels
    // too wide once the update has failed (the complete text is shorter).
    QTest::addColumn<QStringList>("cutOffWhenLonger");

    const QStringList none;
    QTest::newRow("welcome") << 0 << 0 << 0 << 0 << "welcomePage" << QStringList{"driverNoteLabel"};
    QTest::newRow("instructions") << 0 << 0 << 0 << 1 << "bootRestartPage"
                                  << QStringList{"resetLabel", "connectLabel", "holdStandbyLabel"};
    QTest::newRow("detection, no board") << 0 << 0 << 0 << 2 << "detectDevicePage" << none;
    QTest::newRow("detection, one board") << 1 << 0 << 0 << 2 << "detectDevicePage" << none;
    QTest::newRow("detection, several boards") << 2 << 0 << 0 << 2 << "detectDevicePage" << none;
    QTest::newRow("update, complete") << 1 << 0 << 0 << 3 << "updatePage" << none;
    QTest::newRow("update, failed") << 1 << 0 << 1 << 3 << "updatePage" << QStringList{"statusLabel"};
    QTest::newRow("finish, updated") << 1 << 0 << 0 << 4 << "finishPage" << none;
    for (int status = 1; status <= 7; ++status)
        QTest::addRow("finish, message %d", status) << 0 << status << 0 << 1 << "finishPage" << none;
}

void TestPageLayout::everyTextFitsTheWindow()
{
    CutOffLabels cutOff;
    verifyPageStateFits(cutOff);
    QVERIFY2(cutOff.names.isEmpty(), cutOff.details.constData());
}

void TestPageLayout::longerTranslationCutsOffOnlyKnownLabels_data()
{
    everyTextFitsTheWindow_data();
}

// Everything but the known labels fits: the pages stay inside the window,
// nothing overlaps, and every other label shows all of its text. Pages
// translate their texts when they are built, so the translator goes in
// first, as start-up installs it.
void TestPageLayout::longerTranslationCutsOffOnlyKnownLabels()
{
    CLongerTextTranslator longer;
    QVERIFY(QCoreApplication::installTranslator(&longer));
    const QString translated = QCoreApplication::translate("CWizardTemplate", "Cancel");
    QCOMPARE(translated, QStringLiteral("Cancelel"));
    CutOffLabels cutOff;
    verifyPageStateFits(cutOff);
    QCoreApplication::removeTranslator(&longer);
    QFETCH(QStringList, cutOffWhenLonger);
    QVERIFY2(cutOff.names == cutOffWhenLonger, cutOff.details.constData());
}

// The wizard walked to one row's page state, checked as it is shown. Labels
// too small for their text are gathered, not failed, for the caller to judge.
void TestPageLayout::verifyPageStateFits(CutOffLabels &cutOff)
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

    rig.wizard = std::make_unique<CTiskarUpdater>(DeviceServices{&rig.boards, &rig.board, &rig.image, rig.digest.c_str()});
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

    // The window keeps its size whatever its pages ask for, at every scale.
    QCOMPARE(wizard.size(), QSize(CWizardTemplate::kWidth, CWizardTemplate::kHeight));
    const QRect window = wizard.rect();
    const QRect pageArea = QRect(page->mapTo(&wizard, QPoint(0, 0)), page->size());
    QVERIFY2(window.contains(pageArea), describe(page).constData());
    const int separatorTop = namedChild<QFrame>(wizard, "separator")->geometry().top();
    QVERIFY2(pageArea.bottom() < separatorTop, describe(page).constData());
    // A page wider than its place pushes the side image aside and crops it.
    auto *sideImage = namedChild<QLabel>(wizard, "sideImage");
    QVERIFY(!compat::labelPixmap(*sideImage).isNull());
    QVERIFY2(sideImage->width() >= compat::labelPixmap(*sideImage).width(), describe(sideImage).constData());
    QVERIFY2(!sideImage->geometry().intersects(pageArea),
             (describe(sideImage) + " under " + describe(page)).constData());

    // The window as the screen shows it, in device pixels.
    const QImage drawn = wizard.grab().toImage();
    const qreal scale = drawn.devicePixelRatio();
    QList<QWidget *> shown;
    for (QWidget *widget : page->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (widget->isVisible())
            shown << widget;
    }
    for (QWidget *widget : shown) {
        QVERIFY2(page->rect().contains(widget->geometry()), describe(widget).constData());
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            // Drawn in its place, a label's text has every column of ink
            // that the label drawn alone has, even where the label's edge
            // falls between two device pixels.
            const QImage alone = label->grab().toImage();
            const QPoint at = label->mapTo(&wizard, QPoint(0, 0));
            const QImage inPlace = drawn.copy(QRect(QPoint(qRound(at.x() * scale), qRound(at.y() * scale)), alone.size()));
            const QByteArray missing = missingColumns(inPlace, alone);
            // clang-format off
            QVERIFY2(missing.isEmpty(), (describe(label) + " at scale " + QByteArray::number(scale)
                                         + " lacks the columns" + missing).constData());
            // clang-format on
            // A line is spaced as its font is at the display's scale: words
            // neither run together nor fall apart.
            const bool oneLine = !label->text().contains(QLatin1Char('\n'))
                                 && label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width();
            if (oneLine) {
                const QVector<int> gaps = gapsBetweenStrokes(inPlace);
                const QVector<int> expected = gapsBetweenStrokes(setAtDeviceSize(*label, scale));
                // clang-format off
                QVERIFY2(gaps == expected, (describe(label) + " at scale " + QByteArray::number(scale) + " has the gaps "
                                            + gapList(gaps) + ", set alone " + gapList(expected)).constData());
                // clang-format on
            }
            const QSize needed = neededSize(label);
            if (label->width() < needed.width() || label->height() < needed.height()) {
                cutOff.names << label->objectName();
                cutOff.details += describe(label) + " needs " + QByteArray::number(needed.width()) + 'x'
                                  + QByteArray::number(needed.height()) + "; ";
            }
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
