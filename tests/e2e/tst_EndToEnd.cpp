#include "CBoardSimProcess.h"
#include "CDetectDevicePage.h"
#include "CTiskarUpdater.h"
#include "CUpdatePage.h"
#include "EmbeddedFirmwareDigest.h"
#include "WizardControls.h"
#include "WizardTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The update page gives up after 160 ticks of 1.2 s; a road takes at most
// that long, plus detection.
constexpr int kUpdateTimeoutMs = 200000;
constexpr int kDownloadLineTimeoutMs = 10000;

// A text as the autopilot prints it: each line indented by four blanks.
QString asPrinted(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line.prepend(QStringLiteral("    "));
    return lines.join(QLatin1Char('\n'));
}

#ifdef DOCS_PICTURE
// How near each pixel of a page drawn now must come to its place in the
// README's picture, in each colour channel, as in tools/windows/screen-check:
// a colour may be rounded differently, but not one pixel may go further.
// A text that loses its full stop differs in four pixels.
constexpr int kChannelTolerance = 3;

// Pixels of two equally large pictures that differ by more than the
// tolerance in a channel.
int differingPixels(const QImage &a, const QImage &b)
{
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (qAbs(qRed(p) - qRed(q)) > kChannelTolerance || qAbs(qGreen(p) - qGreen(q)) > kChannelTolerance
                || qAbs(qBlue(p) - qBlue(q)) > kChannelTolerance || qAbs(qAlpha(p) - qAlpha(q)) > kChannelTolerance)
                ++differing;
        }
    }
    return differing;
}

// Where the pages saved in `folder` (one picture per page, named in the
// order shown) are unlike their places in `picturePath`, which holds them
// side by side with equal gaps; empty when each one matches.
QString pagesUnlikePicture(const QString &folder, const QString &picturePath)
{
    const QImage picture = QImage(picturePath).convertToFormat(QImage::Format_ARGB32);
    if (picture.isNull())
        return QStringLiteral("cannot read %1").arg(picturePath);
    const QDir pages(folder);
    const QStringList names = pages.entryList(QStringList{"*.png"}, QDir::Files, QDir::Name);
    if (names.size() != CTiskarUpdater::kPageCount)
        return QStringLiteral("%1 pictures of pages in %2").arg(names.size()).arg(folder);
    const QSize page = QImage(pages.filePath(names.first())).size();
    const int gaps = picture.width() - names.size() * page.width();
    if (picture.height() != page.height() || gaps < 0 || gaps % (names.size() - 1) != 0)
        return QStringLiteral("%1 is %2 x %3 pixels: not %4 pages of %5 x %6 side by side")
            .arg(picturePath)
            .arg(picture.width())
            .arg(picture.height())
            .arg(names.size())
            .arg(page.width())
            .arg(page.height());
    const int step = page.width() + gaps / (names.size() - 1);
    QStringList unlike;
    for (int i = 0; i < names.size(); ++i) {
        const QImage drawn = QImage(pages.filePath(names.at(i))).convertToFormat(QImage::Format_ARGB32);
        const QImage shown = picture.copy(i * step, 0, page.width(), page.height());
        const int differing = drawn.size() == page ? differingPixels(drawn, shown) : page.width() * page.height();
        if (differing > 0)
            unlike << QStringLiteral("%1: %2 pixels differ").arg(names.at(i)).arg(differing);
    }
    if (unlike.isEmpty())
        return QString();
    return QStringLiteral("the pages no longer look as %1 shows them (%2); tools/make-docs-picture makes it again")
        .arg(picturePath, unlike.join(QStringLiteral(", ")));
}
#endif

// A socket that takes every connection into its backlog and never reads or
// writes a byte: a system bus that never answers.
struct SilentSocket
{
    explicit SilentSocket(const QString &path)
    {
        const QByteArray name = QFile::encodeName(path);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(name.size()) >= sizeof address.sun_path)
            return;
        std::copy(name.begin(), name.end(), address.sun_path);
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        listening = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
                    && ::listen(fd, SOMAXCONN) == 0;
    }
    ~SilentSocket()
    {
        if (fd >= 0)
            ::close(fd);
    }
    SilentSocket(const SilentSocket &) = delete;
    SilentSocket &operator=(const SilentSocket &) = delete;

    int fd = -1;
    bool listening = false;
};

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void road_data();
    void road();
    void copyOfTheProgram_data();
    void copyOfTheProgram();

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
    QCOMPARE(next->text(), kFinishButton);
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

