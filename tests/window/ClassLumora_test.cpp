#include <gtest/gtest.h>

#include "window/ClassLumora.h"
#include "window/ControlFakes.h"

using ControlFakes::FakeControl;
using ControlFakes::FakeWindow;
using ControlFakes::kLeft;
using ControlFakes::kNone;
using ControlFakes::kRight;

namespace {

// An image window as it configures its controller: band 4 px, resize and move on.
struct Rig {
    explicit Rig(float widthPx = 200, float heightPx = 100, double tx = 15, double ty = 15)
        : image(0, 0, widthPx, heightPx), form(1000, 2000, 300, 600, tx, ty) {
        c.setBorderWidth(4);
        c.setObjectForm(&form);
        c.setObjectImage(&image);
        c.setEnableResize(true);
        c.setEnableMove(true);
    }
    FakeControl image;
    FakeWindow form;
    ClassLumora c;
};

// --- Zones: a press with the left button and a move without buttons classify alike. ---

struct ZoneCase {
    float widthPx, heightPx;
    double tx, ty;
    float x, y;  // twips, relative to the control
    const char* code;
    Qt::CursorShape cursor;
};

void PrintTo(const ZoneCase& z, std::ostream* os) {
    *os << z.widthPx << "x" << z.heightPx << " px at " << z.tx << "/" << z.ty << " twips per px, ("
        << z.x << ", " << z.y << ") twips -> " << z.code;
}

class LumoraZone : public testing::TestWithParam<ZoneCase> {};

TEST_P(LumoraZone, PressAndHoverAgreeOnHandleAndCursor) {
    const ZoneCase& z = GetParam();
    Rig r(z.widthPx, z.heightPx, z.tx, z.ty);
    r.c.MouseDown(kLeft, 0, z.x, z.y);
    EXPECT_EQ(r.c.Handle(), QString::fromLatin1(z.code));
    EXPECT_EQ(r.image.cursor, z.cursor);

    Rig hover(z.widthPx, z.heightPx, z.tx, z.ty);
    hover.c.MouseMove(kNone, 0, z.x, z.y);
    EXPECT_EQ(hover.image.cursor, z.cursor);
    EXPECT_EQ(hover.form.geometryCalls, 0);
}

// 200 x 100 px at 15 twips per pixel, pixels 0-3 and 196-199 across, 0-3 and 96-99 down in the
// bands: the left and top bands end before 60 twips, the right one begins at 2940, the bottom
// one at 1440.
INSTANTIATE_TEST_SUITE_P(
    Bounds, LumoraZone,
    testing::Values(ZoneCase{200, 100, 15, 15, 59.9f, 59.9f, "WN", Qt::SizeFDiagCursor},
                    ZoneCase{200, 100, 15, 15, 60, 59, "N", Qt::SizeVerCursor},
                    ZoneCase{200, 100, 15, 15, 59, 60, "W", Qt::SizeHorCursor},
                    ZoneCase{200, 100, 15, 15, 2939.9f, 59, "N", Qt::SizeVerCursor},
                    ZoneCase{200, 100, 15, 15, 2940, 59, "EN", Qt::SizeBDiagCursor},
                    ZoneCase{200, 100, 15, 15, 2940, 700, "E", Qt::SizeHorCursor},
                    ZoneCase{200, 100, 15, 15, 2940, 1440, "ES", Qt::SizeFDiagCursor},
                    ZoneCase{200, 100, 15, 15, 1000, 1439.9f, "M", Qt::ArrowCursor},
                    ZoneCase{200, 100, 15, 15, 1000, 1440, "S", Qt::SizeVerCursor},
                    ZoneCase{200, 100, 15, 15, 59, 1440, "WS", Qt::SizeBDiagCursor},
                    ZoneCase{200, 100, 15, 15, 60, 700, "M", Qt::ArrowCursor},
                    // Outside the control (the pointer is captured during a drag).
                    ZoneCase{200, 100, 15, 15, -300, -300, "WN", Qt::SizeFDiagCursor},
                    ZoneCase{200, 100, 15, 15, 9000, 9000, "ES", Qt::SizeFDiagCursor}));

// Each axis uses its own ratio: 12 twips per pixel across, 18 down.
INSTANTIATE_TEST_SUITE_P(
    SeparateRatios, LumoraZone,
    testing::Values(ZoneCase{200, 100, 12, 18, 47, 71, "WN", Qt::SizeFDiagCursor},
                    ZoneCase{200, 100, 12, 18, 48, 71, "N", Qt::SizeVerCursor},
                    ZoneCase{200, 100, 12, 18, 47, 72, "W", Qt::SizeHorCursor},
                    ZoneCase{200, 100, 12, 18, 2351, 700, "M", Qt::ArrowCursor},
                    ZoneCase{200, 100, 12, 18, 2352, 700, "E", Qt::SizeHorCursor},
                    ZoneCase{200, 100, 12, 18, 700, 1727, "M", Qt::ArrowCursor},
                    ZoneCase{200, 100, 12, 18, 700, 1728, "S", Qt::SizeVerCursor}));

// A control narrower and lower than two bands: left and top are tested first and win.
INSTANTIATE_TEST_SUITE_P(NarrowControl, LumoraZone,
                         testing::Values(ZoneCase{6, 6, 15, 15, 45, 45, "WN", Qt::SizeFDiagCursor},
                                         ZoneCase{6, 6, 15, 15, 59, 59, "WN", Qt::SizeFDiagCursor},
                                         ZoneCase{6, 6, 15, 15, 60, 60, "ES",
                                                  Qt::SizeFDiagCursor}));

// Every band is 4 pixels wide on each edge at every scale (twips per pixel 15, 10, 7.5 and 8.57:
// scale 1, 1.5, 2, 1.75), wherever within a pixel the pointer lies (at a fractional scale an
// event carries fractions of a device pixel).
class LumoraBand : public testing::TestWithParam<double> {};

TEST_P(LumoraBand, IsFourPixelsOnEveryEdge) {
    const double t = GetParam();
    const int width = 40;
    const int height = 30;
    Rig r(width, height, t, t);
    // The pixels of a line across (down) the middle whose every position falls in the zone.
    const auto count = [&](bool across, const char* code) {
        int pixels = 0;
        for (int p = 0; p < (across ? width : height); ++p) {
            int hits = 0;
            for (const double within : {0.0, 0.25, 0.5, 0.99}) {
                const auto at = static_cast<float>((p + within) * t);
                const auto middle = static_cast<float>((across ? height : width) / 2 * t);
                r.c.MouseDown(kLeft, 0, across ? at : middle, across ? middle : at);
                hits += r.c.Handle() == QLatin1String(code) ? 1 : 0;
            }
            EXPECT_TRUE(hits == 0 || hits == 4) << code << " splits pixel " << p;
            pixels += hits == 4 ? 1 : 0;
        }
        return pixels;
    };
    EXPECT_EQ(count(true, "W"), 4);
    EXPECT_EQ(count(true, "E"), 4);
    EXPECT_EQ(count(false, "N"), 4);
    EXPECT_EQ(count(false, "S"), 4);
}

INSTANTIATE_TEST_SUITE_P(Scales, LumoraBand, testing::Values(15.0, 10.0, 7.5, 1440.0 / 168));

// --- One drag step: press on a handle, move once with the left button. ---

struct DragCase {
    const char* name;
    float pressX, pressY;  // twips, relative to the 200 x 100 px control
    float dx, dy;          // twips
    QRect expected;        // window after the step, twips (from 1000, 2000, 300 x 600)
};

void PrintTo(const DragCase& d, std::ostream* os) {
    *os << d.name;
}

class LumoraDrag : public testing::TestWithParam<DragCase> {};

TEST_P(LumoraDrag, OneStepMovesTheRightEdges) {
    const DragCase& d = GetParam();
    Rig r;
    r.c.MouseDown(kLeft, 0, d.pressX, d.pressY);
    r.c.MouseMove(kLeft, 0, d.pressX + d.dx, d.pressY + d.dy);
    EXPECT_EQ(r.form.Rect(), d.expected);
    EXPECT_EQ(r.form.geometryCalls, 1);
}

// minW = minH = 15 * (2 * 4 + 5) = 195 twips.
INSTANTIATE_TEST_SUITE_P(
    Edges, LumoraDrag,
    testing::Values(DragCase{"E_in", 2990, 700, -30, 0, QRect(1000, 2000, 270, 600)},
                    DragCase{"E_out", 2990, 700, 45, 0, QRect(1000, 2000, 345, 600)},
                    DragCase{"E_pastMinimum", 2990, 700, -230, 0, QRect(1000, 2000, 195, 600)},
                    DragCase{"W_in", 30, 700, 30, 0, QRect(1030, 2000, 270, 600)},
                    DragCase{"W_out", 30, 700, -50, 0, QRect(950, 2000, 350, 600)},
                    // The minimum keeps the right edge where it was (1300).
                    DragCase{"W_pastMinimum", 30, 700, 200, 0, QRect(1105, 2000, 195, 600)},
                    DragCase{"N_pastMinimum", 1000, 30, 0, 500, QRect(1000, 2405, 300, 195)},
                    DragCase{"N_out", 1000, 30, 0, -40, QRect(1000, 1960, 300, 640)},
                    DragCase{"S_in", 1000, 1470, 0, -40, QRect(1000, 2000, 300, 560)},
                    DragCase{"S_pastMinimum", 1000, 1470, 0, -500, QRect(1000, 2000, 300, 195)},
                    DragCase{"WN", 30, 30, 10, 20, QRect(1010, 2020, 290, 580)},
                    DragCase{"EN", 2990, 30, 10, -20, QRect(1000, 1980, 310, 620)},
                    DragCase{"WS", 30, 1470, -10, 20, QRect(990, 2000, 310, 620)},
                    DragCase{"ES", 2990, 1470, 10, 20, QRect(1000, 2000, 310, 620)},
                    // The interior moves the window and leaves its size.
                    DragCase{"M", 1000, 700, 150, -30, QRect(1150, 1970, 300, 600)},
                    // Half-twip distances round half to even: 2.5 -> 2, 3.5 -> 4.
                    DragCase{"E_tie", 2990, 700, 2.5f, 0, QRect(1000, 2000, 302, 600)},
                    DragCase{"W_tieOut", 30, 700, -3.5f, 0, QRect(996, 2000, 304, 600)},
                    DragCase{"M_tie", 1000, 700, 2.5f, 3.5f, QRect(1002, 2004, 300, 600)}),
    [](const testing::TestParamInfo<DragCase>& i) { return std::string(i.param.name); });

TEST(ClassLumora, EastEdgeReanchorsSoTheMinimumIsNotOvershot) {
    Rig r;
    r.c.MouseDown(kLeft, 0, 2990, 700);
    r.c.MouseMove(kLeft, 0, 2960, 700);
    EXPECT_EQ(r.form.width, 270);
    r.c.MouseMove(kLeft, 0, 2760, 700);  // 200 further: 70 would be below the minimum
    EXPECT_EQ(r.form.width, 195);
}

TEST(ClassLumora, AnchorsRoundHalfToEven) {
    Rig r;
    r.c.MouseDown(kLeft, 0, 2990.5f, 700);  // anchor 2990
    r.c.MouseMove(kLeft, 0, 2993, 700);
    EXPECT_EQ(r.form.width, 303);
    r.c.MouseMove(kLeft, 0, 2995.5f, 700);  // re-anchored at 2993: 2.5 -> 2, anchor 2996
    EXPECT_EQ(r.form.width, 305);
    r.c.MouseMove(kLeft, 0, 2999, 700);
    EXPECT_EQ(r.form.width, 308);

    Rig s;
    s.c.MouseDown(kLeft, 0, 2991.5f, 700);  // anchor 2992
    s.c.MouseMove(kLeft, 0, 2994, 700);
    EXPECT_EQ(s.form.width, 302);
}

// The minimum size follows the screen's ratio and rounds half to even: 2.5 * 13 = 32.5 -> 32.
TEST(ClassLumora, MinimumSizeUsesEachAxisRatio) {
    Rig r(200, 100, 2.5, 15);
    r.c.MouseDown(kLeft, 0, 495, 1470);  // "ES" (right band from 490, bottom from 1440)
    ASSERT_EQ(r.c.Handle(), "ES");
    r.c.MouseMove(kLeft, 0, -5000, -5000);
    EXPECT_EQ(r.form.width, 32);
    EXPECT_EQ(r.form.height, 195);
}

TEST(ClassLumora, HugeBorderSaturatesTheMinimumInsteadOfWrapping) {
    Rig r;
    r.c.setBorderWidth(20000);  // 2 * 20000 + 5 px is far beyond 16 bits of twips
    r.c.MouseDown(kLeft, 0, 30, 30);
    ASSERT_EQ(r.c.Handle(), "WN");  // every position lies in the left and top bands
    r.c.MouseMove(kLeft, 0, 40, 30);
    EXPECT_EQ(r.form.width, 32767);
    EXPECT_EQ(r.form.left, 1000 + 300 - 32767);
    EXPECT_EQ(r.form.height, 600);  // no vertical movement: the north rule does not clamp
}

// The window system reports positions relative to the control, which moves with the window.
// Follow a pointer across the screen and check which edges track it.
class PointerOnScreen {
public:
    explicit PointerOnScreen(Rig& r) : r_(r) {}
    void Press(double sx, double sy) { r_.c.MouseDown(kLeft, 0, RelX(sx), RelY(sy)); }
    void Drag(double sx, double sy) { r_.c.MouseMove(kLeft, 0, RelX(sx), RelY(sy)); }

private:
    float RelX(double sx) const { return static_cast<float>(sx - r_.form.left); }
    float RelY(double sy) const { return static_cast<float>(sy - r_.form.top); }
    Rig& r_;
};

TEST(ClassLumora, DraggedEdgesFollowThePointerAndTheOtherEdgesStay) {
    // The control fills the window: 20 x 40 px = 300 x 600 twips at 1000, 2000.
    {
        Rig r(20, 40);
        PointerOnScreen p(r);
        p.Press(1030, 2300);
        ASSERT_EQ(r.c.Handle(), "W");
        for (int step = 1; step <= 10; ++step) {
            p.Drag(1030 + 10 * step, 2300);
        }
        EXPECT_EQ(r.form.Rect(), QRect(1100, 2000, 200, 600));
    }
    {
        Rig r(20, 40);
        PointerOnScreen p(r);
        p.Press(1290, 2300);
        ASSERT_EQ(r.c.Handle(), "E");
        for (int step = 1; step <= 10; ++step) {
            p.Drag(1290 + 10 * step, 2300);
        }
        EXPECT_EQ(r.form.Rect(), QRect(1000, 2000, 400, 600));
    }
    {
        Rig r(20, 40);
        PointerOnScreen p(r);
        p.Press(1100, 2300);
        ASSERT_EQ(r.c.Handle(), "M");
        for (int step = 1; step <= 10; ++step) {
            p.Drag(1100 + 7 * step, 2300 - 5 * step);
        }
        EXPECT_EQ(r.form.Rect(), QRect(1070, 1950, 300, 600));
    }
}

TEST(ClassLumora, RightPressLeavesNoHandleAndLeavesTheCursor) {
    Rig r;
    r.c.MouseDown(kRight, 0, 2990, 700);
    EXPECT_EQ(r.c.Handle(), "");
    EXPECT_EQ(r.image.cursorCalls, 0);
    r.c.MouseMove(kLeft, 0, 2900, 700);
    EXPECT_EQ(r.form.geometryCalls, 0);
    EXPECT_EQ(r.image.cursor, Qt::ArrowCursor);  // only the hover cursor changed
}

TEST(ClassLumora, OnlyTheLeftButtonAloneDrags) {
    Rig r;
    r.c.MouseDown(kLeft, 0, 2990, 700);
    for (qint16 buttons : {kNone, kRight, qint16(kLeft | kRight), qint16(4)}) {
        r.c.MouseMove(buttons, 0, 2900, 700);
    }
    EXPECT_EQ(r.form.geometryCalls, 0);
    // The handle outlives button releases: the next left move continues the drag.
    r.c.MouseMove(kLeft, 0, 2900, 700);
    EXPECT_EQ(r.form.width, 210);
}

TEST(ClassLumora, MoveOnlyModeTakesAnyButtonAndMovesBySize) {
    for (qint16 pressButton : {kLeft, kRight, qint16(4)}) {
        Rig r;
        r.c.setEnableResize(false);
        r.c.MouseDown(pressButton, 0, 60, 60);  // on a corner band, which no longer counts
        EXPECT_EQ(r.c.Handle(), "M");
        EXPECT_EQ(r.image.cursor, Qt::ArrowCursor);
        r.c.MouseMove(kLeft, 0, 210, 30);  // the anchor was taken by the press, any button
        EXPECT_EQ(r.form.Rect(), QRect(1150, 1970, 300, 600));
        EXPECT_EQ(r.image.cursor, Qt::ArrowCursor);
    }
}

TEST(ClassLumora, InteriorWithoutMoveStillPlacesTheWindowUnchanged) {
    Rig r;
    r.c.setEnableMove(false);
    r.c.MouseDown(kLeft, 0, 1000, 700);
    EXPECT_EQ(r.c.Handle(), "M");
    r.c.MouseMove(kLeft, 0, 1200, 900);
    EXPECT_EQ(r.form.geometryCalls, 1);
    EXPECT_EQ(r.form.Rect(), QRect(1000, 2000, 300, 600));

    Rig off;
    off.c.setEnableMove(false);
    off.c.setEnableResize(false);
    off.c.MouseDown(kLeft, 0, 1000, 700);
    EXPECT_EQ(off.c.Handle(), "");
    off.c.MouseMove(kLeft, 0, 1200, 900);
    EXPECT_EQ(off.form.geometryCalls, 0);
}

TEST(ClassLumora, PropertiesIgnoreNonPositiveBordersAndNullObjects) {
    Rig r;
    r.c.setBorderWidth(0);
    r.c.setBorderWidth(-3);
    EXPECT_EQ(r.c.BorderWidth(), 4);
    r.c.setObjectForm(nullptr);
    r.c.setObjectImage(nullptr);
    r.c.MouseDown(kLeft, 0, 2990, 700);
    r.c.MouseMove(kLeft, 0, 3000, 700);
    EXPECT_EQ(r.form.width, 310);

    ClassLumora fresh;  // no objects yet: events are dropped, not dereferenced
    EXPECT_EQ(fresh.BorderWidth(), 0);
    EXPECT_EQ(fresh.MinWidthHeight(), 5);
    EXPECT_FALSE(fresh.EnableResize());
    EXPECT_FALSE(fresh.EnableMove());
    fresh.MouseDown(kLeft, 0, 1, 1);
    fresh.MouseMove(kLeft, 0, 2, 2);
    EXPECT_EQ(fresh.Handle(), "");
}

}  // namespace
