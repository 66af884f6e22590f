#include <gtest/gtest.h>

#include "browser/BrowseArithmetic.h"

#include <QKeySequence>
#include <ostream>

namespace {

using namespace BrowseArithmetic;

struct SizeCase {
    QSize own;
    QSize thumb;
};

class ThumbnailSizes : public testing::TestWithParam<SizeCase> {};

TEST_P(ThumbnailSizes, FitWithinTheCellAndNeverVanish) {
    EXPECT_EQ(ThumbnailSize(GetParam().own), GetParam().thumb);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, ThumbnailSizes,
    testing::Values(SizeCase{{196, 98}, {98, 49}},     // wider: scaled by 98 / width
                    SizeCase{{98, 196}, {49, 98}},     // taller
                    SizeCase{{50, 60}, {50, 60}},      // small: kept, never enlarged
                    SizeCase{{98, 98}, {98, 98}},      // exactly the cell
                    SizeCase{{99, 99}, {98, 98}},      // square: by the height
                    SizeCase{{10000, 50}, {98, 1}},    // 0.49 would round to 0
                    SizeCase{{50, 10000}, {1, 98}},    //
                    SizeCase{{3000, 2000}, {98, 65}},  // 65.33
                    SizeCase{{200, 101}, {98, 49}},    // 49.49
                    SizeCase{{200, 105}, {98, 51}},    // 51.45
                    SizeCase{{200, 5}, {98, 2}},       // 2.45
                    SizeCase{{196, 101}, {98, 50}},    // 50.5: ties to even
                    SizeCase{{196, 103}, {98, 52}},    // 51.5
                    SizeCase{{0, 50}, {}},             // no picture
                    SizeCase{{-5, 50}, {}}));

// Cells keep their logical size; at a scale factor they hold that many more device pixels, and
// the thumbnail fills them at one picture pixel per device pixel.
struct RatioCase {
    double ratio;
    int side;
    QSize own;
    QSize thumb;
};

void PrintTo(const RatioCase& c, std::ostream* os) {
    *os << "ratio " << c.ratio << ", " << c.own.width() << " x " << c.own.height();
}

class ThumbnailsAtScale : public testing::TestWithParam<RatioCase> {};

TEST_P(ThumbnailsAtScale, FillTheCellsDevicePixelsAndCarryTheRatio) {
    const RatioCase& c = GetParam();
    EXPECT_EQ(ThumbSide(c.ratio), c.side);
    EXPECT_EQ(ThumbnailSize(c.own, ThumbSide(c.ratio)), c.thumb);
    QImage decoded(c.own, QImage::Format_RGB32);
    decoded.fill(Qt::yellow);
    const QImage made = MakeThumbnail(decoded, c.own, c.ratio);
    EXPECT_EQ(made.size(), c.thumb);
    EXPECT_EQ(made.devicePixelRatio(), c.ratio > 0 ? c.ratio : 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Ratios, ThumbnailsAtScale,
    testing::Values(RatioCase{1.0, 98, {196, 98}, {98, 49}},
                    RatioCase{2.0, 196, {196, 98}, {196, 98}},     // fits twice the pixels: kept
                    RatioCase{2.0, 196, {392, 196}, {196, 98}},    //
                    RatioCase{2.0, 196, {50, 60}, {50, 60}},       // never enlarged
                    RatioCase{1.5, 147, {3000, 2000}, {147, 98}},  //
                    RatioCase{1.25, 122, {300, 300}, {122, 122}},  // 122.5: ties to even
                    RatioCase{1.75, 172, {1000, 500}, {172, 86}},  // 171.5
                    RatioCase{0.0, 98, {196, 98}, {98, 49}},       // no ratio: scale 1
                    RatioCase{-2.0, 98, {196, 98}, {98, 49}}));

TEST(MakeThumbnail, IsAlwaysAnOwnCopyWithinTheCell) {
    QImage small(40, 30, QImage::Format_BGR888);
    small.fill(Qt::red);
    const QImage same = MakeThumbnail(small, small.size());
    ASSERT_EQ(same.size(), QSize(40, 30));
    EXPECT_NE(same.constBits(), small.constBits()) << "never the decoded picture itself";
    EXPECT_EQ(same.pixel(5, 5), small.pixel(5, 5));

    // A reduced decode of a 10000 x 50 file (what the decoder gives for maxSide 98).
    QImage reduced(98, 1, QImage::Format_RGB32);
    reduced.fill(Qt::blue);
    const QImage strip = MakeThumbnail(reduced, QSize(10000, 50));
    ASSERT_EQ(strip.size(), QSize(98, 1));
    EXPECT_NE(strip.constBits(), reduced.constBits());

    // A full-size decode is scaled down by the file's own size.
    QImage big(300, 150, QImage::Format_ARGB32);
    big.fill(Qt::green);
    const QImage scaled = MakeThumbnail(big, QSize());
    EXPECT_EQ(scaled.size(), QSize(98, 49));
    EXPECT_EQ(QColor(scaled.pixel(10, 10)), QColor(Qt::green));

    EXPECT_TRUE(MakeThumbnail(QImage(), QSize(10, 10)).isNull());
}

struct PageCase {
    int value;
    int count;
    int first;
    int last;  // last < first: an empty page
};

class Paging : public testing::TestWithParam<PageCase> {};

TEST_P(Paging, ShowsTheItemsOfTheScrollValue) {
    const PageCase c = GetParam();
    const PageRange r = ShowRange(PageStart(c.value), c.count);
    if (c.last < c.first) {
        EXPECT_EQ(r.Size(), 0);
        return;
    }
    EXPECT_EQ(r.first, c.first);
    EXPECT_EQ(r.last, c.last);
    EXPECT_EQ(r.Size(), c.last - c.first + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, Paging,
    testing::Values(PageCase{1, 3, 1, 3},    // 3 items: one page, 5 cells empty
                    PageCase{1, 10, 1, 8},   //
                    PageCase{2, 10, 5, 10},  // Value 2 of 10: items 5..10 in cells 0..5
                    PageCase{3, 10, 9, 10},  // past the range (a stale value): clamped
                    PageCase{0, 10, 1, 8},   // below 1
                    PageCase{5, 3, 3, 3},    // start beyond the items: the last one
                    PageCase{1, 0, 1, 0},    // no items: every cell empty
                    PageCase{2, 0, 1, 0}));

TEST(Paging, ScrollRangeAndWheelSteps) {
    EXPECT_EQ(ScrollMaximum(0), 1);
    EXPECT_EQ(ScrollMaximum(3), 1);  // 3 div 4 = 0 cannot be below the minimum
    EXPECT_EQ(ScrollMaximum(10), 2);
    EXPECT_EQ(ScrollMaximum(12), 3);
    EXPECT_EQ(ScrollStep(1, -1, 2), 1);
    EXPECT_EQ(ScrollStep(1, 1, 2), 2);
    EXPECT_EQ(ScrollStep(2, 1, 2), 2);
    EXPECT_EQ(ScrollStep(1, 1, 1), 1);  // 3 items: stays on the first page
}

TEST(CascadePositions, StepFiveHundredAndWrapAtThreeQuarters) {
    // 1024 x 768 pixels at 15 twips: 15360 x 11520 twips; start (3840, 1920).
    const QList<QPoint> p = CascadePositions(16, 15360, 11520);
    ASSERT_EQ(p.size(), 16);
    EXPECT_EQ(p[0], QPoint(3840, 1920));
    EXPECT_EQ(p[1], QPoint(4340, 2420));
    // y passes 8640 (3/4 of the height) after 14 steps: 1920 + 14 * 500 = 8920.
    EXPECT_EQ(p[13], QPoint(3840 + 13 * 500, 1920 + 13 * 500));
    EXPECT_EQ(p[14], QPoint(3840, 1920));
    EXPECT_EQ(p[15], QPoint(4340, 2420));
    // Start rounded half to even: 1001 / 4 = 250.25, 1005 / 6 = 167.5.
    EXPECT_EQ(CascadePositions(1, 1001, 1005).first(), QPoint(250, 168));
    EXPECT_TRUE(CascadePositions(0, 15360, 11520).isEmpty());
}

TEST(Captions, CountTextAndAmpersands) {
    EXPECT_EQ(CountText(0, 0), QStringLiteral("总共0张图片，您选中了其中的0张。"));
    EXPECT_EQ(CountText(12, 3), QStringLiteral("总共12张图片，您选中了其中的3张。"));
    const QString caption = CheckCaption("/pics/R&D & more.jpg");
    EXPECT_EQ(caption, "R&&D && more.jpg");
    EXPECT_TRUE(QKeySequence::mnemonic(caption).isEmpty()) << "no shortcut from a file name";
}

}  // namespace
