#include <gtest/gtest.h>

#include "window/WorkAreaPlacement.h"

namespace {

// Device pixels on a screen of 1000 x 800 with a panel 30 pixels high along its top.
const QRect kArea(0, 30, 1000, 770);

struct PlaceCase {
    const char* what;
    bool cascade;  // WorkAreaPlacement::Cascaded with fromStart, else Inside
    QRect window;
    QPoint fromStart;
    QPoint expected;
};
void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.what;
}

class WorkArea : public testing::TestWithParam<PlaceCase> {};

TEST_P(WorkArea, EveryPlacedWindowLiesInsideOrAtTheTopLeftEdge) {
    const PlaceCase& c = GetParam();
    const QPoint at = c.cascade ? WorkAreaPlacement::Cascaded(c.window, c.fromStart, kArea)
                                : WorkAreaPlacement::Inside(c.window, kArea);
    EXPECT_EQ(at, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorkArea,
    testing::Values(
        PlaceCase{"inside", false, QRect(10, 40, 100, 100), {}, {10, 40}},
        PlaceCase{"under the panel", false, QRect(10, 0, 100, 100), {}, {10, 30}},
        PlaceCase{"off the right edge", false, QRect(950, 40, 100, 100), {}, {900, 40}},
        PlaceCase{"off the bottom", false, QRect(300, 750, 100, 100), {}, {300, 700}},
        PlaceCase{"negative", false, QRect(-20, -20, 100, 100), {}, {0, 30}},
        PlaceCase{"on another screen", false, QRect(1500, 900, 100, 100), {}, {900, 700}},
        // larger than the area along an axis: at its left or top edge
        PlaceCase{"too wide", false, QRect(-50, 900, 1200, 100), {}, {0, 700}},
        PlaceCase{"too tall", false, QRect(300, -40, 100, 900), {}, {300, 30}},
        PlaceCase{
            "a size command fitted to the screen", false, QRect(600, 400, 1000, 800), {}, {0, 30}},
        // N: 7 pixels below and right of its parent, inside even at the corner
        PlaceCase{"N below-right", false, QRect(107, 107, 61, 61), {}, {107, 107}},
        PlaceCase{"N at the edge", false, QRect(946, 746, 61, 61), {}, {939, 739}},
        PlaceCase{"cascade step inside", true, QRect(250, 163, 300, 200), {}, {250, 163}},
        PlaceCase{
            "cascade off the bottom wraps", true, QRect(283, 196, 300, 700), {33, 33}, {33, 63}},
        PlaceCase{
            "cascade off the right wraps", true, QRect(316, 229, 700, 300), {66, 66}, {66, 96}},
        PlaceCase{"cascade wrap kept inside", true, QRect(283, 196, 990, 300), {33, 33}, {10, 63}},
        PlaceCase{"cascade larger than the area", true, QRect(250, 163, 1000, 800), {}, {0, 30}}));

}  // namespace
