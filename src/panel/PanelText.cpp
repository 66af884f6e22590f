#include "panel/PanelText.h"

#include "base/Rounding.h"

namespace PanelText {

namespace {

QString Hex2(quint32 byte) {
    return QStringLiteral("%1").arg(byte & 0xFFu, 2, 16, QLatin1Char('0')).toUpper();
}

// One axis of PanelPosition: start and length of the panel, start and length of the screen.
qint32 PlaceOnAxis(qint32 at, qint32 length, qint32 screenStart, qint32 screenLength) {
    const qint64 screenEnd = qint64{screenStart} + screenLength;
    if (at <= screenStart) {
        return screenStart + 1;
    }
    if (qint64{at} + length > screenEnd) {
        const qint64 flipped = qint64{at} - length;
        return flipped <= qint64{screenStart} + 1 ? screenStart + 1 : static_cast<qint32>(flipped);
    }
    return at;
}

}  // namespace

QString PointColorText(qint32 colour) {
    if (colour == -1) {
        return QStringLiteral("<ERROR>");
    }
    const quint32 c = static_cast<quint32>(colour);
    return QStringLiteral("RGB: ") + Hex2(c) + QLatin1Char(' ') + Hex2(c >> 8) + QLatin1Char(' ') +
           Hex2(c >> 16);
}

QPoint PanelPosition(QPoint pointerTwips, QSize panelTwips, QRect screenTwips) {
    return QPoint(
        PlaceOnAxis(pointerTwips.x(), panelTwips.width(), screenTwips.x(), screenTwips.width()),
        PlaceOnAxis(pointerTwips.y(), panelTwips.height(), screenTwips.y(), screenTwips.height()));
}

QPoint PanelPositionPx(QPointF pointerPx, QSize panelPx, QRect screenPx, double tx, double ty) {
    using Rounding::Round32;
    const QPoint at =
        PanelPosition(QPoint(Round32(pointerPx.x() * tx), Round32(pointerPx.y() * ty)),
                      QSize(Round32(panelPx.width() * tx), Round32(panelPx.height() * ty)),
                      QRect(Round32(screenPx.x() * tx), Round32(screenPx.y() * ty),
                            Round32(screenPx.width() * tx), Round32(screenPx.height() * ty)));
    return QPoint(Round32(at.x() / tx), Round32(at.y() / ty));
}

}  // namespace PanelText
