#pragma once

#include <QAbstractButton>
#include <QPoint>
#include <QTest>
#include <QWidget>

// The named child of a page or of the wizard; the test is wrong if it is
// missing.
template <typename T>
T *namedChild(QWidget &parent, const char *name)
{
    auto *found = parent.findChild<T *>(QLatin1String(name));
    Q_ASSERT(found);
    return found;
}

// Clicks the middle of the button's own content (indicator and text): a
// radio button stretched by its layout does not react beyond its text.
inline void clickButton(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->sizeHint().width() / 2, button->height() / 2));
}
