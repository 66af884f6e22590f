// The annotation mode's rules, without a display: keys choose tools, drags become marks in the
// picture's own pixels, text is typed until Enter, and a selected mark moves or goes.

#include "window/cAnnotation.h"

#include <gtest/gtest.h>

namespace {

using Kind = cAnnotation::Change::Kind;
using Tool = cAnnotation::Tool;

// A picture of 400 x 300 shown at half its size.
const QSizeF kShown(200, 150);
const QSizeF kOwn(400, 300);

cAnnotation::Change Drag(cAnnotation& a, QPointF from, QPointF to, std::vector<cMark>& marks,
                         Qt::KeyboardModifiers keys = Qt::NoModifier) {
    a.Press(from, kShown, kOwn, keys, marks);
    a.Move((from + to) / 2, keys);
    return a.Release(to, keys);
}

TEST(Annotation, KeysChooseToolsAndTheChoiceIsKeptForTheRun) {
    EXPECT_EQ(cAnnotation::ToolOfKey(Qt::Key_1), Tool::Rectangle);
    EXPECT_EQ(cAnnotation::ToolOfKey(Qt::Key_7), Tool::Pixelate);
    EXPECT_EQ(cAnnotation::ToolOfKey(Qt::Key_9), Tool::Number);
    EXPECT_EQ(cAnnotation::ToolOfKey(Qt::Key_0), Tool::Select);
    EXPECT_FALSE(cAnnotation::ToolOfKey(Qt::Key_A));
    EXPECT_EQ(cAnnotation::Caption(Tool::Pixelate), QStringLiteral("像素化"));

    cAnnotation first;
    first.Choose({Tool::Arrow, 4, 2});
    cAnnotation second;
    second.SetOn(true);
    EXPECT_EQ(second.Current().tool, Tool::Arrow);
    EXPECT_EQ(second.Current().colour, 4);
    cAnnotation::Kept() = cAnnotation::Choice();
}

TEST(Annotation, TheToolBarSitsBelowTheWindowOrAboveItInsideTheWorkArea) {
    const QRect area(0, 0, 1000, 800);
    const QSize bar(300, 40);
    EXPECT_EQ(cAnnotation::BarPlace(QRect(100, 100, 400, 300), bar, area), QPoint(100, 400));
    EXPECT_EQ(cAnnotation::BarPlace(QRect(100, 500, 400, 290), bar, area), QPoint(100, 460));
    EXPECT_EQ(cAnnotation::BarPlace(QRect(900, 100, 400, 300), bar, area), QPoint(700, 400));
    EXPECT_EQ(cAnnotation::BarPlace(QRect(0, 0, 1000, 800), bar, area), QPoint(0, 0));
}

TEST(Annotation, DragsBecomeMarksInThePicturesOwnPixels) {
    cAnnotation a;
    a.SetOn(true);
    a.Choose({Tool::Rectangle, 0, 1});
    std::vector<cMark> marks;
    const auto box = Drag(a, {10, 20}, {60, 45}, marks);
    ASSERT_EQ(box.kind, Kind::Add);
    EXPECT_EQ(box.mark.kind, MarkKind::Rectangle);
    EXPECT_EQ(box.mark.points.front(), QPointF(20, 40));
    EXPECT_EQ(box.mark.points.back(), QPointF(120, 90));
    EXPECT_DOUBLE_EQ(box.mark.width, 8.0);  // 4 shown pixels on a picture shown at half
    EXPECT_EQ(box.mark.colour, QColor(0xFF, 0, 0));

    // A click is no rectangle; Shift makes it square.
    EXPECT_EQ(Drag(a, {10, 20}, {10, 20}, marks).kind, Kind::None);
    const auto square = Drag(a, {0, 0}, {50, 20}, marks, Qt::ShiftModifier);
    const QRectF r(square.mark.points.front(), square.mark.points.back());
    EXPECT_DOUBLE_EQ(std::abs(r.width()), std::abs(r.height()));

    // Numbered marks count up in the order placed.
    a.Choose({Tool::Number, 3, 0});
    for (int n = 1; n <= 2; ++n) {
        a.Press({30.0 * n, 30}, kShown, kOwn, Qt::NoModifier, marks);
        const auto placed = a.Release({30.0 * n, 30}, Qt::NoModifier);
        ASSERT_EQ(placed.kind, Kind::Add);
        EXPECT_EQ(placed.mark.number, n);
        marks.push_back(placed.mark);
    }
}

TEST(Annotation, TextIsTypedUntilEnterAndASelectedMarkMovesOrGoes) {
    cAnnotation a;
    a.SetOn(true);
    a.Choose({Tool::Text, 6, 0});
    std::vector<cMark> marks;
    a.Press({50, 50}, kShown, kOwn, Qt::NoModifier, marks);
    EXPECT_TRUE(a.IsTyping());
    a.Type(Qt::Key_A, Qt::NoModifier, QStringLiteral("ab"));
    a.Type(Qt::Key_Return, Qt::ShiftModifier, QString());
    a.Type(Qt::Key_C, Qt::NoModifier, QStringLiteral("文字"));
    a.Type(Qt::Key_Backspace, Qt::NoModifier, QString());
    const auto text = a.Type(Qt::Key_Return, Qt::NoModifier, QString());
    ASSERT_EQ(text.kind, Kind::Add);
    EXPECT_EQ(text.mark.text, QStringLiteral("ab\n文"));
    EXPECT_FALSE(a.IsTyping());

    a.Choose({Tool::Rectangle, 0, 0});
    marks.push_back(Drag(a, {10, 10}, {40, 40}, marks).mark);
    a.Choose({Tool::Select, 0, 0});
    const auto moved = Drag(a, {10, 25}, {20, 35}, marks);  // grabbed on its left edge
    ASSERT_EQ(moved.kind, Kind::Replace);
    EXPECT_EQ(moved.index, 0);
    EXPECT_EQ(moved.mark.points.front(), QPointF(40, 40));
    EXPECT_EQ(a.Selected(), 0);
    const auto gone = a.RemoveSelected();
    EXPECT_EQ(gone.kind, Kind::Remove);
    EXPECT_EQ(gone.index, 0);
    EXPECT_EQ(a.RemoveSelected().kind, Kind::None);
}

}  // namespace
