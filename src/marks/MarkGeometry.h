#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <cstddef>
#include <vector>

#include "cMark.h"

// The arithmetic of marks in the picture's own pixels: drawing them, finding and changing them,
// and keeping them on the picture while the picture is edited. Needs no display (text measures
// fall back to an estimate without a GUI application).
namespace MarkGeometry {

// A pen stroke keeps at most this many points: past it, points closer together are dropped.
constexpr std::size_t kMaxStrokePoints = 16384;

// The end of a mark being drawn from `press` to `current`. With Shift, lines and arrows keep to
// 45 degree steps and rectangles, ellipses and pixelated areas are square; other kinds and
// without Shift: `current`.
QPointF ConstrainedEnd(MarkKind kind, QPointF press, QPointF current, bool shift);

// Sets the moving end of a two-point mark being drawn (with the Shift rule), or adds a point to
// a stroke: a point within half a picture pixel of the last is dropped, and a stroke past
// kMaxStrokePoints is thinned.
void DragTo(cMark& mark, QPointF current, bool shift);

// The stroke with points closer than `minDistance` to the last kept one dropped (the last point
// always kept), thinned further until at most `maxPoints` remain.
std::vector<QPointF> SimplifiedStroke(const std::vector<QPointF>& points, double minDistance,
                                      std::size_t maxPoints = kMaxStrokePoints);

// The box of a text mark (estimated without a GUI application).
QRectF TextBox(const cMark& mark);

// What a mark covers, its line width, an arrow's head and antialiasing included.
QRectF Bounds(const cMark& mark);

// The order marks are shown in: pixelated areas first (they are made of the picture's pixels),
// then highlighters, then the others, each group in placing order. Indices into `marks`.
std::vector<std::size_t> PaintOrder(const std::vector<cMark>& marks);

// Whether `point` is on the mark, within `tolerance` picture pixels. Outlines (rectangle,
// ellipse) are hit on their line; areas, text and numbers anywhere inside.
bool Hits(const cMark& mark, QPointF point, double tolerance);

// The topmost mark under `point` (in the order shown), -1 when none. The tolerance is in pixels
// of the picture as shown, `shownPerOwn` its scale.
int HitTest(const std::vector<cMark>& marks, QPointF point, double toleranceShown,
            double shownPerOwn);

// The handles that resize a mark: the four corners (top left, top right, bottom right, bottom
// left) of a rectangle, ellipse or pixelated area, the two ends of a line or arrow; none for the
// others, which only move.
std::vector<QPointF> Handles(const cMark& mark);

// The handle of `mark` under `point`, -1 when none.
int HandleAt(const cMark& mark, QPointF point, double toleranceShown, double shownPerOwn);

// The mark with handle `handle` dragged to `point` (the opposite corner or end stays; Shift as
// while drawing).
void MoveHandle(cMark& mark, int handle, QPointF point, bool shift);

// The mark moved by `delta`.
void Move(cMark& mark, QPointF delta);

// Marks following edits of the picture. `own` is the picture's own size before the edit.
// A crop cuts `crop`, a rectangle of the picture shown at `shown`: the marks scale by shown / own
// and move with it, as the pixels do; marks wholly outside the result are removed.
void FollowCrop(std::vector<cMark>& marks, const QRectF& crop, QSizeF shown, QSizeF own);
// A quarter turn as the picture's: 90 clockwise, -90 counter-clockwise, any other angle nothing
// (text stays upright, turned about its centre).
void FollowRotate(std::vector<cMark>& marks, int angle, QSizeF own);
// A mirror as the picture's: "X" exchanges top and bottom, "Y" left and right.
void FollowFlip(std::vector<cMark>& marks, const QString& axis, QSizeF own);
// The picture's own size changes from `own` to `newOwn`.
void FollowScale(std::vector<cMark>& marks, QSizeF own, QSizeF newOwn);

}  // namespace MarkGeometry
