#include "MarkGeometry.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include "MarkShapes.h"

namespace MarkGeometry {

namespace {

double Sign(double v) {
    return v < 0.0 ? -1.0 : 1.0;
}

double Distance(QPointF a, QPointF b) {
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

double SegmentDistance(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    if (!(len2 > 0.0)) {
        return Distance(p, a);
    }
    const double t = std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0);
    return Distance(p, a + t * ab);
}

// Distance from p to the outline of r (inside or out).
double OutlineDistance(QPointF p, const QRectF& r) {
    if (r.contains(p)) {
        return std::min({p.x() - r.left(), r.right() - p.x(), p.y() - r.top(), r.bottom() - p.y()});
    }
    const double dx = std::max({r.left() - p.x(), 0.0, p.x() - r.right()});
    const double dy = std::max({r.top() - p.y(), 0.0, p.y() - r.bottom()});
    return std::hypot(dx, dy);
}

// Distance from p to the ellipse in r, measured along the ray from its centre (close enough to
// pick a mark by).
double EllipseDistance(QPointF p, const QRectF& r) {
    const double a = r.width() / 2.0;
    const double b = r.height() / 2.0;
    const QPointF c = r.center();
    if (!(a > 0.0) || !(b > 0.0)) {
        return SegmentDistance(p, r.topLeft(), r.bottomRight());
    }
    const QPointF d = p - c;
    const double k = std::hypot(d.x() / a, d.y() / b);
    if (!(k > 0.0)) {
        return std::min(a, b);
    }
    return std::hypot(d.x(), d.y()) * std::abs(1.0 - 1.0 / k);
}

bool HaveGui() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// A huge text costs no more to measure than a short one: the first kMeasuredLines lines are
// measured on at most kMeasuredChars characters and a longer line extrapolated from its part;
// further lines from the widest advance per character seen.
constexpr int kMeasuredChars = 1000;
constexpr int kMeasuredLines = 100;

// Applies f to every point of every mark. On a turn or mirror a text mark moves with its box's
// centre instead, so it stays upright and in place.
void MapMarks(std::vector<cMark>& marks, const std::function<QPointF(QPointF)>& f, bool turnsText) {
    for (cMark& m : marks) {
        if (turnsText && m.kind == MarkKind::Text && !m.points.empty()) {
            const QRectF box = TextBox(m);
            m.points[0] = f(box.center()) - (box.center() - m.points[0]);
            continue;
        }
        for (QPointF& p : m.points) {
            p = f(p);
        }
    }
}

void ScaleMeasures(std::vector<cMark>& marks, double k) {
    for (cMark& m : marks) {
        m.width *= k;
        m.fontSize *= k;
    }
}

}  // namespace

QPointF ConstrainedEnd(MarkKind kind, QPointF press, QPointF current, bool shift) {
    if (!shift) {
        return current;
    }
    const double dx = current.x() - press.x();
    const double dy = current.y() - press.y();
    const double ax = std::abs(dx);
    const double ay = std::abs(dy);
    if (MarkShapes::IsSegment(kind)) {
        const double tan22 = std::tan(M_PI / 8.0);
        if (ay <= ax * tan22) {
            return {current.x(), press.y()};
        }
        if (ax <= ay * tan22) {
            return {press.x(), current.y()};
        }
        const double s = (ax + ay) / 2.0;
        return {press.x() + Sign(dx) * s, press.y() + Sign(dy) * s};
    }
    if (MarkShapes::IsBox(kind)) {
        const double s = std::max(ax, ay);
        return {press.x() + Sign(dx) * s, press.y() + Sign(dy) * s};
    }
    return current;
}

void DragTo(cMark& mark, QPointF current, bool shift) {
    if (!std::isfinite(current.x()) || !std::isfinite(current.y())) {
        return;
    }
    if (MarkShapes::IsStroke(mark.kind)) {
        if (!mark.points.empty() && Distance(mark.points.back(), current) < 0.5) {
            return;
        }
        mark.points.push_back(current);
        if (mark.points.size() > kMaxStrokePoints) {
            // Down to half, so thinning comes again only after as many new points.
            mark.points = SimplifiedStroke(mark.points, 0.5, kMaxStrokePoints / 2);
        }
        return;
    }
    if (mark.points.size() == 2) {
        mark.points[1] = ConstrainedEnd(mark.kind, mark.points[0], current, shift);
    }
}

std::vector<QPointF> SimplifiedStroke(const std::vector<QPointF>& points, double minDistance,
                                      std::size_t maxPoints) {
    std::vector<QPointF> out;
    for (const QPointF& p : points) {
        if (std::isfinite(p.x()) && std::isfinite(p.y())) {
            out.push_back(p);
        }
    }
    maxPoints = std::max<std::size_t>(maxPoints, 2);
    double d = std::max(minDistance, 0.0);
    for (int pass = 0; pass < 64; ++pass) {
        if (out.size() < 2 || (pass > 0 && out.size() <= maxPoints)) {
            return out;
        }
        const QPointF last = out.back();
        std::vector<QPointF> kept;
        kept.reserve(out.size());
        kept.push_back(out.front());
        for (std::size_t i = 1; i + 1 < out.size(); ++i) {
            if (Distance(out[i], kept.back()) >= d) {
                kept.push_back(out[i]);
            }
        }
        if (Distance(last, kept.back()) > 0.0 || kept.size() == 1) {
            kept.push_back(last);
        }
        out.swap(kept);
        d = std::max(d * 2.0, 0.5);
    }
    // Still too many (a stroke spanning astronomical distances): every n-th point.
    if (out.size() > maxPoints) {
        const std::size_t step = (out.size() + maxPoints - 1) / (maxPoints - 1);
        std::vector<QPointF> kept;
        for (std::size_t i = 0; i + 1 < out.size(); i += step) {
            kept.push_back(out[i]);
        }
        kept.push_back(out.back());
        out.swap(kept);
    }
    return out;
}

QRectF TextBox(const cMark& mark) {
    if (mark.points.empty()) {
        return {};
    }
    const QStringList lines = mark.text.split(QLatin1Char('\n'));
    const double size = std::max(mark.fontSize, 0.0);
    // Font sizes are whole pixels: measured at a fixed size and scaled.
    constexpr int kReference = 100;
    std::optional<QFontMetricsF> fm;  // fonts exist only in a GUI application
    if (HaveGui()) {
        QFont font;
        font.setPixelSize(kReference);
        fm.emplace(font);
    }
    const double lineHeight = fm ? fm->lineSpacing() / kReference : 1.2;
    // In units of the size; without fonts Latin letters are about 0.6 of it, others (CJK) 1.
    const auto advance = [&](const QString& part) {
        if (fm) {
            return fm->horizontalAdvance(part) / kReference;
        }
        double w = 0.0;
        for (const QChar c : part) {
            w += c.unicode() < 0x2E80 ? 0.6 : 1.0;
        }
        return w;
    };
    double widest = 0.0;
    double perChar = 0.0;
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.isEmpty()) {
            continue;
        }
        double w;
        if (i < kMeasuredLines) {
            const int n = std::min<int>(line.size(), kMeasuredChars);
            w = advance(line.left(n));
            perChar = std::max(perChar, w / n);
            w *= double(line.size()) / n;
        } else {
            w = line.size() * (perChar > 0.0 ? perChar : 1.0);
        }
        widest = std::max(widest, w);
    }
    return {mark.points[0], QSizeF(widest * size, lineHeight * size * lines.size())};
}

