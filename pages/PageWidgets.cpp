#include "PageWidgets.h"

#include <QFont>
#include <QLabel>
#include <QSizePolicy>
#include <QVBoxLayout>

namespace {

// Close to the narrow 8-point dialog font of the window's design: the same
// line height, about nine tenths of the usual advance.
constexpr qreal kDialogPointSize = 8.0;
constexpr int kDialogStretch = QFont::SemiCondensed;

} // namespace

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

QFont compactDialogFont(const QFont &platformFont)
{
    QFont font = platformFont;
    font.setPointSizeF(kDialogPointSize);
    font.setStretch(kDialogStretch);
    return font;
}
