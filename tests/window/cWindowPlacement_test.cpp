// An image window's place and size as its logic keeps them: when the controls are laid out
// again, fitting a picture to the screen, the band, what Qt and the window system report back,
// arrow steps and the wheel's limits. On a 1024 x 768 screen at 15 twips per pixel, or 7.5.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include "base/ScreenUnits.h"
#include "support/TestSupport.h"
#include "window/WindowCoreTest.h"
#include "window/cWheelGesture.h"

namespace {

const QString kTooLarge = QStringLiteral("图片尺寸过大，已经被自动调整！");

class Placement : public WindowCoreTest {};

TEST_F(Placement, TheControlsAreLaidOutAgainOnlyForANewSizeOrRatio) {
    place.SetDeviceGeometry(QRect(10, 20, 100, 80));
    EXPECT_EQ(face.layOuts, 1);
    place.Geometry().LaidOutAt(1.0);
    place.MoveTw(300, 450);  // twips: 20, 30 pixels
    EXPECT_EQ(face.placed.back(), QRect(20, 30, 100, 80));
    EXPECT_EQ(face.layOuts, 1);
    face.ratio = 1.5;  // it went to a screen of another scale
    place.MoveByPixels(QPoint(-5, 5));
    EXPECT_EQ(face.placed.back(), QRect(15, 35, 100, 80));
    EXPECT_EQ(face.layOuts, 2);
    EXPECT_EQ(place.LeftTw(), 15 * 15);
    EXPECT_EQ(place.WidthTw(), 100 * 15);
}

struct FitCase {
    const char* what;
    QSize picture;
    bool band;
    bool visible;
    QSize window;
    bool tip;
};
void PrintTo(const FitCase& c, std::ostream* os) {
    *os << c.what;
}

class Fitting : public Placement, public testing::WithParamInterface<FitCase> {};

TEST_P(Fitting, APictureTooLargeIsShrunkAndSaysSo) {
    const FitCase& c = GetParam();
    place.SetDeviceGeometry(QRect(40, 30, 61, 61));
    place.SetBorder(c.band);
    face.visible = c.visible;
    const QPoint corner = place.DeviceGeometry().topLeft();
    place.ApplyViewSize(c.picture.width(), c.picture.height());
    EXPECT_EQ(place.DeviceGeometry(), QRect(corner, c.window));
    EXPECT_EQ(face.tips.contains(kTooLarge), c.tip);
    // Shown before the window first shows, the tip outlasts its first layout.
    EXPECT_EQ(face.held, c.tip && !c.visible);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Fitting,
    testing::Values(
        FitCase{"fits", {300, 200}, false, true, {300, 200}, false},
        FitCase{"fits, with the band outside", {1024, 768}, true, true, {1032, 776}, false},
        FitCase{"too wide", {2048, 1000}, false, true, {1024, 500}, true},
        FitCase{"too tall, not shown yet", {500, 3072}, false, false, {125, 768}, true}));

TEST_F(Placement, ABandAddedAndTakenAwayAtScale2LeavesThePictureInPlace) {
    ScreenUnits::OverrideForTesting(7.5, 7.5, 2048, 1536);
    const QRect start(333, 217, 121, 77);
    place.SetDeviceGeometry(start);
    place.SetBorder(true);
    EXPECT_EQ(place.mFormBorder, 4);
    EXPECT_EQ(place.DeviceGeometry(), start.adjusted(-4, -4, 4, 4));
    EXPECT_EQ(face.shown, QSize(121, 77));
    place.SetBorder(true);  // already on: nothing moves
    EXPECT_EQ(place.DeviceGeometry(), start.adjusted(-4, -4, 4, 4));
    place.SetBorder(false);
    EXPECT_EQ(place.DeviceGeometry(), start);
}

struct ReconcileCase {
    const char* what;
    std::optional<QRect> native;
    bool nativeAvailable;
    QRect logical;
    QRect after;
    bool putBack;
    bool laidOut;
};
void PrintTo(const ReconcileCase& c, std::ostream* os) {
    *os << c.what;
}

class PlacementReconciling : public Placement, public testing::WithParamInterface<ReconcileCase> {};

TEST_P(PlacementReconciling, KeepsItsOwnRectangleAndTakesOthers) {
    const ReconcileCase& c = GetParam();
    const QRect own(100, 100, 200, 150);
    place.SetDeviceGeometry(own);
    place.Geometry().LaidOutAt(1.0);
    const int layOuts = face.layOuts;
    place.Reconcile(c.native, c.nativeAvailable, c.logical);
    EXPECT_EQ(place.DeviceGeometry(), c.after);
    EXPECT_EQ(!face.putBack.empty(), c.putBack);
    if (c.putBack) {
        EXPECT_EQ(face.putBack.back(), own);
    }
    EXPECT_EQ(face.layOuts > layOuts, c.laidOut);
}

const QRect kOwn(100, 100, 200, 150);
INSTANTIATE_TEST_SUITE_P(
    Cases, PlacementReconciling,
    testing::Values(
        ReconcileCase{"as asked", kOwn, true, kOwn, kOwn, false, false},
        ReconcileCase{"rounded by Qt", kOwn.adjusted(0, 1, 1, 0), true, kOwn, kOwn, true, false},
        ReconcileCase{"moved by a window manager", kOwn.translated(40, 0), true, kOwn,
                      kOwn.translated(40, 0), false, true},
        ReconcileCase{"no window system: Qt's own change", std::nullopt, false,
                      kOwn.translated(0, 9), kOwn.translated(0, 9), false, true},
        ReconcileCase{"no window system, no change", std::nullopt, false, kOwn, kOwn, false, false},
        ReconcileCase{"a window system that did not answer", std::nullopt, true,
                      kOwn.translated(0, 9), kOwn, false, false}));

TEST_F(Placement, ArrowStepsStopAtTheScreensEdges) {
    place.SetDeviceGeometry(QRect(920, 5, 100, 80));
    place.MoveByArrow(WindowArithmetic::Arrow::Right, 10);
    EXPECT_EQ(place.DeviceGeometry().topLeft(), QPoint(924, 5));
    place.MoveByArrow(WindowArithmetic::Arrow::Up, 10);
    EXPECT_EQ(place.DeviceGeometry().topLeft(), QPoint(924, 0));
    place.MoveByArrow(WindowArithmetic::Arrow::Left, 1);
    EXPECT_EQ(place.DeviceGeometry().topLeft(), QPoint(923, 0));
    place.SetDeviceGeometry(QRect(1000, 700, 100, 80));
    place.AutoPosition();  // right and bottom edges back on the screen
    EXPECT_EQ(place.DeviceGeometry().topLeft(), QPoint(924, 688));
}

TEST_F(Placement, TheWheelHidesTheCropRectangleOrAtALimitSaysTheSize) {
    cWheelGesture wheel;
    place.SetDeviceGeometry(QRect(100, 100, 200, 100));
    face.crop = QRect(5, 5, 20, 20);
    place.WheelZoom(wheel, 1, QPointF(100, 100), 13);
    EXPECT_EQ(place.DeviceGeometry(), QRect(100, 100, 220, 110));  // the corner under the pointer
    EXPECT_TRUE(face.crop.isEmpty());
    face.tips.clear();
    for (int i = 0; i < 40; ++i) {
        place.WheelZoom(wheel, 1, QPointF(100, 100), 13);
    }
    EXPECT_LE(place.DeviceGeometry().width(), 2048);  // twice the screen
    EXPECT_EQ(face.tips.back(), QStringLiteral("%1 * %2")
                                    .arg(place.DeviceGeometry().width())
                                    .arg(place.DeviceGeometry().height()));
}

}  // namespace
