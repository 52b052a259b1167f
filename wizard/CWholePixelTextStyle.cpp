#include "CWholePixelTextStyle.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <QTransform>
#include <QtMath>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace {

// One line of an item text as QPainter::drawText lays it out in the item's
// rect, in device-independent pixels.
struct LaidOutLine
{
    QString text;
    qreal top = 0; // from the rect's top
    qreal height = 0;
    qreal width = 0;
};

// Whether QPainter::drawText lays the text out otherwise than plain lines:
// tab stops, mnemonics, length variants, justified lines.
bool needsOwnLayout(int flags, const QString &text)
{
    const bool mnemonics = flags & (Qt::TextShowMnemonic | Qt::TextHideMnemonic);
    return text.contains(QLatin1Char('\t')) || text.contains(QChar(0x9c))
           || (mnemonics && text.contains(QLatin1Char('&')))
           || (flags & (Qt::AlignJustify | Qt::TextJustificationForced));
}

// Breaks the layout's text into lines as QPainter::drawText does for the
// rect and flags; returns the height of the lines.
qreal breakIntoLines(QTextLayout &layout, const QRect &rect, int flags, qreal leading)
{
    const bool wrap = flags & (Qt::TextWordWrap | Qt::TextWrapAnywhere);
    const qreal lineWidth = wrap ? qMax<qreal>(0, rect.width()) : qreal(0x01000000);
    qreal height = -leading;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(lineWidth);
        // Lines stand on whole pixels; those below the rect are not drawn.
        height = std::ceil(height + leading);
        line.setPosition(QPointF(0, height));
        height += line.height();
        if (!(flags & Qt::TextDontClip) && height >= rect.height())
            break;
    }
    layout.endLayout();
    return height;
}

// The lines QPainter::drawText would draw the text in, with the painter's
// font, for the rect and flags: the same breaks, line positions and vertical
// alignment. Empty for a text it does not lay out alike.
QVector<LaidOutLine> laidOutLines(QPainter &painter, const QRect &rect, int flags, const QString &text)
{
    if (text.isEmpty() || needsOwnLayout(flags, text))
        return {};
    QString laid = text;
    for (QChar &c : laid) {
        if (c == QLatin1Char('\r') || (c == QLatin1Char('\n') && (flags & Qt::TextSingleLine)))
            c = QLatin1Char(' ');
        else if (c == QLatin1Char('\n'))
            c = QChar::LineSeparator;
    }
    QTextLayout layout(laid, painter.font(), painter.device());
    QTextOption option;
    option.setTextDirection(painter.layoutDirection());
    option.setAlignment(Qt::AlignLeft);
    if (flags & Qt::TextWrapAnywhere)
        option.setWrapMode(QTextOption::WrapAnywhere);
    layout.setTextOption(option);
    const qreal height = breakIntoLines(layout, rect, flags, QFontMetricsF(painter.font(), painter.device()).leading());

    qreal top = 0;
    if (flags & Qt::AlignBottom)
        top = rect.height() - height;
    else if (flags & Qt::AlignVCenter)
        top = (rect.height() - height) / 2;
    QVector<LaidOutLine> lines;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        QString words = laid.mid(line.textStart(), line.textLength());
        while (!words.isEmpty() && words.back().isSpace())
            words.chop(1);
        lines.append({words, top + line.y(), line.height(), line.naturalTextWidth()});
    }
    return lines;
}

// The painter's font at the largest whole pixel size that the device's
// scale does not make larger than the unscaled layout, so that each line
// stays within its width: one size for every text at a scale. Whether the
// lines fit at it.
bool fitDeviceFont(QFont &font, QPaintDevice *device, qreal scale, const QRect &rect,
                   const QVector<LaidOutLine> &lines)
{
    // A margin for the scale's rounding: 11 pixels at 200 % are 22.
    font.setPixelSize(qMax(1, qFloor(QFontInfo(font).pixelSize() * scale + 1e-6)));
    const QFontMetricsF metrics(font, device);
    for (const LaidOutLine &line : lines) {
        if (metrics.horizontalAdvance(line.text) > qMax<qreal>(rect.width(), line.width) * scale)
            return false;
    }
    return true;
}

} // namespace

void CWholePixelTextStyle::drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette,
                                        bool enabled, const QString &text, QPalette::ColorRole textRole) const
{
    const QTransform toDevice = painter->deviceTransform();
    // Only a text that is scaled, not turned, lines up with the device's pixels.
    const bool scaledOnly = toDevice.type() <= QTransform::TxScale && toDevice.m11() > 0
                            && qFuzzyCompare(toDevice.m11(), toDevice.m22());
    if (!scaledOnly) {
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, textRole);
        return;
    }
    if (!qFuzzyCompare(toDevice.m11(), 1.0)
        && drawAtDeviceSize(painter, rect, flags, palette, enabled, text, textRole))
        return;
    const qreal left = toDevice.map(QPointF(rect.topLeft())).x();
    const qreal shift = std::round(left) - left;
    painter->save();
    painter->translate(shift / toDevice.m11(), 0);
    QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, textRole);
    painter->restore();
}

bool CWholePixelTextStyle::drawAtDeviceSize(QPainter *painter, const QRect &rect, int flags,
                                            const QPalette &palette, bool enabled, const QString &text,
                                            QPalette::ColorRole textRole) const
{
    const QVector<LaidOutLine> lines = laidOutLines(*painter, rect, flags, text);
    const QTransform toDevice = painter->deviceTransform();
    const qreal scale = toDevice.m11();
    QFont font = painter->font();
    if (lines.isEmpty() || !fitDeviceFont(font, painter->device(), scale, rect, lines))
        return false;

    // From here on one unit is one device pixel, and the rect's corner is
    // the whole device pixel nearest to it.
    const QPointF corner = toDevice.map(QPointF(rect.topLeft()));
    painter->save();
    painter->translate(rect.topLeft());
    painter->scale(1 / scale, 1 / scale);
    painter->translate(std::round(corner.x()) - corner.x(), std::round(corner.y()) - corner.y());
    // Where the text overflows its rect, QPainter::drawText clips it there.
    const bool overflows = std::any_of(lines.begin(), lines.end(), [&rect](const LaidOutLine &line) {
        return line.width > rect.width() || line.top < 0 || line.top + line.height > rect.height();
    });
    if (overflows && !(flags & Qt::TextDontClip))
        painter->setClipRect(QRectF(corner - QPointF(std::round(corner.x()), std::round(corner.y())),
                                    QSizeF(rect.size()) * scale),
                             Qt::IntersectClip);
    painter->setFont(font);
    const QFontMetrics metrics(font, painter->device());
    const int lineFlags = (flags & (Qt::AlignHorizontal_Mask | Qt::TextHideMnemonic | Qt::TextShowMnemonic))
                          | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
    const int width = qCeil(rect.width() * scale);
    for (const LaidOutLine &line : lines) {
        // Centred on the line the layout placed, which the font at the
        // smaller size may not quite fill.
        const int lineTop = qRound((line.top + line.height / 2) * scale - metrics.height() / 2.0);
        const QRect lineRect(0, lineTop, width, metrics.height());
        QProxyStyle::drawItemText(painter, lineRect, lineFlags, palette, enabled, line.text, textRole);
    }
    painter->restore();
    return true;
}
