#include "BoardProtocol.h"
#include "CBoardSimProcess.h"
#include "DeviceLog.h"
#include "linux/CLinuxTargetAccess.h"
#include "TargetQuery.h"

#include <QTest>

#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QByteArray kQuery = QByteArray::fromHex("53510000ffffffff0000000000000000");

// The query always takes both pauses; a lower bound cannot flake.
constexpr qint64 kBothPausesMs = 2 * kQueryPauseMs;

std::string timedQuery(CLinuxTargetAccess &targets, const std::string &path, qint64 &elapsedMs)
{
    QElapsedTimer clock;
    clock.start();
    const std::string name = targets.queryTargetName(path);
    elapsedMs = clock.elapsed();
    return name;
}

// What a board on a bare pseudo-terminal does once the query is in.
enum class BareBoard {
    ReplyInPieces,       // 20 bytes at 600 ms, the rest at 800 ms
    FullReplyThenHangUp, // 276 bytes at 600 ms, then the line is closed
    HangUpAfterQuery,    // closes the line at once, no reply
    EndOfFile,           // the line signals end of file at 600 ms
    FullLine,            // the line is full before the query; drained at 200 ms
    KernelLineMode,      // the line as the kernel sets it up; 276 bytes at 600 ms, then listens
};

// Reads the board's end of the line until the query has come in whole; false
// when it does not within three seconds.
bool awaitQuery(int master, QByteArray &received)
{
    while (!received.endsWith(kQuery)) {
        pollfd readable{master, POLLIN, 0};
        if (::poll(&readable, 1, 3000) <= 0)
            return false;
        char chunk[4096];
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        received.append(chunk, n);
    }
    return true;
}

bool hangsUp(BareBoard board)
{
    return board == BareBoard::FullReplyThenHangUp || board == BareBoard::HangUpAfterQuery;
}

// Waits until the reader has taken everything from the line's input queue,
// seen through `line`, the test's own descriptor of it. At least 50 ms, so the
// kernel has moved the written bytes into the queue; at most 300 ms, which
// still ends inside the second pause.
void awaitLineDrained(int line)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        ::usleep(5 * 1000);
        int queued = 0;
        if (::ioctl(line, FIONREAD, &queued) != 0)
            return;
        if ((queued == 0 && clock.elapsed() >= 50) || clock.elapsed() >= 300)
            return;
    }
}

// Plays `board` on the master side; a board that hangs up closes it.
// Closing the master flushes what the other end has not read yet.
void playBoard(BareBoard board, int master, int line, QByteArray &received)
{
    if (board == BareBoard::FullLine)
        ::usleep(200 * 1000);
    if (!awaitQuery(master, received))
        return;
    switch (board) {
    case BareBoard::ReplyInPieces: {
        const auto reply = board::identityReply("PIECE BOARD", true);
        ::usleep(600 * 1000);
        (void)!::write(master, reply.data(), 20);
        ::usleep(200 * 1000);
        (void)!::write(master, reply.data() + 20, reply.size() - 20);
        break;
    }
    case BareBoard::FullReplyThenHangUp:
        ::usleep(600 * 1000);
        (void)!::write(master, board::identityReply("HUNG UP", true).data(), board::kIdentityReplySize);
        // Let the reply be read before the line goes.
        awaitLineDrained(line);
        break;
    case BareBoard::HangUpAfterQuery:
        break;
    case BareBoard::EndOfFile:
        ::usleep(600 * 1000);
        (void)!::write(master, "\x04", 1);
        break;
    case BareBoard::FullLine:
        (void)!::write(master, board::identityReply("SLOW LINE", true).data(), board::kIdentityReplySize);
        break;
    case BareBoard::KernelLineMode: {
        ::usleep(600 * 1000);
        (void)!::write(master, board::identityReply("DEFAULT LINE", true).data(), board::kIdentityReplySize);
        // An echoing line would send the reply back to the board.
        pollfd readable{master, POLLIN, 0};
        char chunk[4096];
        while (::poll(&readable, 1, 300) > 0) {
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n <= 0)
                break;
            received.append(chunk, n);
        }
        break;
    }
    }
    if (hangsUp(board))
        ::close(master);
}

