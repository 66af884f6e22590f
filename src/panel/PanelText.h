#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QtGlobal>

// Texts the command panel shows and where it opens. Core logic, no window.
namespace PanelText {

// The colour under the pointer: "RGB: RR GG BB", two upper-case hex digits each, where colour holds
// red in its lowest byte, then green, then blue; bits above the low 24 are ignored. -1 (no colour
// could be read) gives "<ERROR>".
QString PointColorText(qint32 colour);

// The panel's top-left, in twips, for a panel of panelTwips opened at pointerTwips on the screen
// whose area is screenTwips (all twips; the screen may have a non-zero origin). The panel opens
// at the pointer and goes to the left of / above it when it would cross the screen's right /
// bottom edge; it never starts on or before the screen's left / top edge.
QPoint PanelPosition(QPoint pointerTwips, QSize panelTwips, QRect screenTwips);

// The same placement in device pixels of the pointer's screen, whose twips per device pixel are
// tx and ty: pointerPx (fractional, as the pointer comes), panelPx and screenPx go to twips (each
// rounded), PanelPosition places the panel, and its top-left comes back in device pixels
// (rounded).
QPoint PanelPositionPx(QPointF pointerPx, QSize panelPx, QRect screenPx, double tx, double ty);

}  // namespace PanelText
