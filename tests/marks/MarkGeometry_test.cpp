#include <gtest/gtest.h>

#include <QString>
#include <cmath>
#include <vector>

#include "marks/MarkGeometry.h"
#include "marks/MarkShapes.h"

namespace {

using namespace MarkGeometry;

cMark Two(MarkKind kind, QPointF a, QPointF b, double width = 2.0) {
    cMark m = NewMark(kind, a, MarkColours()[0], width);
    m.points = {a, b};
    return m;
}

cMark One(MarkKind kind, QPointF at, double size) {
    cMark m = NewMark(kind, at, MarkColours()[0], 2.0);
    m.fontSize = size;
    return m;
}

TEST(MarkGeometry, ShiftKeepsLinesToEighthTurnsAndBoxesSquare) {
    struct Row {
        MarkKind kind;
        QPointF current;
        bool shift;
        QPointF expected;
    } rows[] = {
        {MarkKind::Line, {10, 3}, true, {10, 0}},     // near horizontal
        {MarkKind::Arrow, {3, -10}, true, {0, -10}},  // near vertical
        {MarkKind::Line, {-10, 8}, true, {-9, 9}},    // diagonal: the mean of the two sides
        {MarkKind::Arrow, {0, 0}, true, {0, 0}},      // no length
        {MarkKind::Rectangle, {10, -4}, true, {10, -10}},
        {MarkKind::Ellipse, {-3, 7}, true, {-7, 7}},
        {MarkKind::Pixelate, {4, 2}, true, {4, 4}},
        {MarkKind::Rectangle, {10, -4}, false, {10, -4}},
        {MarkKind::Pen, {10, 3}, true, {10, 3}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(int(r.kind));
        EXPECT_EQ(ConstrainedEnd(r.kind, {0, 0}, r.current, r.shift), r.expected);
        cMark m = NewMark(r.kind, {0, 0}, MarkColours()[0], 2.0);
        DragTo(m, r.current, r.shift);
        EXPECT_EQ(m.points.back(), r.expected);
    }
}

TEST(MarkGeometry, HitTestFindsTheTopmostMarkInTheOrderShown) {
    const std::vector<cMark> marks = {
        Two(MarkKind::Rectangle, {10, 10}, {50, 50}),
        Two(MarkKind::Highlighter, {0, 30}, {100, 30}, 10.0),
        Two(MarkKind::Line, {60, 60}, {90, 90}),
        One(MarkKind::Number, {80, 20}, 8.0),
        Two(MarkKind::Pixelate, {60, 0}, {100, 40}),
        Two(MarkKind::Ellipse, {0, 60}, {40, 100}),
    };
    struct Row {
        QPointF point;
        double shownPerOwn;
        int expected;
    } rows[] = {
        {{30, 30}, 1.0, 1},  // inside the rectangle's outline: only the highlighter
        {{10, 30}, 1.0, 0},  // the rectangle, placed first, shows above the highlighter
        {{80, 20}, 1.0, 3},  // the number above the pixelated area placed after it
        {{65, 5}, 1.0, 4},
        {{75, 78}, 1.0, 2},   // 2.1 from the line: within 4 shown pixels and its half width
        {{75, 85}, 1.0, -1},  // 7.1 away
        {{75, 85}, 0.5, 2},   // 4 shown pixels are 8 picture pixels at half size
        {{20, 60}, 1.0, 5},   // on the ellipse
        {{20, 80}, 1.0, -1},  // its centre
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(QString("%1,%2").arg(r.point.x()).arg(r.point.y()).toStdString());
        EXPECT_EQ(HitTest(marks, r.point, 4.0, r.shownPerOwn), r.expected);
    }
}

TEST(MarkGeometry, HandlesResizeAboutTheOppositeCornerOrEnd) {
    cMark box = Two(MarkKind::Rectangle, {50, 50}, {10, 10});
    EXPECT_EQ(HandleAt(box, {51, 49}, 4.0, 1.0), 2);  // bottom right, whichever way drawn
    EXPECT_EQ(HandleAt(box, {30, 30}, 4.0, 1.0), -1);
    MoveHandle(box, 2, {70, 60}, false);
    EXPECT_EQ(MarkShapes::Box(box), QRectF(QPointF(10, 10), QPointF(70, 60)));
    MoveHandle(box, 0, {0, 5}, true);  // square about the bottom right (70, 60)
    EXPECT_EQ(MarkShapes::Box(box), QRectF(QPointF(0, -10), QPointF(70, 60)));

    cMark line = Two(MarkKind::Line, {0, 0}, {10, 10});
    MoveHandle(line, 0, {-20, 1}, true);
    EXPECT_EQ(line.points[0], QPointF(-20, 10));
    Move(line, {1, 2});
    EXPECT_EQ(line.points[1], QPointF(11, 12));
    EXPECT_TRUE(Handles(One(MarkKind::Number, {1, 1}, 5.0)).empty());
}

TEST(MarkGeometry, MarksFollowCropTurnMirrorAndSize) {
    // A picture of 200 x 100; the text box without fonts is 0.6 of the size per Latin letter
    // and 1.2 high: "ab" at 10 is 12 x 12.
    const QSizeF own(200, 100);
    const auto start = [] {
        cMark text = One(MarkKind::Text, {40, 20}, 10.0);
        text.text = QStringLiteral("ab");
        return std::vector<cMark>{Two(MarkKind::Rectangle, {40, 20}, {80, 60}, 4.0), text,
                                  Two(MarkKind::Line, {190, 90}, {198, 98})};
    };
    struct Row {
        const char* edit;
        QPointF a, b;      // the rectangle's corners after
        QPointF text;      // the text's anchor after
        double width;      // the rectangle's width after
        std::size_t kept;  // marks after
    } rows[] = {
        // Shown at 100 x 50, the crop (10, 10, 50, 30): the far corner's line is cut away.
        {"crop", {10, 0}, {30, 20}, {10, 0}, 2.0, 2},
        {"cw", {80, 40}, {40, 80}, {68, 40}, 4.0, 3},
        {"ccw", {20, 160}, {60, 120}, {20, 148}, 4.0, 3},
        {"X", {40, 80}, {80, 40}, {40, 68}, 4.0, 3},
        {"Y", {160, 20}, {120, 60}, {148, 20}, 4.0, 3},
        {"size", {80, 60}, {160, 180}, {80, 60}, 10.0, 3},  // to 400 x 300
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.edit);
        std::vector<cMark> marks = start();
        const QString edit = QString::fromLatin1(r.edit);
        if (edit == "crop") {
            FollowCrop(marks, QRectF(10, 10, 50, 30), QSizeF(100, 50), own);
        } else if (edit == "cw" || edit == "ccw") {
            FollowRotate(marks, edit == "cw" ? 90 : -90, own);
        } else if (edit == "size") {
            FollowScale(marks, own, QSizeF(400, 300));
        } else {
            FollowFlip(marks, edit, own);
        }
        ASSERT_EQ(marks.size(), r.kept);
        EXPECT_EQ(marks[0].points[0], r.a);
        EXPECT_EQ(marks[0].points[1], r.b);
        EXPECT_DOUBLE_EQ(marks[0].width, r.width);
        EXPECT_EQ(marks[1].points[0], r.text);
    }
}

TEST(MarkGeometry, AMillionPointStrokeStaysBounded) {
    cMark pen = NewMark(MarkKind::Pen, {0, 0}, MarkColours()[0], 2.0);
    QPointF last;
    for (int i = 1; i <= 1000000; ++i) {
        // Round a circle 0.7 pixels a step, so the half-pixel rule alone keeps every point.
        const double t = i * 0.0007;
        last = QPointF(3000 + 1000 * std::cos(t), 2000 + 1000 * std::sin(t));
        DragTo(pen, last, false);
        ASSERT_LE(pen.points.size(), kMaxStrokePoints);
    }
    EXPECT_GT(pen.points.size(), kMaxStrokePoints / 4);
    EXPECT_EQ(pen.points.front(), QPointF(0, 0));
    EXPECT_EQ(pen.points.back(), last);

    // Jitter within half a pixel leaves the two ends.
    std::vector<QPointF> jitter;
    for (int i = 0; i < 1000000; ++i) {
        jitter.emplace_back(10 + 0.2 * std::sin(i), 10 + 0.2 * std::cos(i));
    }
    jitter.emplace_back(NAN, 1.0);
    EXPECT_EQ(SimplifiedStroke(jitter, 0.5).size(), 2u);
}

}  // namespace
