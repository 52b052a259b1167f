#include "PageWidgets.h"

#include <QLabel>
#include <QSizePolicy>
#include <QVBoxLayout>

QVBoxLayout *makePageLayout(QWidget *page, const char *objectName, int minimumWidth, int minimumHeight)
{
    page->setObjectName(QLatin1String(objectName));
    auto *layout = new QVBoxLayout(page);
    page->setSizePolicy(QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed));
    page->setMinimumSize(minimumWidth, minimumHeight);
    return layout;
}

QLabel *makePageLabel(QWidget *page, const char *objectName, const QString &text, bool wordWrap)
{
    auto *label = new QLabel(text, page);
    label->setObjectName(QLatin1String(objectName));
    label->setWordWrap(wordWrap);
    return label;
}
