#include "CBoardSimProcess.h"
#include "CSleepInhibitor.h"
#include "CTiskarUpdater.h"
#include "CUpdatePage.h"
#include "linux/CLinuxTargetAccess.h"
#include "CCheckedFirmwareImage.h"
#include "CMemoryFirmwareImage.h"
#include "CShortTimeoutTransport.h"
#include "SpawnedProcess.h"
#include "WizardControls.h"
#include "WizardStatus.h"
#include "WizardTexts.h"

#include <QTest>
#include <QThreadPool>

#include <chrono>
#include <csignal>
#include <thread>

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The transport's timeout in these rows. TISKAR_FAULT_TIMEOUT_MS=26214 runs
// them with the program's own, to measure the longest wait by hand.
int transportTimeoutMs()
{
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("TISKAR_FAULT_TIMEOUT_MS", &ok);
    return ok && fromEnvironment > 0 ? fromEnvironment : 500;
}

// Only a hang fails a row: from Next on the detection page until the update
// page shows its outcome, an update may wait once for the open, the
// handshake and each packet's send and answer, each bounded by the timeout;
// the rest is slack for a loaded machine.
qint64 hangBoundMs()
{
    return 4 * qint64(transportTimeoutMs()) + 20000;
}

// 10000 bytes in packets of 2048: five packets.
constexpr std::size_t kImageSize = 10000;
const QStringList kPacketOptions{"--max-packet", "2048"};

// Rows of the same faults run under Wine against TiskarUpd.exe, named alike:
// tests/faults/wine-rows (tools/windows/check-update).

// What happens to the board's link after detection and before the download.
enum class Swap {
    None,
    Removed,
    RegularFile,
    Fifo,
    OtherBoard,
    EndlessNode,
    Held,
};

// The names of this process's threads, Qt's pool threads left out. The
// pages' image drawing may start some, which would idle for a while with
// descriptors open; they are ended first, but may take a moment to be gone.
QStringList threadNames()
{
    QThreadPool::globalInstance()->waitForDone();
    QStringList names;
    const QString tasks = QStringLiteral("/proc/self/task/");
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        // No name: the thread ended while the list was read.
        const QString name = QString::fromLocal8Bit(fileContents(tasks + task + "/comm").trimmed());
        if (!name.isEmpty() && name != "Thread (pooled)" && !name.startsWith("QThreadPool"))
            names << name;
    }
    names.sort();
    return names;
}

bool processGone(qint64 pid)
{
    return pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH);
}

// Starts a program that takes the node's exclusive lock and keeps it until
// it is ended; true once it holds the lock.
bool holdNode(const std::string &path, SpawnedProcess *holder)
{
    // clang-format off
    if (!spawnWithOutputPipe("/usr/bin/flock", {"--exclusive", "--nonblock", "--no-fork", path, "/bin/sh", "-c",
                                                "echo held; exec sleep 60"},
                             holder))
        return false;
    // clang-format on
    pollfd ready{holder->output, POLLIN, 0};
    char said[8] = {};
    if (::poll(&ready, 1, 5000) == 1 && ::read(holder->output, said, sizeof said) == 5
        && std::string(said, 5) == "held\n")
        return true;
    endProcess(holder->pid, SIGKILL, 5000);
    ::close(holder->output);
    *holder = SpawnedProcess{};
    return false;
}

// One row's update through the real wizard to the simulated board, in the
// steps the row takes. A step does nothing once a check has failed, so the
// row ends at its first failure.
struct CFaultRig
{
    ~CFaultRig()
    {
        if (freezer.joinable())
            thaw();
    }

    // Welcome, instructions, then detection: one board, asked for its name, "Yes".
    void walkToDetection(const QStringList &options, int imageSize)
    {
        QVERIFY(boards.isValid());
        QVERIFY(board->start(dir, kPacketOptions + QStringList{"--save", saved} + options));
        boardPid = board->processId();
        link = board->linkPath().toStdString();
        image.bytes = CMemoryFirmwareImage::patternBytes(std::size_t(imageSize), 7);
        digest = firmwareSha256(image.bytes.data(), image.bytes.size());
        wizard = std::make_unique<CTiskarUpdater>(DeviceServices{&targets, &transport, &image, digest.c_str()});
        wizard->show();
        pressWizardButton(*wizard, "nextButton"); // instructions
        pressWizardButton(*wizard, "nextButton"); // detection
        QCOMPARE(wizard->getCurrentIndex(), 2);
        QCOMPARE(wizard->getStatus(), WizardStatus::kSuccess);
        QVERIFY(QString::fromStdString(wizard->getDevice()).startsWith("VELVANE SIM-1 ("));
    }