QRectF Bounds(const cMark& mark) {
    if (mark.points.empty()) {
        return {};
    }
    const double half = std::max(mark.width, 0.0) / 2.0;
    switch (mark.kind) {
        case MarkKind::Text:
            return TextBox(mark);
        case MarkKind::Number: {
            const double r = std::max(mark.fontSize, 0.0) + half;
            return {mark.points[0] - QPointF(r, r), QSizeF(2 * r, 2 * r)};
        }
        case MarkKind::Pixelate:
            return MarkShapes::Box(mark);
        default:
            break;
    }
    double minX = mark.points[0].x();
    double maxX = minX;
    double minY = mark.points[0].y();
    double maxY = minY;
    for (const QPointF& p : mark.points) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    double grow = half;
    if (mark.kind == MarkKind::Arrow) {
        grow = std::max(grow, MarkShapes::ArrowHeadHalfWidth(mark.width));
    }
    return QRectF(QPointF(minX, minY), QPointF(maxX, maxY)).adjusted(-grow, -grow, grow, grow);
}

std::vector<std::size_t> PaintOrder(const std::vector<cMark>& marks) {
    std::vector<std::size_t> order;
    order.reserve(marks.size());
    for (int layer = 0; layer < 3; ++layer) {
        for (std::size_t i = 0; i < marks.size(); ++i) {
            const MarkKind k = marks[i].kind;
            const int l = k == MarkKind::Pixelate ? 0 : k == MarkKind::Highlighter ? 1 : 2;
            if (l == layer) {
                order.push_back(i);
            }
        }
    }
    return order;
}

bool Hits(const cMark& mark, QPointF point, double tolerance) {
    if (mark.points.empty()) {
        return false;
    }
    const double reach = tolerance + std::max(mark.width, 0.0) / 2.0;
    switch (mark.kind) {
        case MarkKind::Rectangle:
            return OutlineDistance(point, MarkShapes::Box(mark)) <= reach;
        case MarkKind::Ellipse:
            return EllipseDistance(point, MarkShapes::Box(mark)) <= reach;
        case MarkKind::Arrow:
        case MarkKind::Line:
            return SegmentDistance(point, mark.points.front(), mark.points.back()) <= reach;
        case MarkKind::Pen:
        case MarkKind::Highlighter: {
            if (mark.points.size() == 1) {
                return Distance(point, mark.points[0]) <= reach;
            }
            for (std::size_t i = 1; i < mark.points.size(); ++i) {
                if (SegmentDistance(point, mark.points[i - 1], mark.points[i]) <= reach) {
                    return true;
                }
            }
            return false;
        }
        case MarkKind::Pixelate:
            return OutlineDistance(point, MarkShapes::Box(mark)) <= tolerance ||
                   MarkShapes::Box(mark).contains(point);
        case MarkKind::Text:
            return TextBox(mark)
                .adjusted(-tolerance, -tolerance, tolerance, tolerance)
                .contains(point);
        case MarkKind::Number:
            return Distance(point, mark.points[0]) <= std::max(mark.fontSize, 0.0) + tolerance;
    }
    return false;
}

