// The image window's device rectangle: what counts as its own rectangle coming back from the
// window system, the twips it is placed in, and the rules that keep it on a screen.

#include <gtest/gtest.h>

#include <QRect>
#include <ostream>
#include <vector>

#include "window/cDeviceGeometry.h"

namespace {

using Verdict = cDeviceGeometry::Verdict;

struct ReconcileCase {
    const char* what;
    std::vector<QRect> requested;  // oldest first; the last is where the window is meant to be
    QRect native;                  // what the window system reports
    double ratio;
    Verdict verdict;
    QRect after;  // the window's rectangle afterwards
};
void PrintTo(const ReconcileCase& c, std::ostream* os) {
    *os << c.what;
}

class Reconciling : public testing::TestWithParam<ReconcileCase> {};

TEST_P(Reconciling, OwnRectanglesArePutBackAndOthersAdopted) {
    const ReconcileCase& c = GetParam();
    cDeviceGeometry g;
    for (const QRect& r : c.requested) {
        g.Request(r);
    }
    EXPECT_EQ(g.Reconcile(c.native, c.ratio), c.verdict);
    EXPECT_EQ(g.Rect(), c.after);
}

const QRect kA(100, 100, 300, 200);
const QRect kB(500, 400, 301, 199);

std::vector<QRect> Steps(int n) {  // n requests walking right, one pixel apart
    std::vector<QRect> r;
    for (int i = 0; i < n; ++i) {
        r.push_back(kA.translated(10 * i, 0));
    }
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Reconciling,
    testing::Values(
        ReconcileCase{"where it is meant to be", {kA}, kA, 1.0, Verdict::Same, kA},
        ReconcileCase{
            "Qt's rounding at scale 1", {kA}, kA.adjusted(1, 0, 0, -1), 1.0, Verdict::PutBack, kA},
        ReconcileCase{"two pixels off at scale 1 is a move",
                      {kA},
                      kA.adjusted(2, 0, 2, 0),
                      1.0,
                      Verdict::Adopted,
                      kA.adjusted(2, 0, 2, 0)},
        ReconcileCase{"two pixels off at scale 1.5 is a rounding",
                      {kA},
                      kA.adjusted(2, 0, 2, 0),
                      1.5,
                      Verdict::PutBack,
                      kA},
        ReconcileCase{
            "a late rectangle asked for earlier", {kB, kA}, kB, 1.0, Verdict::PutBack, kA},
        ReconcileCase{"the oldest of the remembered", Steps(8), Steps(8).front(), 1.0,
                      Verdict::PutBack, Steps(8).back()},
        ReconcileCase{"one asked for too long ago", Steps(9), Steps(9).front(), 1.0,
                      Verdict::Adopted, Steps(9).front()},
        ReconcileCase{"a window manager's own place", {kA}, kB, 2.0, Verdict::Adopted, kB}));

TEST(DeviceGeometry, RequestsSayWhenTheSizeChangedAndAdoptionsAreNotRemembered) {
    cDeviceGeometry g;
    EXPECT_TRUE(g.Request(kA));
    EXPECT_FALSE(g.Request(kA.translated(5, 5)));  // a move keeps the size
    EXPECT_TRUE(g.Request(kB));
    // A rectangle taken from someone else is not one the window asked for: reported back a
    // moment later beside its successor, it is a move again.
    EXPECT_EQ(g.Reconcile(kA.translated(700, 0), 1.0), Verdict::Adopted);
    g.Request(kB);
    EXPECT_EQ(g.Reconcile(kA.translated(700, 0), 1.0), Verdict::Adopted);
}

struct TwipsCase {
    qint32 left, top, width, height;
    double tx, ty;
    qint32 least;
    QRect device;
};
class FromTwips : public testing::TestWithParam<TwipsCase> {};
TEST_P(FromTwips, EachEdgeIsRoundedOnItsOwn) {
    const TwipsCase& c = GetParam();
    EXPECT_EQ(cDeviceGeometry::FromTwips(c.left, c.top, c.width, c.height, {c.tx, c.ty}, c.least),
              c.device);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, FromTwips,
    testing::Values(
        // exact pixels
        TwipsCase{1500, 750, 900, 600, 15, 15, 1, QRect(100, 50, 60, 40)},
        // 7.5 twips per pixel: 1507 -> 200.93 -> 201 on the left, 2407 -> 320.93 -> 321 right
        TwipsCase{1507, 0, 900, 75, 7.5, 7.5, 1, QRect(201, 0, 120, 10)},
        // halves go to even: 22.5 -> 22, 37.5 -> 38 (so the width is 16, not 15)
        TwipsCase{225, 0, 150, 150, 10, 10, 1, QRect(22, 0, 16, 15)},
        // never smaller than least, even for a negative size
        TwipsCase{0, 0, 30, -300, 15, 15, 9, QRect(0, 0, 9, 9)}));

TEST(DeviceGeometry, ABandAddedAndTakenAwayLeavesThePictureWhereItWas) {
    for (const double t : {15.0, 10.0, 7.5, 8.0 + 4.0 / 7.0}) {
        cDeviceGeometry g;
        g.Request(QRect(333, 217, 121, 77));
        const QRect banded = g.Rebordered(0, 4, {t, t});
        EXPECT_EQ(banded, QRect(329, 213, 129, 85)) << t;
        EXPECT_EQ(g.PictureRect(0), QRect(0, 0, 121, 77));
        g.Request(banded);
        EXPECT_EQ(g.PictureRect(4), QRect(4, 4, 121, 77)) << t;
        EXPECT_EQ(g.Rebordered(4, 0, {t, t}), QRect(333, 217, 121, 77)) << t;
    }
    // A window narrower than its band keeps one pixel of picture.
    cDeviceGeometry thin;
    thin.Request(QRect(0, 0, 1, 1));
    thin.Request(thin.Rebordered(0, 4, {15, 15}));
    EXPECT_EQ(thin.Rect(), QRect(-4, -4, 9, 9));
    EXPECT_EQ(thin.PictureRect(4), QRect(4, 4, 1, 1));
    thin.Request(QRect(0, 0, 5, 5));
    EXPECT_EQ(thin.PictureRect(4), QRect(4, 4, 0, 0));
}

TEST(DeviceGeometry, ADragKeepsTheTwipsItStartedWith) {
    cDeviceGeometry g;
    EXPECT_EQ(g.Twips({15, 15}), QPointF(15, 15));
    g.BeginDrag({15, 15});
    EXPECT_EQ(g.Twips({7.5, 7.5}), QPointF(15, 15));  // crossed onto a screen at scale 2
    g.EndDrag();
    EXPECT_EQ(g.Twips({7.5, 7.5}), QPointF(7.5, 7.5));
    g.LaidOutAt(2.0);
    EXPECT_FALSE(g.RatioChanged(2.0));
    EXPECT_TRUE(g.RatioChanged(1.5));
}

// A window manager that places a newly shown window itself is asked once for the window's own
// place; what it answers then stands, as does any move by someone else once the window was
// reported where it was meant to be, or once a drag began.
TEST(DeviceGeometry, AWindowManagersPlaceForANewWindowIsAnsweredOnceThenFollowed) {
    using V = cDeviceGeometry::Verdict;
    cDeviceGeometry g;
    const QRect own(-4, -4, 1928, 1088);
    g.Request(own);
    g.Showing();
    EXPECT_EQ(g.Reconcile(QRect(32, 64, 1928, 1088), 1.0), V::Replace);
    EXPECT_EQ(g.Rect(), own);
    EXPECT_EQ(g.Reconcile(QRect(32, 64, 1900, 1000), 1.0), V::Adopted);  // the manager insists
    EXPECT_EQ(g.Rect(), QRect(32, 64, 1900, 1000));

    g.Showing();
    EXPECT_EQ(g.Reconcile(g.Rect(), 1.0), V::Same);
    EXPECT_EQ(g.Reconcile(QRect(5, 5, 1900, 1000), 1.0), V::Adopted);
    g.Showing();
    g.BeginDrag({15, 15});
    EXPECT_EQ(g.Reconcile(QRect(9, 9, 1900, 1000), 1.0), V::Adopted);
}

}  // namespace