    // What happens to the board's link after detection, and whether the
    // board stops in mid-transfer.
    void setUpFault(Swap fault, bool freeze)
    {
        swap = fault;
        if (QTest::currentTestFailed())
            return;
        switch (swap) {
        case Swap::None:
            break;
        case Swap::Removed:
            QVERIFY(::unlink(link.c_str()) == 0);
            break;
        case Swap::RegularFile: {
            QVERIFY(::unlink(link.c_str()) == 0);
            QFile file(board->linkPath());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(notABoard) == notABoard.size());
            break;
        }
        case Swap::Fifo:
            QVERIFY(::unlink(link.c_str()) == 0 && ::mkfifo(link.c_str(), 0600) == 0);
            break;
        case Swap::EndlessNode:
            QVERIFY(::unlink(link.c_str()) == 0 && ::symlink("/dev/zero", link.c_str()) == 0);
            break;
        case Swap::OtherBoard:
            QVERIFY(other->start(boards.path() + "/elsewhere", kPacketOptions + QStringList{"--save", otherSaved}));
            otherPid = other->processId();
            QVERIFY(::unlink(link.c_str()) == 0);
            // clang-format off
            QVERIFY(::symlink(QFileInfo(other->linkPath()).symLinkTarget().toLocal8Bit().constData(),
                              link.c_str()) == 0);
            // clang-format on
            break;
        case Swap::Held:
            // Another program holds the node, as a second updater would.
            QVERIFY(holdNode(link, &holder));
            holderPid = holder.pid;
            break;
        }
        if (freeze) {
            freezer = std::thread([pid = boardPid] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                ::kill(pid_t(pid), SIGSTOP);
            });
        }
    }

    // The transfer starts on the update page, and it is over for the user
    // when the page says how it ended; then on through Finish, and a
    // success means the board at the link holds the whole image.
    void walkToOutcome(int status)
    {
        if (QTest::currentTestFailed())
            return;
        QElapsedTimer clock;
        clock.start();
        pressWizardButton(*wizard, "nextButton");
        QCOMPARE(wizard->getCurrentIndex(), 3);
        CUpdatePage *page = wizard->getUpdatePage();
        const bool ended = QTest::qWaitFor(
            [page] { return namedChild<QLabel>(*page, "continueLabel")->isVisible(); }, int(hangBoundMs()));
        const qint64 elapsedMs = clock.elapsed();
        if (freezer.joinable())
            thaw();
        if (holder.pid > 0) {
            QCOMPARE(endProcess(holder.pid, SIGTERM, 5000), -1);
            ::close(holder.output);
        }
        qInfo("%s: status %d after %lld ms (timeout %d ms)", QTest::currentDataTag(), wizard->getStatus(),
              static_cast<long long>(elapsedMs), transportTimeoutMs());

        QVERIFY2(ended, qPrintable(QString("no outcome after %1 ms").arg(elapsedMs)));
        QCOMPARE(wizard->getStatus(), status);
        const bool success = status == WizardStatus::kSuccess;
        QCOMPARE(outcomeLine(*page, success), success ? kUpdateComplete : kUpdateFailed);
        pressWizardButton(*wizard, "nextButton");
        QCOMPARE(wizard->getCurrentIndex(), 4);
        QCOMPARE(finishMessage(*wizard), kFinishMessages[status]);
        pressWizardButton(*wizard, "nextButton"); // Finish
        QVERIFY(!wizard->isVisible());
        wizard.reset();

        const QByteArray sent(reinterpret_cast<const char *>(image.bytes.data()), qsizetype(image.bytes.size()));
        if (success)
            QCOMPARE(fileContents(swap == Swap::OtherBoard ? otherSaved : saved), sent);
        if (swap == Swap::OtherBoard)
            QVERIFY(board->reports().filter("DOWNLOAD").isEmpty());
        if (swap == Swap::RegularFile)
            QCOMPARE(fileContents(board->linkPath()), notABoard);
    }

    // Every process ended, the link directory empty, and the threads and
    // descriptors as before the row.
    void verifyNothingLeft()
    {
        if (QTest::currentTestFailed())
            return;
        // What the test itself put at the link is its own to remove.
        if (swap != Swap::None && swap != Swap::Held && swap != Swap::Removed)
            QVERIFY(::unlink(link.c_str()) == 0);
        if (swap == Swap::OtherBoard)
            QCOMPARE(other->stop().code, 0);
        QCOMPARE(board->stop().code, 0);
        other.reset();
        board.reset();
        QVERIFY(processGone(boardPid));
        QVERIFY(processGone(otherPid));
        QVERIFY(processGone(holderPid));
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), QStringList());
        // The burn thread has ended its work, but it may take a moment to be gone.
        QTRY_COMPARE(threadNames(), threadsBefore);
        QCOMPARE(openDescriptors(), descriptorsBefore);
    }

    void thaw()
    {
        freezer.join();
        ::kill(pid_t(boardPid), SIGCONT);
    }

    // Taken before anything of the row starts.
    const QStringList threadsBefore = threadNames();
    const QStringList descriptorsBefore = openDescriptors();
    QTemporaryDir boards;
    const QString dir = boards.path() + "/parvel";
    const QString saved = boards.path() + "/received.bin";
    const QString otherSaved = boards.path() + "/other.bin";
    const QByteArray notABoard{"not a board"};
    std::unique_ptr<CBoardSimProcess> board = std::make_unique<CBoardSimProcess>();
    std::unique_ptr<CBoardSimProcess> other = std::make_unique<CBoardSimProcess>();
    qint64 boardPid = -1, otherPid = -1, holderPid = -1;
    std::string link;
    Swap swap = Swap::None;
    SpawnedProcess holder;
    std::thread freezer;
    CMemoryFirmwareImage image;
    std::string digest; // recorded for the image as it was made
    CShortTimeoutTransport transport{transportTimeoutMs()};
    CLinuxTargetAccess targets{{dir.toStdString()}};
    // Goes first, before the boards and the transport it talks to.
    std::unique_ptr<CTiskarUpdater> wizard;
};

} // namespace

