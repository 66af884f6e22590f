#include "MarkPainter.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "MarkClipping.h"
#include "MarkGeometry.h"
#include "MarkShapes.h"
#include "base/Rounding.h"

namespace MarkPainter {

namespace {

using MarkClipping::Clamped;
using MarkClipping::ClippedPolyline;
using MarkClipping::ClipSegment;
using MarkClipping::Thinned;

// Pixel blocks of a pixelated area, in picture pixels.
constexpr double kBlock = 10.0;
// The highlighter's opacity.
constexpr int kHighlighterAlpha = 102;
// Pixels of the view added around a mark for antialiasing.
constexpr int kAntialias = 2;

struct Scale {
    double sx = 1.0;
    double sy = 1.0;
    double k = 1.0;  // for widths and font sizes
    QPointF Map(QPointF p) const { return {p.x() * sx, p.y() * sy}; }
    QRectF Map(const QRectF& r) const { return QRectF(Map(r.topLeft()), Map(r.bottomRight())); }
};

Scale ScaleOf(QSizeF to, QSizeF own) {
    Scale s;
    if (own.width() > 0.0 && own.height() > 0.0) {
        s.sx = to.width() / own.width();
        s.sy = to.height() / own.height();
        s.k = (s.sx + s.sy) / 2.0;
    }
    return s;
}

bool Paintable(QImage::Format f) {
    return f == QImage::Format_BGR888 || f == QImage::Format_RGB888 || f == QImage::Format_RGB32 ||
           f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied;
}

void MakePaintable(QImage& image) {
    if (!Paintable(image.format())) {
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                              : QImage::Format_BGR888);
    }
}

bool HaveGui() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

void DrawText(QPainter& p, const cMark& m, const Scale& s, const QSize& size) {
    if (!HaveGui() || m.text.isEmpty()) {
        return;
    }
    QFont font;
    const int px = std::clamp(Rounding::Round32(m.fontSize * s.k), 1, 100000);
    font.setPixelSize(px);
    p.setFont(font);
    p.setPen(m.colour);
    const QFontMetricsF fm(font);
    const QPointF at = s.Map(m.points[0]);
    // Only what can show is laid out: lines inside the picture, and per line no more characters
    // than could fit across it (no glyph is narrower than about a seventh of the size).
    const double left = std::min(at.x(), 0.0);
    const qsizetype chars =
        static_cast<qsizetype>(std::min(10000.0, (size.width() - left) / (0.15 * px) + 2.0));
    const QStringList lines = m.text.split(QLatin1Char('\n'));
    double y = at.y();
    for (const QString& line : lines) {
        if (y > size.height()) {
            break;
        }
        if (y + fm.lineSpacing() >= 0.0 && at.x() < size.width()) {
            p.drawText(QPointF(at.x(), y + fm.ascent()), line.left(chars));
        }
        y += fm.lineSpacing();
    }
}

void DrawNumber(QPainter& p, const cMark& m, const Scale& s) {
    const QPointF c = s.Map(m.points[0]);
    const double r = std::max(m.fontSize * s.k, 0.5);
    p.setPen(Qt::NoPen);
    p.setBrush(m.colour);
    p.drawEllipse(c, r, r);
    if (!HaveGui()) {
        return;
    }
    QFont font;
    font.setBold(true);
    font.setPixelSize(std::clamp(Rounding::Round32(r * 1.1), 1, 100000));
    p.setFont(font);
    // Dark digits on the light colours (yellow, white), light ones on the rest.
    p.setPen(m.colour.lightnessF() > 0.6 ? QColor(Qt::black) : QColor(Qt::white));
    p.drawText(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), Qt::AlignCenter,
               QString::number(m.number));
}

