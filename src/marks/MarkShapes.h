#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <algorithm>
#include <cmath>

#include "cMark.h"

// Small shape facts shared by the geometry and the painter of marks.
namespace MarkShapes {

// Kinds drawn from two opposite corners of a box.
inline bool IsBox(MarkKind k) {
    return k == MarkKind::Rectangle || k == MarkKind::Ellipse || k == MarkKind::Pixelate;
}

// Kinds drawn from one end to the other.
inline bool IsSegment(MarkKind k) {
    return k == MarkKind::Arrow || k == MarkKind::Line;
}

// Kinds drawn as a free stroke.
inline bool IsStroke(MarkKind k) {
    return k == MarkKind::Pen || k == MarkKind::Highlighter;
}

// The box of a two-point mark, whichever way it was drawn.
inline QRectF Box(const cMark& m) {
    if (m.points.size() < 2) {
        return m.points.empty() ? QRectF() : QRectF(m.points[0], QSizeF(0, 0));
    }
    return QRectF(m.points[0], m.points[1]).normalized();
}

// An arrow's head grows with its line so it stays visible at every width.
inline double ArrowHeadLength(double width) {
    return 5.0 * std::max(width, 1.0);
}
inline double ArrowHeadHalfWidth(double width) {
    return 0.45 * ArrowHeadLength(width);
}

// The head's triangle at `head`, pointing away from `tail`, no longer than the arrow, and the
// point where the shaft ends inside it.
inline QPolygonF ArrowHead(QPointF tail, QPointF head, double width, QPointF* shaftEnd) {
    const QPointF d = head - tail;
    const double len = std::hypot(d.x(), d.y());
    if (!(len > 0.0)) {
        *shaftEnd = head;
        return {};
    }
    const double l = std::min(ArrowHeadLength(width), len);
    const double hw = ArrowHeadHalfWidth(width) * l / ArrowHeadLength(width);
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    const QPointF base = head - u * l;
    *shaftEnd = head - u * (l * 0.5);
    return QPolygonF({head, base + n * hw, base - n * hw});
}

}  // namespace MarkShapes
