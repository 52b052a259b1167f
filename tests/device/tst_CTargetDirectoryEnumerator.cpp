#include "linux/CTargetDirectoryEnumerator.h"

#include <QTest>

// Boards are published as links to a character device; the kernel's memory
// devices stand in for boards' nodes.
class TestCTargetDirectoryEnumerator : public QObject
{
    Q_OBJECT

private:
    // Lays out "DIR/NAME:KIND" entries below `root`; KIND is board (link to
    // a character device no earlier board links to), same (link to the node
    // of the board before), dangling (link to nothing), file or directory.
    static bool layOut(const QString &root, const QStringList &entries)
    {
        const QStringList nodes{"/dev/null", "/dev/zero", "/dev/full", "/dev/urandom"};
        qsizetype boards = 0;
        for (const QString &entry : entries) {
            const QString name = entry.section(':', 0, 0);
            const QString kind = entry.section(':', 1, 1);
            const QString path = root + '/' + name;
            if (!QDir().mkpath(QFileInfo(path).path()))
                return false;
            bool made = false;
            if (kind == "board" && boards < nodes.size())
                made = QFile::link(nodes.at(boards++), path);
            else if (kind == "same" && boards > 0)
                made = QFile::link(nodes.at(boards - 1), path);
            else if (kind == "dangling")
                made = QFile::link(root + "/nowhere", path);
            else if (kind == "file") {
                QFile file(path);
                made = file.open(QIODevice::WriteOnly);
            } else if (kind == "directory")
                made = QDir().mkpath(path);
            if (!made)
                return false;
        }
        return true;
    }

    static QStringList relative(const QString &root, const std::list<std::string> &paths)
    {
        QStringList names;
        for (const std::string &path : paths)
            names << QString::fromStdString(path).remove(0, root.size() + 1);
        return names;
    }

private slots:
    void enumerate_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("none") << QStringList{"dev/keep:directory"} << QStringList{};
        QTest::newRow("one") << QStringList{"dev/board0:board"} << QStringList{"dev/board0"};
        QTest::newRow("two in name order") << QStringList{"dev/b:board", "dev/a:board"}
                                           << QStringList{"dev/a", "dev/b"};
        QTest::newRow("first directory first") << QStringList{"dev/z:board", "run/a:board"}
                                               << QStringList{"dev/z", "run/a"};
        QTest::newRow("dangling link is gone") << QStringList{"dev/a:dangling", "dev/b:board"}
                                               << QStringList{"dev/b"};
        QTest::newRow("regular file is no board") << QStringList{"dev/a:file", "dev/b:board"}
                                                  << QStringList{"dev/b"};
        QTest::newRow("directory is no board") << QStringList{"dev/a:directory", "run/b:board"}
                                               << QStringList{"run/b"};
        QTest::newRow("missing first directory") << QStringList{"run/board0:board"}
                                                 << QStringList{"run/board0"};
        QTest::newRow("two links to one node") << QStringList{"run/a:board", "dev/b:same", "dev/c:board"}
                                               << QStringList{"dev/b", "dev/c"};
        // Its descriptor would read back without the blank.
        QTest::newRow("path ending in a blank") << QStringList{"dev/a :board", "dev/b:board"}
                                                << QStringList{"dev/b"};
    }

    // The paths are the entries' own, not where the links lead.
    void enumerate()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, expected);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(layOut(root.path(), entries));
        const CTargetDirectoryEnumerator enumerator({(root.path() + "/dev").toStdString(),
                                                     (root.path() + "/run/").toStdString()});

        std::list<std::string> paths{"kept"};
        const int count = enumerator.findTargets(paths);

        QCOMPARE(paths.front(), std::string("kept"));
        paths.pop_front();
        QCOMPARE(relative(root.path(), paths), expected);
        QCOMPARE(count, int(expected.size()));
    }

    void platformDirectories_data()
    {
        QTest::addColumn<QByteArray>("runtime");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("runtime directory set") << QByteArray("/run/user/1000")
                                               << QStringList{"/dev/parvel", "/run/user/1000/parvel"};
        QTest::newRow("runtime directory unset") << QByteArray() << QStringList{"/dev/parvel"};
    }

    void platformDirectories()
    {
        QFETCH(QByteArray, runtime);
        QFETCH(QStringList, expected);

        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        const bool wasSet = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", runtime);
        const std::vector<std::string> directories = CTargetDirectoryEnumerator::platformDirectories();
        if (wasSet)
            qputenv("XDG_RUNTIME_DIR", saved);
        else
            qunsetenv("XDG_RUNTIME_DIR");

        QStringList actual;
        for (const std::string &directory : directories)
            actual << QString::fromStdString(directory);
        QCOMPARE(actual, expected);
    }
};

QTEST_APPLESS_MAIN(TestCTargetDirectoryEnumerator)
#include "tst_CTargetDirectoryEnumerator.moc"
