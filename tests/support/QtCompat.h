#pragma once

// The few Qt Test and widget calls that differ between Qt 5.15 and Qt 6,
// in one place so that the tests read the same with both.

#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QTest>
#include <QtGlobal>

#if QT_VERSION < QT_VERSION_CHECK(6, 3, 0)
#include <QByteArray>
#include <QMutex>
#include <QMutexLocker>
#include <QVector>

#include <algorithm>
#endif

namespace compat {

// The label's pixmap by value (Qt 5 returns a pointer unless asked).
inline QPixmap labelPixmap(const QLabel &label)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return label.pixmap();
#else
    return label.pixmap(Qt::ReturnByValue);
#endif
}

#if QT_VERSION < QT_VERSION_CHECK(6, 3, 0)
namespace detail {

struct FailOnWarning
{
    QByteArray testFunction;
    QRegularExpression pattern;
};

struct FailOnWarningList
{
    QMutex mutex;
    QVector<FailOnWarning> patterns;
    bool installed = false;
    QtMessageHandler previous = nullptr;
};

inline FailOnWarningList &failOnWarningList()
{
    static FailOnWarningList list;
    return list;
}

// Warnings can come from any thread, as with Qt's own handler; each match
// fails the test function that asked, and the message is logged as usual.
inline void failOnWarningHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    FailOnWarningList &list = failOnWarningList();
    bool matched = false;
    QtMessageHandler previous;
    {
        QMutexLocker lock(&list.mutex);
        previous = list.previous;
        if (type == QtWarningMsg) {
            const QByteArray current = QTest::currentTestFunction();
            for (const FailOnWarning &entry : list.patterns)
                matched = matched || (entry.testFunction == current && entry.pattern.match(message).hasMatch());
        }
    }
    if (previous)
        previous(type, context, message);
    if (matched) {
        const QByteArray failure = "Received a warning that resulted in a failure:\n" + message.toLocal8Bit();
        QTest::qFail(failure.constData(), context.file ? context.file : __FILE__, context.file ? context.line : __LINE__);
    }
}

} // namespace detail
#endif

// Every warning matching the pattern during the current test function fails
// it (Qt 6.3's QTest::failOnWarning, kept for that one function on Qt 5).
inline void failOnWarning(const QRegularExpression &pattern)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 3, 0)
    QTest::failOnWarning(pattern);
#else
    detail::FailOnWarningList &list = detail::failOnWarningList();
    const QByteArray current = QTest::currentTestFunction();
    QMutexLocker lock(&list.mutex);
    if (!list.installed) {
        list.previous = qInstallMessageHandler(detail::failOnWarningHandler);
        list.installed = true;
    }
    // Patterns of earlier test functions are over; init() asks again each row.
    list.patterns.erase(std::remove_if(list.patterns.begin(), list.patterns.end(),
                                       [&](const detail::FailOnWarning &entry) {
                                           return entry.testFunction != current || entry.pattern == pattern;
                                       }),
                        list.patterns.end());
    list.patterns.append({current, pattern});
#endif
}

} // namespace compat
