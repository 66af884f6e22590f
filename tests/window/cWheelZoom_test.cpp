// The wheel's zoom of a window: levels counted from a base, exact round trips, the limits, and
// what makes a new base.

#include <gtest/gtest.h>

#include <QPointF>
#include <QRect>
#include <cmath>
#include <ostream>

#include "window/WindowArithmetic.h"
#include "window/cWheelZoom.h"

namespace {

using WindowArithmetic::AnchoredZoomRect;
using WindowArithmetic::WheelZoomSize;

// The least and largest shown sizes: the edge drag's smallest window without a band, and twice a
// 1920 x 1080 screen.
const QSize kLeast(13, 13);
const QSize kLargest(3840, 2160);

// A window the wheel drives, as the image window does: each turn's rectangle becomes its own.
struct Window {
    QRect rect;
    int border = 0;
    cWheelZoom zoom;

    QSize Shown() const { return rect.size() - QSize(2 * border, 2 * border); }
    void Turn(int notches, QPointF pointer) {
        rect = zoom.Turn(rect, border, Shown(), notches, pointer, kLeast, kLargest);
    }
};

struct RoundTrip {
    const char* what;
    QRect window;
    int border;
    QPointF pointer;
    int out;           // notches towards the user, then as many in as were counted
    bool oneTurnEach;  // all the notches of a direction in one turn (a storm), or one per turn
    int level;         // the level reached after the notches out
};
void PrintTo(const RoundTrip& c, std::ostream* os) {
    *os << c.what;
}

class WheelRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(WheelRoundTrip, NotchesOutAndAsManyInGiveBackTheSizeAndThePlace) {
    const RoundTrip& c = GetParam();
    Window w{c.window, c.border, {}};
    const QSize base = w.Shown();
    const auto turn = [&](int notches) {
        const int step = notches > 0 ? 1 : -1;
        for (int i = 0; i < std::abs(notches); ++i) {
            w.Turn(c.oneTurnEach ? notches : step, c.pointer);
            if (c.oneTurnEach) {
                break;
            }
            // Every level shows the base scaled by one factor: the sides keep their ratio.
            EXPECT_EQ(w.Shown(), WheelZoomSize(base, w.zoom.Level()));
        }
    };
    turn(-c.out);
    EXPECT_EQ(w.zoom.Level(), c.level);
    EXPECT_EQ(w.Shown(), WheelZoomSize(base, c.level));
    turn(-w.zoom.Level());
    EXPECT_EQ(w.rect, c.window);
    EXPECT_EQ(w.zoom.Level(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Trips, WheelRoundTrip,
    testing::Values(
        // 3000 x 2000 shown at 1500 x 1000: 30 out and 30 in came back as 1526 x 1011.
        RoundTrip{"30 out and 30 in", {200, 100, 1500, 1000}, 0, {700.5, 433.25}, 30, false, -30},
        RoundTrip{"the same in one storm each way",
                  {200, 100, 1500, 1000},
                  0,
                  {700.5, 433.25},
                  30,
                  true,
                  -30},
        // Out to the limit came back as 3179 x 2000 (a partial last step bent the ratio).
        RoundTrip{"out to the limit and back",
                  {200, 100, 1500, 1000},
                  0,
                  {1100, 900},
                  200,
                  false,
                  -45},  // 1000 / 1.1^45 = 13.7; one more would be 12.5
        RoundTrip{"the pointer on the band, a band around",
                  {50, 60, 808, 608},
                  4,
                  {52, 61},
                  12,
                  false,
                  -12},
        RoundTrip{"a fractional pointer (a scaled screen), odd sides",
                  {-300, 20, 333, 777},
                  0,
                  {-157.333, 401.667},
                  17,
                  false,
                  -17},
        RoundTrip{"a small picture: the least side is reached first",
                  {10, 10, 40, 300},
                  0,
                  {30, 100},
                  50,
                  true,
                  -12}),  // 40 / 1.1^12 = 12.7 rounds to 13; 1.1^13 would make 11.6
    [](const testing::TestParamInfo<RoundTrip>& info) { return std::to_string(info.index); });

TEST(WheelZoomLimits, NotchesPastALimitAreNotCountedAtEitherEnd) {
    Window small{{0, 0, 300, 200}, 0, {}};
    small.Turn(-100, {150, 100});
    const int least = small.zoom.Level();
    EXPECT_EQ(least, -29);  // 200 / 1.1^29 = 12.6 rounds to 13; one more is 11.5
    EXPECT_EQ(small.Shown(), QSize(19, 13));
    small.Turn(1, {150, 100});
    EXPECT_EQ(small.zoom.Level(), least + 1);

    Window large{{0, 0, 1200, 900}, 0, {}};
    large.Turn(100, {600, 450});
    const int most = large.zoom.Level();
    EXPECT_EQ(most, 9);  // 900 x 1.1^9 = 2122; one more is 2334, past 2160
    large.Turn(-1, {600, 450});
    EXPECT_EQ(large.zoom.Level(), most - 1);
}

// What happens between two turns, and what the second turn (one notch away) then does.
struct Between {
    const char* what;
    QRect window;  // the window's rectangle before the second turn
    int border;    // its band then
    QPointF pointer;
    QSize base;  // afterwards
    int level;
};
void PrintTo(const Between& c, std::ostream* os) {
    *os << c.what;
}
class WheelBetweenTurns : public testing::TestWithParam<Between> {};

// First three notches towards the user on a 400 x 300 picture at (100, 100), pointer at
// (200, 200): 301 x 225 at (125, 125).
TEST_P(WheelBetweenTurns, OtherSizeChangesMakeANewBaseMovesKeepTheLevel) {
    const Between& c = GetParam();
    Window w{{100, 100, 400, 300}, 0, {}};
    w.Turn(-3, {200, 200});
    ASSERT_EQ(w.rect, QRect(125, 125, 301, 225));
    w.rect = c.window;
    w.border = c.border;
    const QRect before = w.rect;
    const QSize shownBefore = w.Shown();
    w.Turn(1, c.pointer);
    EXPECT_EQ(w.zoom.Base(), c.base);
    EXPECT_EQ(w.zoom.Level(), c.level);
    EXPECT_EQ(w.Shown(), WheelZoomSize(c.base, c.level));
    // No jump: the picture's point under the pointer where it is now stays under it.
    EXPECT_EQ(w.rect, AnchoredZoomRect(before, c.border, shownBefore, w.Shown(), c.pointer));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, WheelBetweenTurns,
    testing::Values(
        Between{"an edge drag", {125, 125, 500, 400}, 0, {200, 200}, {500, 400}, 1},
        Between{"a size command keeping the corner",
                {125, 125, 640, 480},
                0,
                {200, 200},
                {640, 480},
                1},
        Between{
            "an arrow key moved the window", {135, 125, 301, 225}, 0, {200, 200}, {400, 300}, -2},
        Between{"the pointer moved", {125, 125, 301, 225}, 0, {300, 310}, {400, 300}, -2},
        Between{"a band was put round the picture",
                {121, 121, 309, 233},
                4,
                {200, 200},
                {400, 300},
                -2}),
    [](const testing::TestParamInfo<Between>& info) { return std::to_string(info.index); });

}  // namespace