Q_DECLARE_METATYPE(Swap)

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    // A sanitizer's runtime starts a helper thread of its own with the
    // process's first thread, Qt keeps what it opens for the first window
    // it shows, and Qt D-Bus its thread (and the system bus's connection,
    // where there is one) from the first lock against sleep on; let all of
    // it happen before threads and descriptors are counted.
    void initTestCase()
    {
        std::thread([] {}).join();
        {
            const CSleepInhibitor awake;
        }
        CTiskarUpdater wizard(DeviceServices{});
        wizard.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    }

    void update_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("imageSize");
        QTest::addColumn<Swap>("swap");
        QTest::addColumn<bool>("freeze");
        QTest::addColumn<int>("status");

        using namespace WizardStatus;
        const int n = int(kImageSize);
        QTest::newRow("vanishes at the first packet") << QStringList{"--vanish-at-packet", "1"} << n << Swap::None << false << kFailed;
        QTest::newRow("vanishes at a middle packet") << QStringList{"--vanish-at-packet", "3"} << n << Swap::None << false << kFailed;
        QTest::newRow("vanishes at the last packet") << QStringList{"--vanish-at-packet", "5"} << n << Swap::None << false << kFailed;
        QTest::newRow("silent from the first packet") << QStringList{"--stop-at-packet", "1"} << n << Swap::None << false << kFailed;
        QTest::newRow("silent from a middle packet") << QStringList{"--stop-at-packet", "3"} << n << Swap::None << false << kFailed;
        QTest::newRow("silent at the last packet") << QStringList{"--stop-at-packet", "5"} << n << Swap::None << false << kFailed;
        QTest::newRow("frozen mid-transfer") << QStringList{"--rate", "20000"} << n << Swap::None << true << kFailed;
        QTest::newRow("refuses a packet") << QStringList{"--refuse-packet", "2"} << n << Swap::None << false << kFailed;
        QTest::newRow("wrong sum") << QStringList{"--wrong-sum"} << n << Swap::None << false << kFailed;
        // The host's own packets coming back are no answer to them.
        QTest::newRow("echoing line") << QStringList{"--echo"} << n << Swap::None << false << kFailed;
        QTest::newRow("largest packet 16") << QStringList{"--max-packet", "16"} << n << Swap::None << false << kFailed;
        // One byte per packet: a short image keeps the row quick.
        QTest::newRow("largest packet 17") << QStringList{"--max-packet", "17"} << 300 << Swap::None << false << kSuccess;
        QTest::newRow("largest packet 16 MiB") << QStringList{"--max-packet", "16777216"} << n << Swap::None << false << kSuccess;
        QTest::newRow("held by another") << QStringList{} << n << Swap::Held << false << kFailed;
        QTest::newRow("link removed") << QStringList{} << n << Swap::Removed << false << kFailed;
        QTest::newRow("link now a regular file") << QStringList{} << n << Swap::RegularFile << false << kFailed;
        QTest::newRow("link now a FIFO") << QStringList{} << n << Swap::Fifo << false << kFailed;
        QTest::newRow("link now an endless node") << QStringList{} << n << Swap::EndlessNode << false << kFailed;
        // The update goes to the board now at the link, and only a board that
        // took the whole image makes it a success.
        QTest::newRow("link now another board") << QStringList{} << n << Swap::OtherBoard << false << kSuccess;
    }

    void update()
    {
        QFETCH(QStringList, options);
        QFETCH(int, imageSize);
        QFETCH(Swap, swap);
        QFETCH(bool, freeze);
        QFETCH(int, status);

        CFaultRig rig;
        rig.walkToDetection(options, imageSize);
        rig.setUpFault(swap, freeze);
        rig.walkToOutcome(status);
        rig.verifyNothingLeft();
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "tst_FaultMatrix.moc"
