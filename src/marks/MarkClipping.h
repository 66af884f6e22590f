#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <vector>

// What keeps the painter's work on a mark bounded: lines and strokes cut to the picture before
// they are drawn, and strokes thinned where the dropped points would not show. Image pixels.
namespace MarkClipping {

// Liang-Barsky: the part of a..b inside r (a and b moved onto it); false when none.
bool ClipSegment(const QRectF& r, QPointF& a, QPointF& b);

// A polyline through `points`, cut to `limits`.
QPainterPath ClippedPolyline(const std::vector<QPointF>& points, const QRectF& limits);

// r with its corners held within limits, so a huge rectangle reaches the painter bounded.
QRectF Clamped(const QRectF& r, const QRectF& limits);

// The stroke without the points within `tolerance` of the line through the neighbours kept
// (Douglas-Peucker).
std::vector<QPointF> Thinned(const std::vector<QPointF>& points, double tolerance);

}  // namespace MarkClipping
