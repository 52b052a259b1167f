#include "PageWidgets.h"

#include <QFont>
#include <QLabel>
#include <QSizePolicy>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {

// Close to the narrow 8-point dialog font of the window's design: the same
// line height, about nine tenths of the usual advance.
constexpr qreal kDialogPointSize = 8.0;
constexpr int kDialogStretch = QFont::SemiCondensed;

// The width a gap asks for before it expands.
constexpr int kGapWidth = 40;

} // namespace

QVBoxLayout *makePageLayout(QWidget *page, const char *objectName, PageSize minimum)
{
    page->setObjectName(QLatin1String(objectName));
    auto *layout = new QVBoxLayout(page);
    page->setSizePolicy(QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed));
    page->setMinimumSize(minimum.width, minimum.height);
    return layout;
}

QSpacerItem *makePageGap(int height)
{
    return new QSpacerItem(kGapWidth, height, QSizePolicy::Expanding, QSizePolicy::Fixed);
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
