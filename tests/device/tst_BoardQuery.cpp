#include "BoardSimProcess.h"
#include "LinuxTargetAccess.h"

#include <QtTest>

#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

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
        QTest::newRow("no NUL") << QStringList{"--no-nul"} << repeated;
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
        const std::string name = targets.queryTargetName(paths.front());
        QCOMPARE(openDescriptors(), before);
        QCOMPARE(QByteArray::fromStdString(name), expected);
    }

    // A board whose reply comes in two pieces, the second during the last
    // pause: what the query wrote, and the whole name, on a bare
    // pseudo-terminal.
    void replyInPieces()
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(master >= 0);
        QVERIFY(grantpt(master) == 0 && unlockpt(master) == 0);
        const QString slave = QString::fromLocal8Bit(ptsname(master));
        termios raw;
        const int line = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(line >= 0 && tcgetattr(line, &raw) == 0);
        cfmakeraw(&raw);
        QVERIFY(tcsetattr(line, TCSANOW, &raw) == 0);

        QByteArray query(16, 0);
        std::thread board([&] {
            qsizetype got = 0;
            while (got < query.size()) {
                // A query that never comes must not hang the test.
                pollfd readable{master, POLLIN, 0};
                if (::poll(&readable, 1, 3000) <= 0)
                    return;
                const ssize_t n = ::read(master, query.data() + got, size_t(query.size() - got));
                if (n <= 0)
                    return;
                got += n;
            }
            QByteArray reply(276, 0);
            reply.replace(16, 11, "PIECE BOARD");
            ::usleep(600 * 1000);
            (void)!::write(master, reply.constData(), 20);
            ::usleep(200 * 1000);
            (void)!::write(master, reply.constData() + 20, 256);
        });
        CLinuxTargetAccess targets({});
        const std::string name = targets.queryTargetName(slave.toStdString());
        board.join();
        ::close(line);
        ::close(master);

        QCOMPARE(query.toHex(' '), QByteArray("53 51 00 00 ff ff ff ff 00 00 00 00 00 00 00 00"));
        QCOMPARE(name, std::string("PIECE BOARD"));
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
};

QTEST_GUILESS_MAIN(TestBoardQuery)
#include "tst_BoardQuery.moc"