// Writes to the line until it takes no more; the number of bytes written.
qsizetype fillLine(int line)
{
    const int flags = ::fcntl(line, F_GETFL);
    ::fcntl(line, F_SETFL, flags | O_NONBLOCK);
    const QByteArray filler(4096, 'x');
    qsizetype total = 0;
    for (;;) {
        const ssize_t n = ::write(line, filler.constData(), size_t(filler.size()));
        if (n <= 0)
            break;
        total += n;
    }
    ::fcntl(line, F_SETFL, flags);
    return total;
}

} // namespace

Q_DECLARE_METATYPE(BareBoard)

// The identity query on real device nodes: the board simulator behind a
// pseudo-terminal, found by enumeration and asked for its name.
class TestBoardQuery : public QObject
{
    Q_OBJECT

private slots:
    void query_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("expected");

        QByteArray repeated;
        while (repeated.size() < 260)
            repeated += "VELVANE SIM-1";
        repeated.truncate(260);

        QTest::newRow("name") << QStringList{} << QByteArray("VELVANE SIM-1");
        QTest::newRow("name with parentheses") << QStringList{"--name", "P (rev 2)"} << QByteArray("P (rev 2)");
        QTest::newRow("reply during the first pause") << QStringList{"--reply-delay", "300"}
                                                      << QByteArray("VELVANE SIM-1");
        QTest::newRow("reply during the second pause") << QStringList{"--reply-delay", "750"}
                                                       << QByteArray("VELVANE SIM-1");
        QTest::newRow("reply after a second") << QStringList{"--reply-delay", "1500"} << QByteArray();
        QTest::newRow("silent") << QStringList{"--silent"} << QByteArray();
        // A full buffer does not end the exchange early.
        QTest::newRow("no NUL") << QStringList{"--no-nul"} << repeated;
        QTest::newRow("line in the kernel's default mode") << QStringList{"--kernel-line-mode"}
                                                           << QByteArray("VELVANE SIM-1");
    }

    void query()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, expected);

        CBoardSimProcess board;
        QVERIFY(board.start(options));

        CLinuxTargetAccess targets({board.directory().toStdString()});
        std::list<std::string> paths;
        QCOMPARE(targets.findTargets(paths), 1);
        QCOMPARE(QString::fromStdString(paths.front()), board.linkPath());

        const QStringList before = openDescriptors();
        qint64 elapsedMs = 0;
        const std::string name = timedQuery(targets, paths.front(), elapsedMs);
        QCOMPARE(openDescriptors(), before);
        QCOMPARE(QByteArray::fromStdString(name), expected);
        QVERIFY2(elapsedMs >= kBothPausesMs, qPrintable(QString::number(elapsedMs)));
    }

    // Boards on a bare pseudo-terminal: what the query wrote, the name it
    // took, and that both pauses passed whatever the line did.
    void barePty_data()
    {
        QTest::addColumn<BareBoard>("board");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("reply in pieces") << BareBoard::ReplyInPieces << QByteArray("PIECE BOARD");
        QTest::newRow("full reply, then hang-up") << BareBoard::FullReplyThenHangUp << QByteArray("HUNG UP");
        QTest::newRow("hang-up after the query") << BareBoard::HangUpAfterQuery << QByteArray();
        QTest::newRow("end of file") << BareBoard::EndOfFile << QByteArray();
        QTest::newRow("full line") << BareBoard::FullLine << QByteArray("SLOW LINE");
        QTest::newRow("line in the kernel's default mode") << BareBoard::KernelLineMode << QByteArray("DEFAULT LINE");
    }

    void barePty()
    {
        QFETCH(BareBoard, board);
        QFETCH(QByteArray, expected);

        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(master >= 0);
        QVERIFY(grantpt(master) == 0 && unlockpt(master) == 0);
        const std::string slave = ptsname(master);
        termios raw, before;
        const int line = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(line >= 0 && tcgetattr(line, &raw) == 0);
        cfmakeraw(&raw);
        if (board == BareBoard::EndOfFile)
            raw.c_lflag |= ICANON;
        QVERIFY(board == BareBoard::KernelLineMode || tcsetattr(line, TCSANOW, &raw) == 0);
        QVERIFY(tcgetattr(line, &before) == 0);
        const qsizetype filled = board == BareBoard::FullLine ? fillLine(line) : 0;
        QVERIFY(board != BareBoard::FullLine || filled > 0);

        QByteArray received;
        std::thread boardThread(playBoard, board, master, line, std::ref(received));
        CLinuxTargetAccess targets({});
        qint64 elapsedMs = 0;
        const std::string name = timedQuery(targets, slave, elapsedMs);
        boardThread.join();
        // The query leaves the line as it found it.
        termios after;
        // clang-format off
        const bool settingsKept = hangsUp(board) || (tcgetattr(line, &after) == 0 && after.c_lflag == before.c_lflag
                                                     && after.c_iflag == before.c_iflag && after.c_oflag == before.c_oflag);
        // clang-format on
        if (!hangsUp(board))
            ::close(master);
        ::close(line);
        QVERIFY(settingsKept);

        QCOMPARE(received.size(), filled + kQuery.size());
        QCOMPARE(received.right(kQuery.size()).toHex(' '), kQuery.toHex(' '));
        QCOMPARE(QByteArray::fromStdString(name), expected);
        QVERIFY2(elapsedMs >= kBothPausesMs, qPrintable(QString::number(elapsedMs)));
    }

    // A path that is no board's node gets no answer, is never written to
    // and leaves no descriptor open.
    void notABoard_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing path") << false;
        QTest::newRow("regular file") << true;
    }

    void notABoard()
    {
        QFETCH(bool, exists);
        QTemporaryDir dir;
        const QString path = dir.filePath("board0");
        QFile file(path);
        if (exists) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
        }
        CLinuxTargetAccess targets({dir.path().toStdString()});
        const QStringList before = openDescriptors();
        QVERIFY(targets.queryTargetName(path.toStdString()).empty());
        QCOMPARE(openDescriptors(), before);
        QCOMPARE(QFileInfo::exists(path), exists);
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    // A board another process is talking to is not shared: it stays silent
    // until that process lets go.
    void heldBoard()
    {
        CBoardSimProcess board;
        QVERIFY(board.start());
        CLinuxTargetAccess targets({board.directory().toStdString()});
        const std::string path = board.linkPath().toStdString();

        const int holder = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(holder >= 0);
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        const QStringList before = openDescriptors();
        const std::string whileHeld = targets.queryTargetName(path);
        QCOMPARE(openDescriptors(), before);
        ::close(holder);

        QVERIFY(whileHeld.empty());
        QCOMPARE(targets.queryTargetName(path), std::string("VELVANE SIM-1"));
    }

    // A node this user may not open is still "no projector" on the page, but
    // the log says why and what to do. Root opens anything, so as root the
    // query runs in a child that has become an ordinary user.
    void permissionDenied()
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(master >= 0);
        QVERIFY(grantpt(master) == 0 && unlockpt(master) == 0);
        const std::string node = ptsname(master);
        QVERIFY(::chmod(node.c_str(), 0) == 0);

        int logPipe[2];
        QVERIFY(::pipe(logPipe) == 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(logPipe[0]);
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                _exit(3);
            setDeviceLogSink([&](DeviceLogLevel, const std::string &line) {
                (void)!::write(logPipe[1], (line + "\n").data(), line.size() + 1);
            });
            CLinuxTargetAccess targets({});
            _exit(targets.queryTargetName(node).empty() ? 0 : 1);
        }
        ::close(logPipe[1]);
        QByteArray logged;
        char chunk[512];
        for (ssize_t n; (n = ::read(logPipe[0], chunk, sizeof chunk)) > 0;)
            logged.append(chunk, n);
        ::close(logPipe[0]);
        const int exitCode = waitForExit(child, 10000);
        ::close(master);
        QCOMPARE(exitCode, 0);
        QVERIFY2(logged.contains("permission denied on " + QByteArray::fromStdString(node)), logged.constData());
        QVERIFY2(logged.contains("udev rule"), logged.constData());
    }
};

QTEST_GUILESS_MAIN(TestBoardQuery)
#include "tst_BoardQuery.moc"
