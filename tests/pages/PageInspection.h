#pragma once

#include <QLabel>
#include <QLayout>
#include <QList>
#include <QWidget>

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
