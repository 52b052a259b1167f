#include "DeviceDescriptor.h"

#include <QTest>

class TestDeviceDescriptor : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("port");

        const QByteArray longest(260, 'n');
        const QByteArray tooLong(261, 'n');
        const QByteArray longestPath = '/' + QByteArray(258, 'p');
        const QByteArray tooLongPath = '/' + QByteArray(259, 'p');

        const auto accept = [](const char *tag, const QByteArray &text, const QByteArray &name,
                               const QByteArray &path, int port) {
            QTest::newRow(tag) << text << true << name << path << port;
        };
        const auto reject = [](const char *tag, const QByteArray &text) {
            QTest::newRow(tag) << text << false << QByteArray() << QByteArray() << 0;
        };

        accept("as formed", "P1 (/dev/parvel/board0 : 0)", "P1", "/dev/parvel/board0", 0);
        accept("name with blank", "VELVANE SIM-1 (/run/parvel/board0 : 0)", "VELVANE SIM-1", "/run/parvel/board0", 0);
        accept("name with parentheses", "X (rev 2) (/dev/b : 0)", "X (rev 2)", "/dev/b", 0);
        accept("name with colon", "A:B (/dev/b : 0)", "A:B", "/dev/b", 0);
        accept("path with colons", "P1 (/dev/by-path/pci-0000:00:14.0 : 0)", "P1", "/dev/by-path/pci-0000:00:14.0", 0);
        accept("path with blanks", "P1 (/tmp/rt space/parvel/board0 : 0)", "P1", "/tmp/rt space/parvel/board0", 0);
        accept("no closing parenthesis", "P1 (/dev/b : 0", "P1", "/dev/b", 0);
        accept("other port", "P1 (/dev/b : 7)", "P1", "/dev/b", 7);
        accept("signed port", "P1 (/dev/b : -3)", "P1", "/dev/b", -3);
        accept("loose blanks", "  P1\t(  /dev/b   :+5 )", "  P1", "/dev/b", 5);
        accept("longest fields", QByteArray(longest + " (" + longestPath + " : 0)"), longest, longestPath, 0);

        reject("empty", "");
        reject("name only", "P1");
        reject("no port", "P1 (/dev/b)");
        reject("colon without port", "P1 (/dev/b :)");
        reject("port not a number", "P1 (/dev/b : zero)");
        reject("port out of range", "P1 (/dev/b : 99999999999)");
        reject("no opening parenthesis", "P1 /dev/b : 0)");
        reject("no name", "(/dev/b : 0)");
        reject("empty name", " (/dev/b : 0)");
        // The path is never taken relative to the working directory.
        reject("relative path", "x (y : 0)");
        reject("relative path after a parenthesis", "P1 ((x : 0)");
        reject("no path", "P1 ( : 0)");
        reject("trailing text", "P1 (/dev/b : 0) more");
        reject("name too long", QByteArray(tooLong + " (/dev/b : 0)"));
        reject("path too long", QByteArray("P1 (" + tooLongPath + " : 0)"));
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

    // Whatever name a board reports, the descriptor formed from it and a
    // path reads back to exactly that name and path, and port 0, precisely
    // when the path is describable.
    void formedDescriptorParsesBack_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("formed");
        QTest::addColumn<bool>("describable");

        const QByteArray fullField(260, 'N');
        const QByteArray longestPath = '/' + QByteArray(258, 'p');

        QTest::newRow("simulated board") << QByteArray("VELVANE SIM-1") << QByteArray("/run/user/0/parvel/board0")
                                         << QByteArray("VELVANE SIM-1 (/run/user/0/parvel/board0 : 0)") << true;
        QTest::newRow("open parenthesis") << QByteArray("A (") << QByteArray("/dev/parvel/a")
                                          << QByteArray("A ( (/dev/parvel/a : 0)") << true;
        QTest::newRow("close parenthesis") << QByteArray("A )") << QByteArray("/dev/parvel/a")
                                           << QByteArray("A ) (/dev/parvel/a : 0)") << true;
        QTest::newRow("a whole descriptor") << QByteArray("Q (/dev/x : 9)") << QByteArray("/dev/parvel/a")
                                            << QByteArray("Q (/dev/x : 9) (/dev/parvel/a : 0)") << true;
        QTest::newRow("blanks around") << QByteArray(" A  B ") << QByteArray("/dev/parvel/a")
                                       << QByteArray(" A  B  (/dev/parvel/a : 0)") << true;
        QTest::newRow("blanks only") << QByteArray("   ") << QByteArray("/dev/parvel/a")
                                     << QByteArray("    (/dev/parvel/a : 0)") << true;
        QTest::newRow("whole name field") << fullField << longestPath
                                          << QByteArray(fullField + " (" + longestPath + " : 0)") << true;
        QTest::newRow("path with blanks") << QByteArray("P1") << QByteArray("/tmp/rt space/parvel/b 0")
                                          << QByteArray("P1 (/tmp/rt space/parvel/b 0 : 0)") << true;
        QTest::newRow("path with an opening") << QByteArray("P1") << QByteArray("/dev/parvel/x (y")
                                              << QByteArray("P1 (/dev/parvel/x (y : 0)") << true;
        QTest::newRow("path with colons and parentheses")
            << QByteArray("P1 (/a") << QByteArray("/dev/by-path/p:1 (2) : 3")
            << QByteArray("P1 (/a (/dev/by-path/p:1 (2) : 3 : 0)") << true;

        const auto undescribable = [](const char *tag, const QByteArray &path) {
            QTest::newRow(tag) << QByteArray("P1") << path << QByteArray("P1 (" + path + " : 0)") << false;
        };
        undescribable("relative path", "dev/parvel/a");
        undescribable("empty path", "");
        undescribable("an opening inside", "/run/a (/parvel/b");
        undescribable("an opening with blanks inside", "/run/a\t(  /b");
        undescribable("ends in a blank", "/dev/parvel/a ");
        undescribable("path too long", '/' + QByteArray(259, 'p'));
    }

    void formedDescriptorParsesBack()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, formed);
        QFETCH(bool, describable);

        QCOMPARE(isDescribablePath(path.toStdString()), describable);
        const std::string descriptor = formatDeviceDescriptor(name.toStdString(), path.toStdString());
        QCOMPARE(QByteArray::fromStdString(descriptor), formed);
        std::string parsedName;
        std::string parsedPath;
        int port = -1;
        const bool parsed = parseDeviceDescriptor(descriptor, parsedName, parsedPath, port);
        if (!describable) {
            QVERIFY(!parsed || parsedName != name.toStdString() || parsedPath != path.toStdString());
            return;
        }
        QVERIFY(parsed);
        QCOMPARE(QByteArray::fromStdString(parsedPath), path);
        QCOMPARE(port, 0);
        QCOMPARE(QByteArray::fromStdString(parsedName), name);
    }
};

QTEST_APPLESS_MAIN(TestDeviceDescriptor)
#include "tst_DeviceDescriptor.moc"
