#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QLayout>
#include <QList>
#include <QPoint>
#include <QPushButton>
#include <QTest>
#include <QWidget>

// Finding the wizard's widgets by their object names and pressing them as a
// user would.

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

// One of the frame's buttons: "backButton", "nextButton" or "cancelButton".
inline QPushButton *wizardButton(QWidget &wizard, const char *name)
{
    return namedChild<QPushButton>(wizard, name);
}

inline void pressWizardButton(QWidget &wizard, const char *name)
{
    clickButton(wizardButton(wizard, name));
}

// The labels of a page in the order its layout stacks them.
inline QList<QLabel *> labelsInLayoutOrder(QWidget &page)
{
    QList<QLabel *> labels;
    QLayout *layout = page.layout();
    for (int i = 0; layout && i < layout->count(); ++i) {
        if (auto *label = qobject_cast<QLabel *>(layout->itemAt(i)->widget()))
            labels << label;
    }
    return labels;
}

// The finish page's message, found from the wizard.
inline QString finishMessage(QWidget &wizard)
{
    return namedChild<QLabel>(wizard, "messageLabel")->text();
}

// The update page's line that says how the update ended: the status line
// after a success, the line the page adds after a failure.
inline QString outcomeLine(QWidget &updatePage, bool success)
{
    return namedChild<QLabel>(updatePage, success ? "statusLabel" : "failureLabel")->text();
}
