#include <gtest/gtest.h>

#include "window/ClassCropResize.h"
#include "window/ControlFakes.h"

using ControlFakes::FakeControl;
using ControlFakes::FakeWindow;
using ControlFakes::kLeft;
using ControlFakes::kNone;
using ControlFakes::kRight;

namespace {

// The image window's set-up: band 4 px (minimum 13 px), a label at 10, 10 of 100 x 50 px in a
// window 6000 x 4500 twips (400 x 300 px at 15 twips per pixel).
struct Rig {
    explicit Rig(double tx = 15, double ty = 15)
        : label(10, 10, 100, 50), shape(11, 11, 98, 48), father(0, 0, 400 * tx, 300 * ty, tx, ty) {
        c.setBorderWidth(4);
        c.setObjectForm(&label);
        c.setObjectShap(&shape);
        c.setObjectFather(&father);
        c.setEnable(true);
    }
    // Pixels relative to the label, handed over in twips as the window system reports them.
    void Down(qint16 button, double x, double y) {
        c.MouseDown(button, 0, static_cast<float>(x * father.tx),
                    static_cast<float>(y * father.ty));
    }
    void Move(qint16 button, double x, double y) {
        c.MouseMove(button, 0, static_cast<float>(x * father.tx),
                    static_cast<float>(y * father.ty));
    }
    FakeControl label;
    FakeControl shape;
    FakeWindow father;
    ClassCropResize c;
};

struct ZoneCase {
    double tx, ty;
    float x, y;  // twips, relative to the label
    const char* code;
    Qt::CursorShape cursor;
};

void PrintTo(const ZoneCase& z, std::ostream* os) {
    *os << "(" << z.x << ", " << z.y << ") twips at " << z.tx << "/" << z.ty << " -> " << z.code;
}

class CropZone : public testing::TestWithParam<ZoneCase> {};

TEST_P(CropZone, PressAndHoverAgreeOnHandleAndCursor) {
    const ZoneCase& z = GetParam();
    Rig r(z.tx, z.ty);
    r.c.MouseDown(kLeft, 0, z.x, z.y);
    EXPECT_EQ(r.c.Handle(), QString::fromLatin1(z.code));
    EXPECT_EQ(r.label.cursor, z.cursor);

    Rig hover(z.tx, z.ty);
    hover.c.MouseMove(kNone, 0, z.x, z.y);
    EXPECT_EQ(hover.label.cursor, z.cursor);
    EXPECT_EQ(hover.label.geometryCalls, 0);
}

// The label is 100 x 50 px: left and top bands up to 4 px inclusive, the right band after
// 96 px, the bottom band from 46 px.
INSTANTIATE_TEST_SUITE_P(Bounds, CropZone,
                         testing::Values(ZoneCase{15, 15, 60, 60, "WN", Qt::SizeFDiagCursor},
                                         ZoneCase{15, 15, 61, 60, "N", Qt::SizeVerCursor},
                                         ZoneCase{15, 15, 1440, 300, "M", Qt::ArrowCursor},
                                         ZoneCase{15, 15, 1441, 300, "E", Qt::SizeHorCursor},
                                         ZoneCase{15, 15, 1455, 60, "EN", Qt::SizeBDiagCursor},
                                         ZoneCase{15, 15, 300, 689, "M", Qt::ArrowCursor},
                                         ZoneCase{15, 15, 300, 690, "S", Qt::SizeVerCursor},
                                         ZoneCase{15, 15, 30, 690, "WS", Qt::SizeBDiagCursor},
                                         ZoneCase{15, 15, 1455, 690, "ES", Qt::SizeFDiagCursor},
                                         ZoneCase{15, 15, 30, 300, "W", Qt::SizeHorCursor},
                                         // Each axis divides by its own ratio.
                                         ZoneCase{12, 18, 48, 72, "WN", Qt::SizeFDiagCursor},
                                         ZoneCase{12, 18, 49, 72, "N", Qt::SizeVerCursor},
                                         ZoneCase{12, 18, 48, 73, "W", Qt::SizeHorCursor},
                                         ZoneCase{12, 18, 1153, 828, "ES", Qt::SizeFDiagCursor}));

struct DragCase {
    const char* name;
    double pressX, pressY;  // pixels, relative to the label
    double dx, dy;          // pixels
    QRect expected;         // label after the step, pixels
};

void PrintTo(const DragCase& d, std::ostream* os) {
    *os << d.name;
}

class CropDrag : public testing::TestWithParam<DragCase> {};

TEST_P(CropDrag, OneStepKeepsTheRectangleInsideTheWindow) {
    const DragCase& d = GetParam();
    Rig r;
    r.Down(kLeft, d.pressX, d.pressY);
    r.Move(kLeft, d.pressX + d.dx, d.pressY + d.dy);
    EXPECT_EQ(r.label.Rect(), d.expected);
    const QRect& e = d.expected;
    EXPECT_EQ(r.shape.Rect(), QRect(e.x() + 1, e.y() + 1, e.width() - 2, e.height() - 2));
    EXPECT_EQ(r.label.geometryCalls, 1);
    EXPECT_EQ(r.shape.geometryCalls, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, CropDrag,
    testing::Values(DragCase{"E_out", 98, 25, 50, 0, QRect(10, 10, 150, 50)},
                    DragCase{"E_pastWindow", 98, 25, 400, 0, QRect(10, 10, 390, 50)},
                    DragCase{"E_pastMinimum", 98, 25, -95, 0, QRect(10, 10, 13, 50)},
                    DragCase{"W_out", 2, 25, -5, 0, QRect(5, 10, 105, 50)},
                    DragCase{"W_pastWindow", 2, 25, -30, 0, QRect(0, 10, 110, 50)},
                    DragCase{"W_pastMinimum", 2, 25, 95, 0, QRect(97, 10, 13, 50)},
                    DragCase{"N_pastWindow", 50, 2, 0, -30, QRect(10, 0, 100, 60)},
                    DragCase{"N_pastMinimum", 50, 2, 0, 45, QRect(10, 47, 100, 13)},
                    DragCase{"S_pastWindow", 50, 48, 0, 400, QRect(10, 10, 100, 290)},
                    DragCase{"S_pastMinimum", 50, 48, 0, -45, QRect(10, 10, 100, 13)},
                    DragCase{"WN_pastWindow", 2, 2, -30, -30, QRect(0, 0, 110, 60)},
                    DragCase{"ES_pastWindow", 98, 48, 400, 400, QRect(10, 10, 390, 290)},
                    DragCase{"EN", 98, 2, 7, -3, QRect(10, 7, 107, 53)},
                    DragCase{"WS", 2, 48, 6, 9, QRect(16, 10, 94, 59)},
                    DragCase{"M", 50, 25, 20, 30, QRect(30, 40, 100, 50)},
                    DragCase{"M_pastRight", 50, 25, 350, 0, QRect(300, 10, 100, 50)},
                    DragCase{"M_pastTop", 50, 25, 0, -50, QRect(10, 0, 100, 50)},
                    DragCase{"M_pastLeftAndBottom", 50, 25, -50, 400, QRect(0, 250, 100, 50)},
                    // Half-pixel distances round half to even.
                    DragCase{"E_tie", 98, 25, 2.5, 0, QRect(10, 10, 102, 50)},
                    DragCase{"M_tie", 50, 25, 2.5, -3.5, QRect(12, 6, 100, 50)}),
    [](const testing::TestParamInfo<DragCase>& i) { return std::string(i.param.name); });

TEST(ClassCropResize, AnchorsRoundHalfToEvenAndFarEdgesReanchor) {
    Rig r;
    r.Down(kLeft, 98.5, 25);  // anchor 98
    r.Move(kLeft, 101, 25);
    EXPECT_EQ(r.label.width, 103);
    r.Move(kLeft, 103.5, 25);  // from 101: 2.5 -> 2, anchor 104
    EXPECT_EQ(r.label.width, 105);
    r.Move(kLeft, 106, 25);
    EXPECT_EQ(r.label.width, 107);
}

TEST(ClassCropResize, WindowBoundFollowsTheRatio) {
    Rig r(12, 12);  // the window is 4800 twips = 400 px wide at 12 twips per pixel
    r.Down(kLeft, 98, 25);
    ASSERT_EQ(r.c.Handle(), "E");
    r.Move(kLeft, 498, 25);
    EXPECT_EQ(r.label.Rect(), QRect(10, 10, 390, 50));
}

// A clamped edge keeps the opposite edge where it was, measured before rounding.
TEST(ClassCropResize, ClampsKeepTheUnroundedOppositeEdge) {
    Rig r;
    r.label.left = 10.25f;
    r.label.width = 99.25f;  // right edge at 109.5
    r.Down(kLeft, 2, 25);
    r.Move(kLeft, 97, 25);
    EXPECT_EQ(r.label.left, 96);  // 109.5 - 13 = 96.5 -> 96
    EXPECT_EQ(r.label.width, 13);

    Rig s;
    s.label.left = 10.25f;
    s.label.width = 100.25f;  // right edge at 110.5
    s.Down(kLeft, 2, 25);
    s.Move(kLeft, -28, 25);
    EXPECT_EQ(s.label.left, 0);
    EXPECT_EQ(s.label.width, 110);  // 110.5 -> 110
}

TEST(ClassCropResize, WithoutAHandleALeftMoveOnlyReplacesTheRectangle) {
    Rig r;
    r.label.left = 10.4f;
    r.Down(kRight, 50, 25);
    EXPECT_EQ(r.c.Handle(), "");
    EXPECT_EQ(r.label.cursorCalls, 0);
    r.Move(kLeft, 80, 40);
    EXPECT_EQ(r.label.Rect(), QRect(10, 10, 100, 50));
    EXPECT_EQ(r.shape.Rect(), QRect(11, 11, 98, 48));
}

TEST(ClassCropResize, OnlyTheLeftButtonAloneDrags) {
    Rig r;
    r.Down(kLeft, 50, 25);
    for (qint16 buttons : {kNone, kRight, qint16(kLeft | kRight)}) {
        r.Move(buttons, 80, 40);
    }
    EXPECT_EQ(r.label.geometryCalls, 0);
    r.Move(kLeft, 80, 40);  // the handle outlives the release
    EXPECT_EQ(r.label.Rect(), QRect(40, 25, 100, 50));
}

TEST(ClassCropResize, DisabledIgnoresEverythingIncludingTheCursor) {
    Rig r;
    r.c.setEnable(false);
    r.Down(kLeft, 2, 2);
    r.Move(kLeft, 50, 50);
    r.Move(kNone, 2, 2);
    EXPECT_EQ(r.c.Handle(), "");
    EXPECT_EQ(r.label.cursorCalls, 0);
    EXPECT_EQ(r.label.geometryCalls, 0);
    EXPECT_EQ(r.shape.geometryCalls, 0);
}

TEST(ClassCropResize, NullObjectsAreIgnoredAndMissingOnesDropEvents) {
    Rig r;
    r.c.setBorderWidth(0);
    r.c.setBorderWidth(-1);
    EXPECT_EQ(r.c.BorderWidth(), 4);
    r.c.setObjectForm(nullptr);
    r.c.setObjectShap(nullptr);
    r.c.setObjectFather(nullptr);
    r.Down(kLeft, 98, 25);
    r.Move(kLeft, 108, 25);
    EXPECT_EQ(r.label.width, 110);
    EXPECT_EQ(r.shape.width, 108);

    ClassCropResize bare;
    bare.setEnable(true);
    bare.MouseDown(kLeft, 0, 30, 30);
    bare.MouseMove(kLeft, 0, 60, 60);
    EXPECT_EQ(bare.Handle(), "");

    FakeControl label(10, 10, 100, 50);
    FakeWindow father(0, 0, 6000, 4500);
    ClassCropResize noShape;
    noShape.setBorderWidth(4);
    noShape.setEnable(true);
    noShape.setObjectForm(&label);
    noShape.setObjectFather(&father);
    noShape.MouseDown(kLeft, 0, 750, 375);
    noShape.MouseMove(kLeft, 0, 900, 375);
    EXPECT_EQ(label.Rect(), QRect(20, 10, 100, 50));
}

}  // namespace
