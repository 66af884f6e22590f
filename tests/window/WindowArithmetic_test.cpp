#include <gtest/gtest.h>

#include "window/WindowArithmetic.h"

namespace {

using namespace WindowArithmetic;

TEST(FitViewSize, ShrinksAnOversizedPictureByOneFactor) {
    // 2000 x 1000 on a 1024 x 768 screen at 15 twips per pixel: s = 0.512
    const ViewFit plain = FitViewSize(2000, 1000, 0, 15, 15, 1024 * 15, 768 * 15);
    EXPECT_TRUE(plain.shrunk);
    EXPECT_FLOAT_EQ(plain.widthTwips / 15, 1024);
    EXPECT_FLOAT_EQ(plain.heightTwips / 15, 512);

    const ViewFit bordered = FitViewSize(2000, 1000, 4, 15, 15, 1024 * 15, 768 * 15);
    EXPECT_NEAR(bordered.widthTwips / 15, 1028.1, 0.05);
    EXPECT_NEAR(bordered.heightTwips / 15, 516.1, 0.05);
}

TEST(FitViewSize, ExactlyScreenSizedIsNotShrunk) {
    const ViewFit f = FitViewSize(1024, 768, 0, 15, 15, 1024 * 15, 768 * 15);
    EXPECT_FALSE(f.shrunk);
    EXPECT_FLOAT_EQ(f.widthTwips, 1024 * 15);
    // The border is added outside the picture even when that makes the window larger than the
    // screen; only the picture is measured against it.
    const ViewFit b = FitViewSize(1024, 768, 4, 15, 15, 1024 * 15, 768 * 15);
    EXPECT_FALSE(b.shrunk);
    EXPECT_FLOAT_EQ(b.heightTwips, 776 * 15);
}

TEST(FitViewSize, TallPictureIsLimitedByHeight) {
    const ViewFit f = FitViewSize(500, 3000, 0, 12, 12, 1000 * 12, 750 * 12);
    EXPECT_TRUE(f.shrunk);
    EXPECT_NEAR(f.heightTwips / 12, 750, 0.01);
    EXPECT_NEAR(f.widthTwips / 12, 125, 0.01);
}

struct TipCase {
    double w, h;
    int points;
};
class TipFont : public testing::TestWithParam<TipCase> {};
TEST_P(TipFont, GrowsWithTheSmallerSide) {
    EXPECT_EQ(TipFontPoints(GetParam().w, GetParam().h), GetParam().points);
}
INSTANTIATE_TEST_SUITE_P(Sizes, TipFont,
                         testing::Values(TipCase{300 * 15, 200 * 15, 13},  // n = 3
                                         TipCase{61 * 15, 61 * 15, 10}, TipCase{999, 5000, 10},
                                         TipCase{1000, 5000, 11}, TipCase{12000, 90000, 20},
                                         TipCase{99999, 99999, 20}, TipCase{-50, 100, 10}));

struct CropArrowCase {
    Arrow key;
    int step;
    QPoint expected;
};
class CropArrow : public testing::TestWithParam<CropArrowCase> {};
TEST_P(CropArrow, ClampsAtTheWindowEdges) {
    // a 30 x 20 rectangle near the corners of a 100 x 80 window with a 4-pixel border
    const QRect nearTopLeft(3, 6, 30, 20);
    const QRect nearBottomRight(60, 52, 30, 20);
    const QRect r = (GetParam().key == Arrow::Left || GetParam().key == Arrow::Up)
                        ? nearTopLeft
                        : nearBottomRight;
    EXPECT_EQ(MoveCropByArrow(r, GetParam().key, GetParam().step, 4, 100, 80), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Steps, CropArrow,
    testing::Values(CropArrowCase{Arrow::Left, 1, {2, 6}},       // one pixel
                    CropArrowCase{Arrow::Left, 10, {0, 6}},      // left limit is 0, not the border
                    CropArrowCase{Arrow::Up, 1, {3, 5}},         //
                    CropArrowCase{Arrow::Up, 10, {3, 4}},        // top limit is the border
                    CropArrowCase{Arrow::Right, 1, {61, 52}},    //
                    CropArrowCase{Arrow::Right, 10, {66, 52}},   // 100 - 30 - 4
                    CropArrowCase{Arrow::Down, 10, {60, 56}}));  // 80 - 20 - 4

TEST(WindowArrow, StepsAndClampsInTwips) {
    const TwipsRect w{150, 30, 300 * 15, 200 * 15};
    const double sw = 1024 * 15;
    const double sh = 768 * 15;
    EXPECT_EQ(MoveWindowByArrow(w, Arrow::Left, 1, 15, 15, sw, sh), QPointF(135, 30));
    EXPECT_EQ(MoveWindowByArrow(w, Arrow::Left, 10, 15, 15, sw, sh), QPointF(0, 30));
    EXPECT_EQ(MoveWindowByArrow(w, Arrow::Up, 10, 15, 15, sw, sh), QPointF(150, 0));
    const TwipsRect nearRight{sw - w.width - 5, 30, w.width, w.height};
    EXPECT_EQ(MoveWindowByArrow(nearRight, Arrow::Right, 1, 15, 15, sw, sh),
              QPointF(sw - w.width, 30));
    const TwipsRect nearBottom{150, sh - w.height - 20, w.width, w.height};
    EXPECT_EQ(MoveWindowByArrow(nearBottom, Arrow::Down, 10, 15, 15, sw, sh),
              QPointF(150, sh - w.height));
    // an odd ratio rounds each step half to even: 12.5 twips per pixel
    EXPECT_EQ(MoveWindowByArrow({100, 100, 10, 10}, Arrow::Right, 1, 12.5, 12.5, sw, sh),
              QPointF(112, 100));
}

TEST(CropFromDrag, NeedsAnInsideAnchorAndMoreThanTenPixelsSideways) {
    EXPECT_FALSE(CropFromDrag({0, 20}, 100, 100, 200, 200));  // anchor on the left edge
    EXPECT_FALSE(CropFromDrag({20, 0}, 100, 100, 200, 200));  // anchor on the top edge
    EXPECT_FALSE(CropFromDrag({20, 20}, 30, 150, 200, 200));  // 10 sideways: not yet
    EXPECT_FALSE(CropFromDrag({20, 20}, 20, 180, 200, 200));  // straight down: never
    EXPECT_EQ(CropFromDrag({20, 20}, 31, 150, 200, 200), QRect(20, 20, 11, 130));
    // dragging up and left from the anchor
    EXPECT_EQ(CropFromDrag({100, 100}, 40, 70, 200, 200), QRect(40, 70, 60, 30));
    // the pointer outside the picture is clamped to its edges
    EXPECT_EQ(CropFromDrag({100, 100}, -30, 500, 200, 150), QRect(0, 100, 100, 50));
    EXPECT_EQ(CropFromDrag({100, 100}, 900, -9, 200, 150), QRect(100, 0, 100, 100));
}

TEST(AutoPosition, PullsOnlyRightAndBottomEdgesBack) {
    const double sw = 1024 * 15;
    const double sh = 768 * 15;
    // right edge 50 pixels beyond the screen: moves left by exactly that
    const QPointF p = AutoPosition({sw - 250 * 15, 300, 300 * 15, 100 * 15}, sw, sh);
    EXPECT_EQ(p, QPointF(sw - 300 * 15, 300));
    // sticking out on the left or top stays
    EXPECT_EQ(AutoPosition({-600, -300, 100, 100}, sw, sh), QPointF(-600, -300));
    // larger than the screen ends up with a negative left and top
    EXPECT_EQ(AutoPosition({0, 0, sw + 150, sh + 30}, sw, sh), QPointF(-150, -30));
}

TEST(CascadePosition, FallsBackFourHundredFromTheEdge) {
    const double sw = 1024 * 15;
    const double sh = 768 * 15;
    EXPECT_EQ(CascadePosition(1000, 2000, sw, sh), QPointF(1200, 2200));
    // exactly at the limit is kept; one twip past falls back
    EXPECT_EQ(CascadePosition(sw - 400, sh - 400, sw, sh), QPointF(sw - 200, sh - 200));
    EXPECT_EQ(CascadePosition(sw - 399, sh - 399, sw, sh), QPointF(sw - 400, sh - 400));
    EXPECT_EQ(CascadePosition(sw + 5000, 0, sw, sh), QPointF(sw - 400, 200));
}

TEST(AlphaFromPercent, RoundsHalfToEvenAndClamps) {
    EXPECT_EQ(AlphaFromPercent(50), 128);  // 127.5
    EXPECT_EQ(AlphaFromPercent(1), 3);     // 2.55
    EXPECT_EQ(AlphaFromPercent(0), 0);
    EXPECT_EQ(AlphaFromPercent(100), 255);
    EXPECT_EQ(AlphaFromPercent(150), 255);
    EXPECT_EQ(AlphaFromPercent(-20), 0);
}

// Wheel zoom: a 13-pixel least side (the edge drag's smallest window without a border) and a
// 2048 x 1536 largest picture (twice a 1024 x 768 screen). The size after notches from level 0.
QSize ZoomFromBase(QSize base, int notches) {
    return WheelZoomSize(base, WheelZoomLevel(base, 0, notches, {13, 13}, {2048, 1536}));
}
struct ZoomCase {
    const char* what;
    QSize shown;
    int notches;
    QSize expected;
};
class WheelZoom : public testing::TestWithParam<ZoomCase> {};
TEST_P(WheelZoom, ScalesEachSideByATenthAndStopsAtTheLimits) {
    EXPECT_EQ(ZoomFromBase(GetParam().shown, GetParam().notches), GetParam().expected)
        << GetParam().what;
}
INSTANTIATE_TEST_SUITE_P(
    Notches, WheelZoom,
    testing::Values(
        ZoomCase{"one notch away", {200, 100}, 1, {220, 110}},
        ZoomCase{"one notch towards", {220, 110}, -1, {200, 100}},
        ZoomCase{"each side rounded on its own", {105, 33}, 1, {116, 36}},  // 115.5, 36.3
        ZoomCase{"ties to even", {25, 35}, 1, {28, 38}},                    // 27.5, 38.5
        ZoomCase{"towards, each side rounded", {105, 33}, -1, {95, 30}},    // 95.45, 30
        ZoomCase{"three notches: the base times 1.1^3, rounded once", {100, 100}, 3, {133, 133}},
        ZoomCase{"and back", {133, 133}, -3, {100, 100}},
        ZoomCase{"no notch", {200, 100}, 0, {200, 100}},
        // A notch past a limit is not counted: no partial step that would bend the ratio.
        ZoomCase{"a notch past the largest is not counted", {2000, 1000}, 1, {2000, 1000}},
        ZoomCase{"at the largest", {2048, 1024}, 1, {2048, 1024}},
        ZoomCase{"the height can be the limit", {1000, 1500}, 1, {1000, 1500}},
        ZoomCase{"beyond the largest: not further out", {3000, 100}, 1, {3000, 100}},
        ZoomCase{"beyond the largest: back in freely", {3000, 100}, -1, {2727, 91}},
        ZoomCase{"the least side stops the other too", {13, 100}, -1, {13, 100}},
        ZoomCase{"just above the least", {14, 140}, -1, {13, 127}},
        ZoomCase{"below the least: not further down", {5, 5}, -1, {5, 5}},
        ZoomCase{"below the least: grows", {5, 5}, 1, {6, 6}},
        ZoomCase{"a storm ends at the last level within the largest",
                 {300, 200},
                 2147483647,
                 {2018, 1345}},  // 1.1^20; 1.1^21 would make 2220 x 1480
        ZoomCase{"a storm towards ends at the least", {300, 200}, -2147483647 - 1, {19, 13}},
        ZoomCase{"nothing shown", {0, 0}, 1, {0, 0}}),
    [](const testing::TestParamInfo<ZoomCase>& info) { return std::to_string(info.index); });

TEST(WheelZoom, ManyNotchesAtOnceLandWhereAsManySingleNotchesDo) {
    for (const int n : {-7, -2, 2, 9, 40, -60}) {
        int one = 0;
        for (int i = 0; i < std::abs(n); ++i) {
            one = WheelZoomLevel({317, 211}, one, n > 0 ? 1 : -1, {13, 13}, {2048, 1536});
        }
        EXPECT_EQ(WheelZoomLevel({317, 211}, 0, n, {13, 13}, {2048, 1536}), one) << n;
    }
}

struct AnchorCase {
    const char* what;
    QRect window;
    int border;
    QSize before;
    QSize after;
    QPointF pointer;
    QRect expected;
};
class ZoomAnchor : public testing::TestWithParam<AnchorCase> {};
TEST_P(ZoomAnchor, KeepsThePicturePointUnderThePointer) {
    const AnchorCase& c = GetParam();
    const QRect r = AnchoredZoomRect(c.window, c.border, c.before, c.after, c.pointer);
    EXPECT_EQ(r, c.expected) << c.what;
    // The point under the pointer, as a fraction of the picture, moved by half a pixel at most.
    const double uBefore = (c.pointer.x() - c.window.x() - c.border) / c.before.width();
    const double uAfter = (c.pointer.x() - r.x() - c.border) / c.after.width();
    EXPECT_LE(std::abs(uAfter - uBefore) * c.after.width(), 0.5) << c.what;
    const double vBefore = (c.pointer.y() - c.window.y() - c.border) / c.before.height();
    const double vAfter = (c.pointer.y() - r.y() - c.border) / c.after.height();
    EXPECT_LE(std::abs(vAfter - vBefore) * c.after.height(), 0.5) << c.what;
}
INSTANTIATE_TEST_SUITE_P(Pointers, ZoomAnchor,
                         testing::Values(AnchorCase{"centre",
                                                    {100, 100, 200, 100},
                                                    0,
                                                    {200, 100},
                                                    {220, 110},
                                                    {200, 150},
                                                    {90, 95, 220, 110}},
                                         AnchorCase{"top left corner stays",
                                                    {100, 100, 200, 100},
                                                    0,
                                                    {200, 100},
                                                    {220, 110},
                                                    {100, 100},
                                                    {100, 100, 220, 110}},
                                         AnchorCase{"bottom right grows up and left",
                                                    {100, 100, 200, 100},
                                                    0,
                                                    {200, 100},
                                                    {220, 110},
                                                    {300, 200},
                                                    {80, 90, 220, 110}},
                                         AnchorCase{"each edge rounded",
                                                    {100, 100, 200, 100},
                                                    0,
                                                    {200, 100},
                                                    {220, 110},
                                                    {133, 117},
                                                    {97, 98, 220, 110}},  // 96.7, 98.3
                                         AnchorCase{"the band stays around the picture",
                                                    {96, 96, 208, 108},
                                                    4,
                                                    {200, 100},
                                                    {220, 110},
                                                    {200, 150},
                                                    {86, 91, 228, 118}},
                                         AnchorCase{"shrinking pulls towards the pointer",
                                                    {0, 0, 220, 110},
                                                    0,
                                                    {220, 110},
                                                    {200, 100},
                                                    {55, 11},
                                                    {5, 1, 200, 100}},
                                         AnchorCase{"a window off the screen",
                                                    {-500, -300, 1000, 800},
                                                    0,
                                                    {1000, 800},
                                                    {1100, 880},
                                                    {10, 10},
                                                    {-551, -331, 1100, 880}}),  // -551.0, -331.0
                         [](const testing::TestParamInfo<AnchorCase>& info) {
                             return std::to_string(info.index);
                         });

struct OpacityCase {
    int percent;
    int notches;
    int expected;
};
class WheelOpacityStep : public testing::TestWithParam<OpacityCase> {};
TEST_P(WheelOpacityStep, TenPercentStepsWithinTenToAHundred) {
    EXPECT_EQ(WheelOpacity(GetParam().percent, GetParam().notches), GetParam().expected)
        << GetParam().percent << " " << GetParam().notches;
}
INSTANTIATE_TEST_SUITE_P(
    Notches, WheelOpacityStep,
    testing::Values(OpacityCase{100, -1, 90}, OpacityCase{90, 1, 100}, OpacityCase{100, 1, 100},
                    OpacityCase{10, -1, 10}, OpacityCase{20, -1, 10},
                    OpacityCase{55, 1, 60},   // a typed value goes to the next step
                    OpacityCase{55, -1, 50},  // ... or the one before
                    OpacityCase{60, -2, 40}, OpacityCase{5, 1, 20},  // below 10 counts as 10
                    OpacityCase{300, -1, 90},                        // above 100 as 100
                    OpacityCase{100, -2147483647 - 1, 10}, OpacityCase{10, 2147483647, 100}),
    [](const testing::TestParamInfo<OpacityCase>& info) { return std::to_string(info.index); });

}  // namespace
