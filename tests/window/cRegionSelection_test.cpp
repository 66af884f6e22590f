// The region selection's rules on two screens side by side, in device pixels.

#include "window/cRegionSelection.h"

#include <gtest/gtest.h>

namespace {

using Arrow = cRegionSelection::Arrow;
using Change = cRegionSelection::Change;

const QRect kLeft(0, 0, 1920, 1080);
const QRect kRight(1920, 0, 2560, 1440);

cRegionSelection Selected(QPoint from, QPoint to) {
    cRegionSelection s({kLeft, kRight});
    s.Press(from);
    s.Move((from + to) / 2);
    s.Release(to);
    return s;
}

TEST(RegionSelection, ADragSelectsFromThePressToTheReleaseOnItsScreen) {
    EXPECT_EQ(Selected({100, 50}, {300, 250}).Selection(), QRect(100, 50, 200, 200));
    EXPECT_EQ(Selected({300, 250}, {100, 50}).Selection(), QRect(100, 50, 200, 200));
    // Across screens it is cut to the screen where it began.
    EXPECT_EQ(Selected({1800, 100}, {2100, 300}).Selection(), QRect(1800, 100, 120, 200));
    // A drag of no length, or a click with no window under it, selects nothing.
    EXPECT_FALSE(Selected({100, 50}, {100, 50}).HasSelection());
}

TEST(RegionSelection, AClickWithoutMovingTakesTheWindowUnderIt) {
    cRegionSelection s({kLeft, kRight});
    // Topmost first: a dialog over a browser, and a window reaching onto the second screen.
    s.SetWindows({QRect(200, 200, 300, 200), QRect(100, 100, 900, 700), QRect(1800, 0, 400, 300)});
    EXPECT_EQ(s.WindowAt({250, 250}), QRect(200, 200, 300, 200));
    EXPECT_EQ(s.WindowAt({150, 150}), QRect(100, 100, 900, 700));
    EXPECT_EQ(s.WindowAt({1900, 10}), QRect(1800, 0, 120, 300)) << "cut to the pointer's screen";
    EXPECT_EQ(s.WindowAt({1500, 900}), std::nullopt);
    s.Press({150, 150});
    s.Release({150, 150});
    EXPECT_EQ(s.Selection(), QRect(100, 100, 900, 700));
    EXPECT_EQ(s.WindowAt({250, 250}), std::nullopt) << "no outline once selected";
}

TEST(RegionSelection, KeysAndEdgeDragsChangeItOnItsScreen) {
    struct Row {
        Arrow arrow;
        Change change;
        QRect expected;
    };
    const QRect start(100, 50, 200, 200);
    for (const Row& r : {Row{Arrow::Right, Change::Move, QRect(101, 50, 200, 200)},
                         Row{Arrow::Up, Change::Move, QRect(100, 49, 200, 200)},
                         Row{Arrow::Right, Change::Grow, QRect(100, 50, 201, 200)},
                         Row{Arrow::Left, Change::Grow, QRect(99, 50, 201, 200)},
                         Row{Arrow::Down, Change::Grow, QRect(100, 50, 200, 201)},
                         Row{Arrow::Right, Change::Shrink, QRect(101, 50, 199, 200)},
                         Row{Arrow::Up, Change::Shrink, QRect(100, 50, 200, 199)}}) {
        cRegionSelection s = Selected(start.topLeft(), start.topLeft() + QPoint(200, 200));
        s.Key(r.arrow, r.change);
        EXPECT_EQ(s.Selection(), r.expected);
    }
    // At the screen's edge it stays on the screen.
    cRegionSelection edge = Selected({0, 0}, {10, 10});
    edge.Key(Arrow::Left, Change::Move);
    edge.Key(Arrow::Up, Change::Grow);
    EXPECT_EQ(edge.Selection(), QRect(0, 0, 10, 10));
    // A drag on the right edge takes it along; a press inside starts nothing new.
    cRegionSelection s = Selected(start.topLeft(), start.topLeft() + QPoint(200, 200));
    s.Press({300, 150});
    s.Release({350, 150});
    EXPECT_EQ(s.Selection(), QRect(100, 50, 250, 200));
}

TEST(RegionSelection, TheMagnifierReadsAroundThePointerAndNamesTheColour) {
    cRegionSelection s({kLeft, kRight});
    EXPECT_EQ(s.MagnifierSource({500, 500}, 15), QRect(493, 493, 15, 15));
    EXPECT_EQ(s.MagnifierSource({2, 3}, 15), QRect(0, 0, 10, 11));
    EXPECT_EQ(cRegionSelection::ColourText(qRgb(0x0A, 0xBC, 0xFF)), QStringLiteral("#0ABCFF"));
}

}  // namespace
