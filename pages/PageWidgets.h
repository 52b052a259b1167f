#pragma once

class QFont;
class QLabel;
class QSpacerItem;
class QString;
class QVBoxLayout;
class QWidget;

// A page's minimum size in pixels.
struct PageSize
{
    int width;
    int height;
};
// The welcome, detection and update pages.
constexpr PageSize kPageSize{250, 250};
// The instructions and the outcome, which hold more text.
constexpr PageSize kTextPageSize{270, 280};

// Every page is one vertical box of fixed size: the layout is installed on
// the page, the size policy is Fixed both ways and the minimum size given.
QVBoxLayout *makePageLayout(QWidget *page, const char *objectName, PageSize minimum);

// Blank space of a fixed height between a page's items; it expands sideways.
// The page's layout takes it over once added.
QSpacerItem *makePageGap(int height);

// A plain text label of a page, named so that tests and accessibility tools
// can find it. The text comes already translated in the page's context.
QLabel *makePageLabel(QWidget *page, const char *objectName, const QString &text, bool wordWrap);

// The compact dialog font the fixed 450 x 350 window and its pages are laid
// out for: on Windows its dialog font, "MS Shell Dlg 2" at 8 points; elsewhere
// the platform's family at 8 points, semi-condensed. Start-up makes it the
// application's font; the platform's usual 9 points and full width need more
// lines than the instructions page has room for.
QFont compactDialogFont(const QFont &platformFont);
