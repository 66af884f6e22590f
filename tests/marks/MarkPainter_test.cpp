#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <vector>

#include "marks/MarkGeometry.h"
#include "marks/MarkPainter.h"

namespace {

using MarkPainter::DrawMarks;

cMark Mark(MarkKind kind, std::vector<QPointF> points, double width, QColor colour = Qt::red) {
    cMark m = NewMark(kind, points.front(), colour, width);
    m.points = std::move(points);
    return m;
}

QImage White(int w, int h, QImage::Format format = QImage::Format_BGR888) {
    QImage img(w, h, format);
    img.fill(Qt::white);
    return img;
}

// Each pixel's blue is x + 10 y, green 255 minus that, red 7.
QImage Ramp(int w, int h) {
    QImage img(w, h, QImage::Format_BGR888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            img.setPixel(x, y, qRgb(7, 255 - (x + 10 * y), x + 10 * y));
        }
    }
    return img;
}

// The smallest rectangle holding every pixel that differs.
QRect Changed(const QImage& a, const QImage& b) {
    QRect r;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                r |= QRect(x, y, 1, 1);
            }
        }
    }
    return r;
}

TEST(MarkPainter, PixelatedBlocksAreTheRoundedMeansOfThePixelsUnder) {
    struct Row {
        QSize image;  // the ramp is drawn at this size
        QSizeF own;   // of a picture this size
        QRectF area;  // own pixels
        QPoint at;    // a pixel of the image
        int blue, green;
    } rows[] = {
        {{20, 10}, {20, 10}, {0, 0, 20, 10}, {3, 3}, 50, 206},     // 49.5 and 205.5: ties to even
        {{20, 10}, {20, 10}, {0, 0, 20, 10}, {19, 9}, 60, 196},    // 59.5 and 195.5
        {{20, 10}, {20, 10}, {15, 5, 25, 25}, {16, 9}, 87, 168},   // cut by the edge: 17 + 70
        {{20, 10}, {20, 10}, {15, 5, 25, 25}, {14, 9}, 104, 151},  // outside the area: kept
        {{20, 10}, {40, 20}, {0, 0, 40, 20}, {4, 0}, 22, 233},     // half size: blocks of 5
        {{20, 10}, {40, 20}, {0, 0, 40, 20}, {5, 9}, 77, 178},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.blue);
        QImage img = Ramp(r.image.width(), r.image.height());
        DrawMarks(img, {Mark(MarkKind::Pixelate, {r.area.topLeft(), r.area.bottomRight()}, 2)},
                  r.own);
        EXPECT_EQ(img.pixel(r.at), qRgb(7, r.green, r.blue));
    }
}

TEST(MarkPainter, ARectangleOutlineIsItsColourOnItsLineOnly) {
    // A 4-pixel outline round (10, 10)-(30, 30) of the image, at own size and at half of it.
    struct Row {
        QImage::Format format;
        double scale;  // own / image
    } rows[] = {{QImage::Format_BGR888, 1.0},
                {QImage::Format_ARGB32, 1.0},
                {QImage::Format_BGR888, 2.0},
                {QImage::Format_Indexed8, 1.0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.scale);
        QImage img = White(40, 40, QImage::Format_RGB32).convertToFormat(r.format);
        const double k = r.scale;
        DrawMarks(img, {Mark(MarkKind::Rectangle, {{10 * k, 10 * k}, {30 * k, 30 * k}}, 4 * k)},
                  QSizeF(40 * k, 40 * k));
        for (const QPoint p : {QPoint(20, 9), QPoint(20, 10), QPoint(8, 8), QPoint(31, 20)}) {
            EXPECT_EQ(img.pixel(p), qRgb(255, 0, 0)) << p.x() << "," << p.y();
        }
        for (const QPoint p : {QPoint(20, 20), QPoint(20, 13), QPoint(20, 6), QPoint(35, 35)}) {
            EXPECT_EQ(img.pixel(p), qRgb(255, 255, 255)) << p.x() << "," << p.y();
        }
    }
}

