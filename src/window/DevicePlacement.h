#pragma once

#include <QPointF>
#include <QRect>

class QMouseEvent;
class QWidget;

// Controls inside an image window are measured in device pixels of the window, exactly; Qt only
// holds each one's logical geometry, which at a fractional scale factor is the nearest whole
// logical pixel. The exact rectangle is kept on the control, and every placement of a control in
// an image window goes through here.
namespace DevicePlacement {

// Device pixels per logical pixel of the window the widget is in (1 before it has a screen).
double Ratio(const QWidget* w);

// The control's rectangle in device pixels of its window: the one last set here, or its logical
// geometry times the ratio when none was.
QRect Of(const QWidget* control);
// True when the control was placed here, so that Of is its exact device rectangle.
bool IsPlaced(const QWidget* control);
// Places the control at r (device pixels of its window; a negative size counts as none).
void Set(QWidget* control, const QRect& r);
// From now on the control's logical rectangle covers every device pixel of its exact one, its
// near edges rounded down as well: for an overlay that paints on the outermost device pixels and
// lets the mouse through (the near edges' rounding keeps others' mouse areas exact).
void CoverWholly(QWidget* control);
// Moves the control, keeping its device size.
void MoveTo(QWidget* control, QPoint topLeft);
// Places the control again after the window's ratio changed (it moved to another screen).
void Refresh(QWidget* control);

// Where the mouse event happened, in device pixels relative to the control's device rectangle
// (fractional, as precise as the event).
QPointF EventPoint(const QWidget* control, const QMouseEvent* e);

}  // namespace DevicePlacement
