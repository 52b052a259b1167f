#pragma once

class QLabel;
class QString;
class QVBoxLayout;
class QWidget;

// Every page is one vertical box of fixed size: the layout is installed on
// the page, the size policy is Fixed both ways and the minimum size given.
QVBoxLayout *makePageLayout(QWidget *page, const char *objectName, int minimumWidth, int minimumHeight);

// A plain text label of a page, named so that tests and accessibility tools
// can find it. The text comes already translated in the page's context.
QLabel *makePageLabel(QWidget *page, const char *objectName, const QString &text, bool wordWrap);
