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

// The one pattern asked for, and by which test function; the tests ask for
// one at a time.
struct FailOnWarning
{
    QMutex mutex;
    QByteArray testFunction;
    QRegularExpression pattern;
    bool installed = false;
    QtMessageHandler previous = nullptr;
};

inline FailOnWarning &failOnWarningState()
{
    static FailOnWarning state;
    return state;
}

// Warnings can come from any thread, as with Qt's own handler; a match fails
// the test function that asked, and the message is logged as usual.
inline void failOnWarningHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    FailOnWarning &state = failOnWarningState();
    bool matched = false;
    QtMessageHandler previous;
    {
        QMutexLocker lock(&state.mutex);
        previous = state.previous;
        matched = type == QtWarningMsg && state.testFunction == QTest::currentTestFunction()
                  && state.pattern.match(message).hasMatch();
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
// it (Qt 6.3's QTest::failOnWarning; on Qt 5 one pattern at a time, asked
// again by each test function).
inline void failOnWarning(const QRegularExpression &pattern)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 3, 0)
    QTest::failOnWarning(pattern);
#else
    detail::FailOnWarning &state = detail::failOnWarningState();
    QMutexLocker lock(&state.mutex);
    if (!state.installed) {
        state.previous = qInstallMessageHandler(detail::failOnWarningHandler);
        state.installed = true;
    }
    state.testFunction = QTest::currentTestFunction();
    state.pattern = pattern;
#endif
}

} // namespace compat
