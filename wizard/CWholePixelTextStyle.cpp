#include "CWholePixelTextStyle.h"

#include <QPainter>
#include <QTransform>

#include <cmath>

void CWholePixelTextStyle::drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette,
                                        bool enabled, const QString &text, QPalette::ColorRole textRole) const
{
    const QTransform toDevice = painter->deviceTransform();
    const qreal left = toDevice.map(QPointF(rect.topLeft())).x();
    const qreal shift = std::round(left) - left;
    painter->save();
    // Only a text that is scaled, not turned, lines up with the clip's pixels.
    if (shift != 0 && toDevice.type() <= QTransform::TxScale && toDevice.m11() > 0)
        painter->translate(shift / toDevice.m11(), 0);
    QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, textRole);
    painter->restore();
}
