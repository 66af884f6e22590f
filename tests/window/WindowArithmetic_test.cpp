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

}  // namespace
