// The mouse over an image window's picture: what presses, moves and releases do, and the drag
// that keeps the twips it started with. At 15 twips per pixel.

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "base/ScreenUnits.h"
#include "window/ControlFakes.h"
#include "window/FakeWindowFace.h"
#include "window/cPictureMouse.h"

namespace {

using Kind = cPictureMouse::Kind;

struct Event {
    Kind kind;
    Qt::MouseButton button;  // the one that changed
    Qt::MouseButtons held;   // afterwards
    QPointF at;              // picture device pixels
};
Event Press(Qt::MouseButton b, QPointF at) {
    return {Kind::Press, b, b, at};
}
Event Move(Qt::MouseButtons held, QPointF at) {
    return {Kind::Move, Qt::NoButton, held, at};
}
Event Release(Qt::MouseButton b, QPointF at) {
    return {Kind::Release, b, Qt::NoButton, at};
}

struct Case {
    const char* what;
    std::vector<Event> events;
    std::vector<QRect> crops;  // crop rectangles shown, in order
    int cropsHidden;
    int focusFrames;
    int menus;
    QPoint windowAt;  // where the window is afterwards (it starts at 100, 100)
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

class MouseTest : public testing::Test {
protected:
    void SetUp() override { ScreenUnits::OverrideForTesting(15, 15, 1024, 768); }
    void TearDown() override { ScreenUnits::OverrideForTesting(0, 0); }
};
class PictureMouse : public MouseTest, public testing::WithParamInterface<Case> {};

TEST_P(PictureMouse, DoesWhatEachEventSays) {
    const Case& c = GetParam();
    FakeWindowFace face;
    cWindowPlacement place(face);
    face.place = &place;
    place.SetDeviceGeometry(QRect(100, 100, 200, 150));
    ControlFakes::FakeControl picture(0, 0, 200, 150);
    cPictureMouse mouse(face, place, &picture);
    for (const Event& e : c.events) {
        mouse.Handle(e.kind, e.button, e.held, Qt::NoModifier, e.at, std::nullopt, QSize(200, 150));
    }
    EXPECT_EQ(face.cropsShown, c.crops);
    EXPECT_EQ(face.cropsHidden, c.cropsHidden);
    EXPECT_EQ(face.focusFrames, c.focusFrames);
    EXPECT_EQ(face.menus, c.menus);
    EXPECT_EQ(place.DeviceGeometry().topLeft(), c.windowAt);
    // Every press and move says where the pointer is; releases do not.
    std::vector<QPointF> pointers;
    for (const Event& e : c.events) {
        if (e.kind != Kind::Release) {
            pointers.push_back(e.at);
        }
    }
    EXPECT_EQ(face.pointers, pointers);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PictureMouse,
    testing::Values(Case{"a right drag draws the crop rectangle and its release opens the menu",
                         {Press(Qt::RightButton, {20, 30}), Move(Qt::RightButton, {25.4, 34}),
                          Move(Qt::RightButton, {60.6, 70}), Release(Qt::RightButton, {60, 70})},
                         {QRect(20, 30, 41, 40)},
                         1,
                         0,
                         1,
                         QPoint(100, 100)},
                    Case{"moves without a button draw nothing",
                         {Move(Qt::NoButton, {20, 30}), Move(Qt::NoButton, {80, 90})},
                         {},
                         0,
                         0,
                         0,
                         QPoint(100, 100)},
                    Case{"a left drag inside moves the window",
                         {Press(Qt::LeftButton, {100, 75}), Move(Qt::LeftButton, {110, 70}),
                          Release(Qt::LeftButton, {110, 70})},
                         {},
                         1,
                         1,
                         0,
                         QPoint(110, 95)},
                    Case{"a left release opens nothing",
                         {Press(Qt::LeftButton, {5, 5}), Release(Qt::LeftButton, {5, 5})},
                         {},
                         1,
                         1,
                         0,
                         QPoint(100, 100)}));

TEST_F(MouseTest, ADragKeepsTheTwipsOfTheScreenItStartedOn) {
    FakeWindowFace face;
    cWindowPlacement place(face);
    place.SetDeviceGeometry(QRect(100, 100, 200, 150));
    ControlFakes::FakeControl picture(0, 0, 200, 150);
    cPictureMouse mouse(face, place, &picture);
    const QSize view(200, 150);
    mouse.Handle(Kind::Press, Qt::LeftButton, Qt::LeftButton, {}, {100, 75}, {}, view);
    ScreenUnits::OverrideForTesting(7.5, 7.5);  // the window crossed onto a screen at scale 2
    EXPECT_EQ(place.TwipsPerPixelX(), 15);
    // The window system's pointer wins over Qt's converted position during a drag.
    mouse.Handle(Kind::Move, Qt::NoButton, Qt::LeftButton, {}, {500, 500}, QPointF(120, 75), view);
    EXPECT_EQ(place.DeviceGeometry().topLeft(), QPoint(120, 100));
    mouse.Handle(Kind::Release, Qt::LeftButton, Qt::NoButton, {}, {120, 75}, {}, view);
    EXPECT_EQ(place.TwipsPerPixelX(), 7.5);
    mouse.Detach();
    mouse.Handle(Kind::Press, Qt::LeftButton, Qt::LeftButton, {}, {100, 75}, {}, view);
    mouse.Handle(Kind::Move, Qt::NoButton, Qt::LeftButton, {}, {150, 75}, {}, view);
    EXPECT_EQ(place.DeviceGeometry().topLeft(), QPoint(120, 100));  // no drags once closed
    EXPECT_EQ(mouse.MinOuterPixels(), 1);
}

}  // namespace