// The program as a technician receives it, copied, once as it is and once
// with one byte of its embedded image flipped (a bad copy to a stick, a bit
// gone bad on disk): the autopilot, which is the real wizard pressed through
// to Finish, against a simulated board. Its lock against sleep may meet a
// system bus that takes the connection and never says a word.
void TestEndToEnd::copyOfTheProgram_data()
{
    QTest::addColumn<bool>("flipByte");
    QTest::addColumn<bool>("silentBus");

    QTest::newRow("intact copy: updated") << false << false;
    QTest::newRow("one byte of the image flipped: nothing sent") << true << false;
    QTest::newRow("system bus that never answers: updated, and the program ends") << false << true;
}

void TestEndToEnd::copyOfTheProgram()
{
    QFETCH(bool, flipByte);
    QFETCH(bool, silentBus);

    const QByteArray image = fileContents(QStringLiteral(FIRMWARE_IMAGE_FILE));
    QByteArray program = fileContents(QStringLiteral(AUTOPILOT_PATH));
    QVERIFY(image.size() > 4096 && !program.isEmpty());
    const auto at = program.indexOf(image.left(4096)); // int in Qt 5
    QVERIFY2(at >= 0, "the image is not found in the program");
    QVERIFY(program.mid(at, image.size()) == image);
    if (flipByte)
        program[at + image.size() / 2] = char(program.at(at + image.size() / 2) ^ 0x01);
    QTemporaryDir copyDir;
    const QString copy = copyDir.filePath(QStringLiteral("tiskar-autopilot"));
    QFile file(copy);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(program) == program.size());
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));

    const QString saved = runtimeDir.filePath(QStringLiteral("copy.bin"));
    QFile::remove(saved);
    CBoardSimProcess board;
    QVERIFY(board.start(boardDir, QStringList{"--link", "copy-board", "--save", saved}));

    QProcess pilot;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The transport library beside the original, not the copy.
    environment.insert(QStringLiteral("LD_LIBRARY_PATH"), QFileInfo(QStringLiteral(AUTOPILOT_PATH)).absolutePath());
    std::unique_ptr<SilentSocket> bus;
    if (silentBus) {
        const QString busPath = copyDir.filePath(QStringLiteral("silent-bus"));
        bus = std::make_unique<SilentSocket>(busPath);
        QVERIFY(bus->listening);
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=") + busPath);
    }
    pilot.setProcessEnvironment(environment);
    const QString pictures = copyDir.filePath(QStringLiteral("pages"));
    pilot.start(copy, QStringList{pictures});
    QVERIFY(pilot.waitForFinished(kUpdateTimeoutMs));
    const QString shown = QString::fromUtf8(pilot.readAllStandardOutput());
    const QString log = QString::fromUtf8(pilot.readAllStandardError());
    QCOMPARE(pilot.exitStatus(), QProcess::NormalExit);
    // What it printed says why, a sanitizer's report included.
    QVERIFY2(pilot.exitCode() == 0, qPrintable(QStringLiteral("exit code %1:\n%2").arg(pilot.exitCode()).arg(log.right(6000))));

    const QString digest = QString::fromLatin1(kEmbeddedFirmwareSha256);
    QVERIFY2(log.contains(QStringLiteral("firmware image BINFILE 104: %1 bytes, SHA-256 %2").arg(image.size()).arg(digest)),
             qPrintable(log));
    QCOMPARE(shown.contains("Message box\n" + asPrinted(kFileNotFound) + "\n"), flipByte);
    if (flipByte) {
        QVERIFY2(log.contains(QStringLiteral("SHA-256 expected %1, found ").arg(digest)), qPrintable(log));
        QVERIFY2(shown.contains(asPrinted(kFinishMessages[1])), qPrintable(shown));
    } else {
        QVERIFY2(shown.contains(asPrinted(kFinishMessages[0])), qPrintable(shown));
        QVERIFY(!board.waitForLine(QStringLiteral("DOWNLOAD OK "), kDownloadLineTimeoutMs).isEmpty());
        QVERIFY(fileContents(saved) == image);
        // The README shows these pages.
#ifdef DOCS_PICTURE
        const QString unlike = pagesUnlikePicture(pictures, QStringLiteral(DOCS_PICTURE));
        QVERIFY2(unlike.isEmpty(), qPrintable(unlike));
#endif
    }
    QCOMPARE(board.stop().code, 0);
    // The box comes only after the connection is made; a board that got even
    // one packet reports the download when the connection or the board ends.
    if (flipByte) {
        QCOMPARE(board.reports().filter(QStringLiteral("DOWNLOAD")), QStringList{});
        QVERIFY(fileContents(saved).isEmpty());
    }
}

QTEST_MAIN(TestEndToEnd)
#include "tst_EndToEnd.moc"