void DrawOne(QPainter& p, const cMark& m, const Scale& s, const QSize& size) {
    const double w = std::max(m.width * s.k, 0.0);
    // Geometry is cut a little outside the picture, so what is cut never shows.
    const double margin = w + 8.0;
    const QRectF limits =
        QRectF(0, 0, size.width(), size.height()).adjusted(-margin, -margin, margin, margin);
    QPen pen(m.colour, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setBrush(Qt::NoBrush);
    switch (m.kind) {
        case MarkKind::Rectangle: {
            pen.setCapStyle(Qt::SquareCap);
            pen.setJoinStyle(Qt::MiterJoin);
            p.setPen(pen);
            p.drawRect(Clamped(s.Map(MarkShapes::Box(m)), limits));
            break;
        }
        case MarkKind::Ellipse: {
            p.setPen(pen);
            const QRectF r = s.Map(MarkShapes::Box(m));
            if (limits.contains(r)) {
                p.drawEllipse(r);
            } else {
                // A huge ellipse as a bounded polygon, cut like a stroke.
                constexpr int kSteps = 2048;
                std::vector<QPointF> ring;
                ring.reserve(kSteps + 1);
                for (int i = 0; i <= kSteps; ++i) {
                    const double t = 2.0 * M_PI * i / kSteps;
                    ring.emplace_back(r.center().x() + r.width() / 2.0 * std::cos(t),
                                      r.center().y() + r.height() / 2.0 * std::sin(t));
                }
                p.drawPath(ClippedPolyline(ring, limits));
            }
            break;
        }
        case MarkKind::Line:
        case MarkKind::Arrow: {
            QPointF a = s.Map(m.points.front());
            QPointF b = s.Map(m.points.back());
            QPointF shaftEnd = b;
            QPolygonF head;
            if (m.kind == MarkKind::Arrow) {
                head = MarkShapes::ArrowHead(a, b, w, &shaftEnd);
            }
            p.setPen(pen);
            QPointF c = a;
            QPointF d = shaftEnd;
            if (ClipSegment(limits, c, d)) {
                p.drawLine(c, d);
            }
            if (!head.isEmpty() && limits.intersects(head.boundingRect())) {
                p.setPen(Qt::NoPen);
                p.setBrush(m.colour);
                p.drawPolygon(head);
            }
            break;
        }
        case MarkKind::Pen:
        case MarkKind::Highlighter: {
            if (m.kind == MarkKind::Highlighter) {
                QColor c = m.colour;
                c.setAlpha(kHighlighterAlpha);
                pen.setColor(c);
            }
            p.setPen(pen);
            std::vector<QPointF> mapped;
            mapped.reserve(m.points.size());
            for (const QPointF& q : m.points) {
                mapped.push_back(s.Map(q));
            }
            // One path, so a translucent stroke crossing itself does not darken.
            p.drawPath(ClippedPolyline(Thinned(mapped, 0.25), limits));
            break;
        }
        case MarkKind::Text:
            DrawText(p, m, s, size);
            break;
        case MarkKind::Number:
            DrawNumber(p, m, s);
            break;
        case MarkKind::Pixelate:
            break;
    }
}

bool Finite(const cMark& m) {
    return std::all_of(
               m.points.begin(), m.points.end(),
               [](const QPointF& q) { return std::isfinite(q.x()) && std::isfinite(q.y()); }) &&
           std::isfinite(m.width) && std::isfinite(m.fontSize);
}

}  // namespace

void Pixelate(QImage& image, const QRectF& area, double block) {
    if (image.isNull() || !(block > 0.0) || !std::isfinite(block)) {
        return;
    }
    MakePaintable(image);
    // Blocks narrower than a pixel would only repeat pixels.
    block = std::max(block, 1.0);
    const QRectF a = area.normalized();
    const int x0 = std::max(Rounding::Round32(a.left()), 0);
    const int x1 = std::min(Rounding::Round32(a.right()), image.width());
    const int y0 = std::max(Rounding::Round32(a.top()), 0);
    const int y1 = std::min(Rounding::Round32(a.bottom()), image.height());
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    const int bpp = image.depth() / 8;
    // Block edges counted from the area's own corner, each rounded to a whole pixel.
    const auto edge = [&](double origin, long long j) {
        return Rounding::Round32(origin + static_cast<double>(j) * block);
    };
    const long long firstCol = static_cast<long long>(std::floor((x0 - a.left()) / block));
    const long long firstRow = static_cast<long long>(std::floor((y0 - a.top()) / block));
    for (long long row = std::max(firstRow - 1, 0LL);; ++row) {
        const int by0 = std::max(edge(a.top(), row), y0);
        const int by1 = std::min(edge(a.top(), row + 1), y1);
        if (by0 >= y1) {
            break;
        }
        if (by0 >= by1) {
            continue;
        }
        for (long long col = std::max(firstCol - 1, 0LL);; ++col) {
            const int bx0 = std::max(edge(a.left(), col), x0);
            const int bx1 = std::min(edge(a.left(), col + 1), x1);
            if (bx0 >= x1) {
                break;
            }
            if (bx0 >= bx1) {
                continue;
            }
            unsigned long long sum[4] = {0, 0, 0, 0};
            for (int y = by0; y < by1; ++y) {
                const uchar* line = image.constScanLine(y) + static_cast<qsizetype>(bx0) * bpp;
                for (int x = bx0; x < bx1; ++x, line += bpp) {
                    for (int c = 0; c < bpp; ++c) {
                        sum[c] += line[c];
                    }
                }
            }
            const double count = double(by1 - by0) * double(bx1 - bx0);
            uchar mean[4];
            for (int c = 0; c < bpp; ++c) {
                mean[c] = static_cast<uchar>(Rounding::Round32(double(sum[c]) / count));
            }
            for (int y = by0; y < by1; ++y) {
                uchar* line = image.scanLine(y) + static_cast<qsizetype>(bx0) * bpp;
                for (int x = bx0; x < bx1; ++x, line += bpp) {
                    std::copy(mean, mean + bpp, line);
                }
            }
        }
    }
}

