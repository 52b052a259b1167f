#include "DeviceDescriptor.h"

#include <QtTest>

class TestDeviceDescriptor : public QObject
{
    Q_OBJECT

private slots:
    void format_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("plain") << QByteArray("P1") << QByteArray("/dev/parvel/board0")
                               << QByteArray("P1 (/dev/parvel/board0 : 0)");
        QTest::newRow("verbatim") << QByteArray("VELVANE SIM-1 (b)") << QByteArray("/run/p/x")
                                  << QByteArray("VELVANE SIM-1 (b) (/run/p/x : 0)");
    }

    void format()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, expected);
        QCOMPARE(QByteArray::fromStdString(formatDeviceDescriptor(name.toStdString(), path.toStdString())),
                 expected);
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("port");

        const QByteArray longest(259, 'n');
        const QByteArray tooLong(260, 'n');
        const QByteArray longestPath = '/' + QByteArray(258, 'p');
        const QByteArray tooLongPath = '/' + QByteArray(259, 'p');

        QTest::newRow("as formed") << QByteArray("P1 (/dev/parvel/board0 : 0)") << true << QByteArray("P1")
                                   << QByteArray("/dev/parvel/board0") << 0;
        QTest::newRow("name with blank") << QByteArray("VELVANE SIM-1 (/run/parvel/board0 : 0)") << true
                                         << QByteArray("VELVANE SIM-1") << QByteArray("/run/parvel/board0") << 0;
        QTest::newRow("name with parentheses") << QByteArray("X (rev 2) (/dev/b : 0)") << true
                                               << QByteArray("X (rev 2)") << QByteArray("/dev/b") << 0;
        QTest::newRow("name with colon") << QByteArray("A:B (/dev/b : 0)") << true << QByteArray("A:B")
                                         << QByteArray("/dev/b") << 0;
        QTest::newRow("path with colons") << QByteArray("P1 (/dev/by-path/pci-0000:00:14.0 : 0)") << true
                                          << QByteArray("P1") << QByteArray("/dev/by-path/pci-0000:00:14.0") << 0;
        QTest::newRow("path starting with parenthesis") << QByteArray("P1 ((x : 0)") << true << QByteArray("P1")
                                                        << QByteArray("(x") << 0;
        QTest::newRow("no closing parenthesis") << QByteArray("P1 (/dev/b : 0") << true << QByteArray("P1")
                                                << QByteArray("/dev/b") << 0;
        QTest::newRow("other port") << QByteArray("P1 (/dev/b : 7)") << true << QByteArray("P1")
                                    << QByteArray("/dev/b") << 7;
        QTest::newRow("signed port") << QByteArray("P1 (/dev/b : -3)") << true << QByteArray("P1")
                                     << QByteArray("/dev/b") << -3;
        QTest::newRow("loose blanks") << QByteArray("  P1\t(  /dev/b   :+5 )") << true << QByteArray("P1")
                                      << QByteArray("/dev/b") << 5;
        QTest::newRow("longest fields") << QByteArray(longest + " (" + longestPath + " : 0)") << true << longest
                                        << longestPath << 0;

        QTest::newRow("empty") << QByteArray() << false << QByteArray() << QByteArray() << 0;
        QTest::newRow("name only") << QByteArray("P1") << false << QByteArray() << QByteArray() << 0;
        QTest::newRow("no port") << QByteArray("P1 (/dev/b)") << false << QByteArray() << QByteArray() << 0;
        QTest::newRow("colon without port") << QByteArray("P1 (/dev/b :)") << false << QByteArray() << QByteArray() << 0;
        QTest::newRow("port not a number") << QByteArray("P1 (/dev/b : zero)") << false << QByteArray()
                                           << QByteArray() << 0;
        QTest::newRow("port out of range") << QByteArray("P1 (/dev/b : 99999999999)") << false << QByteArray()
                                           << QByteArray() << 0;
        QTest::newRow("no opening parenthesis") << QByteArray("P1 /dev/b : 0)") << false << QByteArray()
                                                << QByteArray() << 0;
        QTest::newRow("no name") << QByteArray("(/dev/b : 0)") << false << QByteArray() << QByteArray() << 0;
        QTest::newRow("no path") << QByteArray("P1 ( : 0)") << false << QByteArray() << QByteArray() << 0;
        QTest::newRow("trailing text") << QByteArray("P1 (/dev/b : 0) more") << false << QByteArray()
                                       << QByteArray() << 0;
        QTest::newRow("name too long") << QByteArray(tooLong + " (/dev/b : 0)") << false << QByteArray()
                                       << QByteArray() << 0;
        QTest::newRow("path too long") << QByteArray("P1 (" + tooLongPath + " : 0)") << false << QByteArray()
                                       << QByteArray() << 0;
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, path);
        QFETCH(int, port);

        std::string parsedName = "untouched";
        std::string parsedPath = "untouched";
        int parsedPort = 12345;
        QCOMPARE(parseDeviceDescriptor(text.toStdString(), parsedName, parsedPath, parsedPort), ok);
        if (ok) {
            QCOMPARE(QByteArray::fromStdString(parsedName), name);
            QCOMPARE(QByteArray::fromStdString(parsedPath), path);
            QCOMPARE(parsedPort, port);
        } else {
            QCOMPARE(parsedPath, std::string("untouched"));
        }
    }

    // Whatever name a board reports, the descriptor formed from it reads
    // back to the same path and port 0.
    void formedDescriptorParsesBack_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("path");

        QTest::newRow("simulated board") << QByteArray("VELVANE SIM-1") << QByteArray("/run/user/0/parvel/board0");
        QTest::newRow("open parenthesis") << QByteArray("A (") << QByteArray("/dev/parvel/a");
        QTest::newRow("close parenthesis") << QByteArray("A )") << QByteArray("/dev/parvel/a");
        QTest::newRow("a whole descriptor") << QByteArray("Q (/dev/x : 9)") << QByteArray("/dev/parvel/a");
        QTest::newRow("blanks around") << QByteArray(" A  B ") << QByteArray("/dev/parvel/a");
    }

    void formedDescriptorParsesBack()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, path);

        std::string parsedName;
        std::string parsedPath;
        int port = -1;
        QVERIFY(parseDeviceDescriptor(formatDeviceDescriptor(name.toStdString(), path.toStdString()), parsedName,
                                      parsedPath, port));
        QCOMPARE(QByteArray::fromStdString(parsedPath), path);
        QCOMPARE(port, 0);
        QCOMPARE(QByteArray::fromStdString(parsedName), name.trimmed());
    }
};

QTEST_APPLESS_MAIN(TestDeviceDescriptor)
#include "tst_DeviceDescriptor.moc"
