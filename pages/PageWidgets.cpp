#include "PageWidgets.h"

#include <QFont>
#include <QLabel>
#include <QSizePolicy>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {

// The window was designed around Windows' 8-point dialog font.
constexpr qreal kDialogPointSize = 8.0;
#ifdef Q_OS_WIN
// Windows maps this name to its dialog face (Tahoma, or Wine's own Tahoma);
// matching the platform's family with a stretch instead picks whatever face
// happens to be installed, line height and all.
constexpr char kWindowsDialogFamily[] = "MS Shell Dlg 2";
#else
// Elsewhere close to it: the platform's family at the same line height,
// about nine tenths of the usual advance.
constexpr int kDialogStretch = QFont::SemiCondensed;
#endif

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
#ifdef Q_OS_WIN
    Q_UNUSED(platformFont);
    return QFont(QLatin1String(kWindowsDialogFamily), int(kDialogPointSize));
#else
    QFont font = platformFont;
    font.setPointSizeF(kDialogPointSize);
    font.setStretch(kDialogStretch);
    return font;
#endif
}