void DrawMarks(QImage& image, const std::vector<cMark>& marks, QSizeF own) {
    if (image.isNull() || marks.empty() || !(own.width() > 0.0) || !(own.height() > 0.0)) {
        return;
    }
    MakePaintable(image);
    const Scale s = ScaleOf(QSizeF(image.size()), own);
    const QRectF whole(QPointF(0, 0), QSizeF(image.size()));
    const std::vector<std::size_t> order = MarkGeometry::PaintOrder(marks);
    std::size_t i = 0;
    for (; i < order.size() && marks[order[i]].kind == MarkKind::Pixelate; ++i) {
        const cMark& m = marks[order[i]];
        if (Finite(m) && !m.points.empty()) {
            Pixelate(image, s.Map(MarkShapes::Box(m)), kBlock * s.k);
        }
    }
    if (i == order.size()) {
        return;
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (; i < order.size(); ++i) {
        const cMark& m = marks[order[i]];
        if (m.points.empty() || !Finite(m)) {
            continue;
        }
        const double w = m.width * s.k;
        if (!s.Map(MarkGeometry::Bounds(m)).normalized().adjusted(-w, -w, w, w).intersects(whole)) {
            continue;
        }
        DrawOne(p, m, s, image.size());
    }
}

void DrawMark(QPainter& p, const cMark& m, QSizeF view, QSizeF own) {
    if (m.points.empty() || !Finite(m) || !(own.width() > 0.0) || !(own.height() > 0.0)) {
        return;
    }
    const Scale s = ScaleOf(view, own);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (m.kind == MarkKind::Pixelate) {
        // Its blocks come from the picture's pixels once it is placed; until then its area.
        p.setPen(QPen(QColor(128, 128, 128), 1.0, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(s.Map(MarkShapes::Box(m)));
    } else {
        DrawOne(p, m, s, view.toSize());
    }
    p.restore();
}

QImage WithMarks(const QImage& picture, const std::vector<cMark>& marks) {
    if (picture.isNull() || marks.empty()) {
        return picture;
    }
    QImage out = picture.copy();
    DrawMarks(out, marks, QSizeF(picture.size()));
    return out;
}

namespace {

QRect ViewRect(const QRectF& ownRect, QSizeF view, QSizeF own) {
    const QRectF r = ScaleOf(view, own).Map(ownRect).normalized();
    const QRectF viewRect(QPointF(0, 0), view);
    const QRectF cut =
        r.adjusted(-kAntialias, -kAntialias, kAntialias, kAntialias).intersected(viewRect);
    return cut.isEmpty() ? QRect() : cut.toAlignedRect();
}

}  // namespace

QRect RepaintRect(const cMark& mark, QSizeF view, QSizeF own) {
    if (mark.points.empty() || !Finite(mark)) {
        return {};
    }
    return ViewRect(MarkGeometry::Bounds(mark), view, own);
}

QRect RepaintRectOfLastSegment(const cMark& mark, QSizeF view, QSizeF own) {
    if (!MarkShapes::IsStroke(mark.kind) || mark.points.size() < 2) {
        return RepaintRect(mark, view, own);
    }
    cMark last = mark;
    last.points.assign(mark.points.end() - 2, mark.points.end());
    return RepaintRect(last, view, own);
}

}  // namespace MarkPainter
