#include "MarkClipping.h"

#include <algorithm>
#include <cmath>

namespace MarkClipping {

// Liang-Barsky: the part of a..b inside r, false when none. Long lines far outside are cut
// before the painter sees them.
bool ClipSegment(const QRectF& r, QPointF& a, QPointF& b) {
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
        } else {
            const double t = q[i] / p[i];
            if (p[i] < 0.0) {
                t0 = std::max(t0, t);
            } else {
                t1 = std::min(t1, t);
            }
        }
    }
    if (t0 > t1) {
        return false;
    }
    const QPointF a0 = a;
    a = a0 + QPointF(dx, dy) * t0;
    b = a0 + QPointF(dx, dy) * t1;
    return true;
}

// A polyline through `points` (image pixels), cut to `limits`.
QPainterPath ClippedPolyline(const std::vector<QPointF>& points, const QRectF& limits) {
    QPainterPath path;
    if (points.size() == 1) {
        if (limits.contains(points[0])) {
            path.moveTo(points[0]);
            path.lineTo(points[0]);
        }
        return path;
    }
    bool open = false;
    QPointF end;
    for (std::size_t i = 1; i < points.size(); ++i) {
        QPointF a = points[i - 1];
        QPointF b = points[i];
        if (!ClipSegment(limits, a, b)) {
            open = false;
            continue;
        }
        if (!open || a != end) {
            path.moveTo(a);
        }
        path.lineTo(b);
        end = b;
        open = true;
    }
    return path;
}

QRectF Clamped(const QRectF& r, const QRectF& limits) {
    return QRectF(QPointF(std::clamp(r.left(), limits.left(), limits.right()),
                          std::clamp(r.top(), limits.top(), limits.bottom())),
                  QPointF(std::clamp(r.right(), limits.left(), limits.right()),
                          std::clamp(r.bottom(), limits.top(), limits.bottom())));
}

// The stroke with the points dropped that lie within `tolerance` of the line through their
// neighbours kept (Douglas-Peucker): the painter's cost is per segment and join, and a quarter
// pixel does not show.
std::vector<QPointF> Thinned(const std::vector<QPointF>& points, double tolerance) {
    const std::size_t n = points.size();
    if (n < 3) {
        return points;
    }
    std::vector<char> keep(n, 0);
    keep[0] = keep[n - 1] = 1;
    std::vector<std::pair<std::size_t, std::size_t>> spans = {{0, n - 1}};
    while (!spans.empty()) {
        const auto [a, b] = spans.back();
        spans.pop_back();
        const QPointF d = points[b] - points[a];
        const double len = std::hypot(d.x(), d.y());
        double worst = -1.0;
        std::size_t at = a;
        for (std::size_t i = a + 1; i < b; ++i) {
            const QPointF v = points[i] - points[a];
            const double dist = len > 0.0 ? std::abs(v.x() * d.y() - v.y() * d.x()) / len
                                          : std::hypot(v.x(), v.y());
            if (dist > worst) {
                worst = dist;
                at = i;
            }
        }
        if (worst > tolerance) {
            keep[at] = 1;
            spans.push_back({a, at});
            spans.push_back({at, b});
        }
    }
    std::vector<QPointF> out;
    for (std::size_t i = 0; i < n; ++i) {
        if (keep[i]) {
            out.push_back(points[i]);
        }
    }
    return out;
}

}  // namespace MarkClipping
