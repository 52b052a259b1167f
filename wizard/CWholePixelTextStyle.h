#pragma once

#include <QProxyStyle>

// Qt 5 lays a text out in device-independent pixels, with each letter's
// advance rounded to a whole pixel at the unscaled size, and then scales the
// positions: at 125 % to 200 % the letters, drawn at the scaled size, no
// longer sit where their own widths would put them, and words run together
// ("NOTE:The") or fall apart ("t he"). This style draws each item text, as
// the platform's style would, in device pixels with the font at the scaled
// size, one line at a time, each line holding the words the unscaled layout
// put on it and standing where that layout put it: the letters are spaced as
// the font is at that size, and no line breaks elsewhere than at 100 %.
//
// At every scale the text starts on the whole device pixel nearest to where
// its rect begins, which is where its widget's clip begins: Qt 5 clips each
// widget to its edges rounded to whole device pixels, so at 125 % a label
// whose edge falls on half a pixel would otherwise lose the first column of
// every line ("6." reads "5."). At 100 % nothing changes.
class CWholePixelTextStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette, bool enabled,
                      const QString &text, QPalette::ColorRole textRole = QPalette::NoRole) const override;

private:
    // Draws the text at the device's size; false, having drawn nothing, for
    // a text whose layout it does not reproduce (tabs, mnemonics, justified
    // lines) or whose lines would not fit at that size.
    bool drawAtDeviceSize(QPainter *painter, const QRect &rect, int flags, const QPalette &palette, bool enabled,
                          const QString &text, QPalette::ColorRole textRole) const;
};