int HitTest(const std::vector<cMark>& marks, QPointF point, double toleranceShown,
            double shownPerOwn) {
    const double tolerance = shownPerOwn > 0.0 ? toleranceShown / shownPerOwn : toleranceShown;
    const std::vector<std::size_t> order = PaintOrder(marks);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (Hits(marks[*it], point, tolerance)) {
            return static_cast<int>(*it);
        }
    }
    return -1;
}

std::vector<QPointF> Handles(const cMark& mark) {
    if (MarkShapes::IsBox(mark.kind) && mark.points.size() == 2) {
        const QRectF r = MarkShapes::Box(mark);
        return {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
    }
    if (MarkShapes::IsSegment(mark.kind) && mark.points.size() == 2) {
        return mark.points;
    }
    return {};
}

int HandleAt(const cMark& mark, QPointF point, double toleranceShown, double shownPerOwn) {
    const double tolerance = shownPerOwn > 0.0 ? toleranceShown / shownPerOwn : toleranceShown;
    const std::vector<QPointF> handles = Handles(mark);
    for (std::size_t i = 0; i < handles.size(); ++i) {
        if (Distance(handles[i], point) <= tolerance) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void MoveHandle(cMark& mark, int handle, QPointF point, bool shift) {
    const std::vector<QPointF> handles = Handles(mark);
    if (handle < 0 || handle >= static_cast<int>(handles.size())) {
        return;
    }
    if (MarkShapes::IsBox(mark.kind)) {
        const QPointF opposite = handles[(handle + 2) % 4];
        mark.points = {opposite, ConstrainedEnd(mark.kind, opposite, point, shift)};
        return;
    }
    const QPointF other = mark.points[1 - handle];
    mark.points[handle] = ConstrainedEnd(mark.kind, other, point, shift);
}

void Move(cMark& mark, QPointF delta) {
    for (QPointF& p : mark.points) {
        p += delta;
    }
}

void FollowCrop(std::vector<cMark>& marks, const QRectF& crop, QSizeF shown, QSizeF own) {
    const double sx = own.width() > 0.0 ? shown.width() / own.width() : 1.0;
    const double sy = own.height() > 0.0 ? shown.height() / own.height() : 1.0;
    const QPointF origin = crop.topLeft();
    MapMarks(
        marks, [&](QPointF p) { return QPointF(p.x() * sx, p.y() * sy) - origin; }, false);
    ScaleMeasures(marks, (sx + sy) / 2.0);
    const double w = crop.width();
    const double h = crop.height();
    marks.erase(std::remove_if(marks.begin(), marks.end(),
                               [&](const cMark& m) {
                                   const QRectF b = Bounds(m).normalized();
                                   return m.points.empty() || !(b.left() < w) ||
                                          !(b.right() > 0.0) || !(b.top() < h) ||
                                          !(b.bottom() > 0.0);
                               }),
                marks.end());
}

void FollowRotate(std::vector<cMark>& marks, int angle, QSizeF own) {
    const double w = own.width();
    const double h = own.height();
    if (angle == 90) {
        MapMarks(
            marks, [&](QPointF p) { return QPointF(h - p.y(), p.x()); }, true);
    } else if (angle == -90) {
        MapMarks(
            marks, [&](QPointF p) { return QPointF(p.y(), w - p.x()); }, true);
    }
}

void FollowFlip(std::vector<cMark>& marks, const QString& axis, QSizeF own) {
    if (axis == QLatin1String("X")) {
        MapMarks(
            marks, [&](QPointF p) { return QPointF(p.x(), own.height() - p.y()); }, true);
    } else if (axis == QLatin1String("Y")) {
        MapMarks(
            marks, [&](QPointF p) { return QPointF(own.width() - p.x(), p.y()); }, true);
    }
}

void FollowScale(std::vector<cMark>& marks, QSizeF own, QSizeF newOwn) {
    const double sx = own.width() > 0.0 ? newOwn.width() / own.width() : 1.0;
    const double sy = own.height() > 0.0 ? newOwn.height() / own.height() : 1.0;
    MapMarks(
        marks, [&](QPointF p) { return QPointF(p.x() * sx, p.y() * sy); }, false);
    ScaleMeasures(marks, (sx + sy) / 2.0);
}

}  // namespace MarkGeometry
