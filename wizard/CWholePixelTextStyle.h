#pragma once

#include <QProxyStyle>

// Qt 5 draws a text at a fractional display scale from the device pixel
// below each glyph's position, but clips each widget to its edges rounded to
// whole device pixels: at 125 % a label whose edge falls on half a pixel
// loses the first column of every line ("6." reads "5."). This style draws
// each item text, as the platform's style would, from the whole device pixel
// nearest to where it begins, which is where its widget's clip begins: a
// shift of at most half a device pixel, and none at 100 % or 200 %.
class CWholePixelTextStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette, bool enabled,
                      const QString &text, QPalette::ColorRole textRole = QPalette::NoRole) const override;
};