TEST(MarkPainter, HighlighterGoesUnderAndFarMarksAreClipped) {
    QImage img = White(40, 40);
    const double far = 1e12;
    DrawMarks(img,
              {Mark(MarkKind::Pen, {{0, 20}, {40, 20}}, 4, Qt::black),
               Mark(MarkKind::Highlighter, {{20, 0}, {20, 40}}, 10, QColor(0xFF, 0xD6, 0x00)),
               Mark(MarkKind::Rectangle, {{-far, -far}, {far, far}}, 2),
               Mark(MarkKind::Ellipse, {{-far, -far}, {far, 3 * far}}, 2),
               Mark(MarkKind::Arrow, {{-far, 35}, {far, 35}}, 2),
               Mark(MarkKind::Pixelate, {{far, far}, {2 * far, 2 * far}}, 2),
               Mark(MarkKind::Line, {{NAN, 0}, {1, 1}}, 2)},
              QSizeF(40, 40));
    EXPECT_EQ(img.pixel(20, 20), qRgb(0, 0, 0));  // the pen, though placed first
    const QRgb tint = img.pixel(20, 5);
    EXPECT_EQ(qRed(tint), 255);
    EXPECT_GT(qBlue(tint), 0);  // translucent
    EXPECT_LT(qBlue(tint), 255);
    EXPECT_EQ(img.pixel(3, 35), qRgb(255, 0, 0));  // the arrow's shaft crossing the picture
    EXPECT_EQ(img.pixel(3, 30), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(3, 3), qRgb(255, 255, 255));  // the huge outlines lie outside
}

TEST(MarkPainter, RepaintRectsHoldEveryPixelDrawn) {
    // Own 100 x 100 shown at 50 x 50.
    cMark number = NewMark(MarkKind::Number, {70, 30}, Qt::blue, 2);
    number.fontSize = 9;
    number.number = 3;
    const std::vector<cMark> marks = {
        Mark(MarkKind::Rectangle, {{10, 10}, {40, 30}}, 8),
        Mark(MarkKind::Ellipse, {{50, 50}, {95, 70}}, 4),
        Mark(MarkKind::Arrow, {{10, 90}, {60, 60}}, 6),
        Mark(MarkKind::Line, {{90, 5}, {90, 95}}, 8),
        Mark(MarkKind::Highlighter, {{5, 50}, {30, 70}, {45, 45}}, 12),
        Mark(MarkKind::Pixelate, {{0, 0}, {100, 100}}, 2),
        number,
    };
    for (const cMark& m : marks) {
        SCOPED_TRACE(int(m.kind));
        const QImage before = m.kind == MarkKind::Pixelate ? Ramp(50, 50) : White(50, 50);
        QImage after = before;
        DrawMarks(after, {m}, QSizeF(100, 100));
        const QRect changed = Changed(before, after);
        EXPECT_FALSE(changed.isEmpty());
        EXPECT_TRUE(
            MarkPainter::RepaintRect(m, QSizeF(50, 50), QSizeF(100, 100)).contains(changed));
    }
    // The newest segment of a stroke: what it adds to the stroke before it.
    cMark pen = Mark(MarkKind::Pen, {{10, 10}, {60, 20}}, 8);
    QImage before = White(50, 50);
    DrawMarks(before, {pen}, QSizeF(100, 100));
    pen.points.push_back({80, 90});
    QImage after = White(50, 50);
    DrawMarks(after, {pen}, QSizeF(100, 100));
    const QRect last = MarkPainter::RepaintRectOfLastSegment(pen, QSizeF(50, 50), QSizeF(100, 100));
    EXPECT_TRUE(last.contains(Changed(before, after)));
    EXPECT_LT(last.width(), 25);  // the whole stroke is about 40 wide
}

}  // namespace
