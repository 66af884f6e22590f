// The wheel over an image window: which turns count for the zoom and which for the opacity, how
// the notches of one turn of the event loop are summed, and the zoom's limits.

#include <gtest/gtest.h>

#include <QPointF>
#include <QRect>
#include <ostream>
#include <vector>

#include "window/WindowArithmetic.h"
#include "window/cWheelGesture.h"

namespace {

constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;

struct Event {
    int delta;
    Qt::KeyboardModifiers keys = kNone;
    Qt::MouseButtons buttons = Qt::NoButton;
    bool takesCommands = true;
    bool schedules = false;  // Add's answer
};
Event Turn(int delta, bool schedules, Qt::KeyboardModifiers keys = kNone) {
    return {delta, keys, Qt::NoButton, true, schedules};
}

struct Case {
    const char* what;
    std::vector<Event> events;  // all within one turn of the event loop
    int zoom;
    int opacity;
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

class WheelTurns : public testing::TestWithParam<Case> {};

TEST_P(WheelTurns, AreSummedUntilTakenOnce) {
    const Case& c = GetParam();
    cWheelGesture wheel;
    QPointF pointer;
    int i = 0;
    for (const Event& e : c.events) {
        pointer = QPointF(10 * i, 5);
        EXPECT_EQ(wheel.Add(e.delta, e.keys, e.buttons, e.takesCommands, pointer), e.schedules)
            << "event " << i;
        ++i;
    }
    const cWheelGesture::Notches n = wheel.Take();
    EXPECT_EQ(n.zoom, c.zoom);
    EXPECT_EQ(n.opacity, c.opacity);
    // Taken once: nothing waits, and the next notch asks to be taken again.
    EXPECT_EQ(wheel.Take().zoom, 0);
    EXPECT_TRUE(wheel.Add(120, kNone, Qt::NoButton, true, {}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WheelTurns,
    testing::Values(
        Case{"a storm of notches is one zoom",
             {Turn(120, true), Turn(120, false), Turn(240, false)},
             4,
             0},
        Case{"halves add up to a notch", {Turn(60, false), Turn(60, true)}, 1, 0},
        Case{"towards the user", {Turn(-120, true), Turn(-360, false)}, -4, 0},
        Case{"a turn back forgets what the other way left",
             {Turn(100, false), Turn(-100, false)},
             0,
             0},
        Case{"Ctrl steps the opacity", {Turn(120, true, kCtrl), Turn(120, false, kCtrl)}, 0, 2},
        Case{"the keypad is no chord", {Turn(120, true, kCtrl | Qt::KeypadModifier)}, 0, 1},
        Case{"zoom and opacity in one turn", {Turn(120, true), Turn(-120, false, kCtrl)}, 1, -1},
        Case{"Shift counts nothing and forgets",
             {Turn(60, false), Turn(120, false, Qt::ShiftModifier), Turn(60, false)},
             0,
             0},
        Case{"Ctrl+Alt counts nothing", {Turn(120, false, kCtrl | Qt::AltModifier)}, 0, 0},
        Case{"a held button counts nothing",
             {Turn(60, false), {60, kNone, Qt::LeftButton, true, false}, Turn(60, false)},
             0,
             0},
        Case{"a busy window counts nothing",
             {{120, kNone, Qt::NoButton, false, false}, {120, kCtrl, Qt::NoButton, false, false}},
             0,
             0}));

TEST(WheelGesture, ThePointerIsWhereTheLastNotchWas) {
    cWheelGesture wheel;
    wheel.Add(120, kNone, Qt::NoButton, true, {10, 10});
    wheel.Add(60, kNone, Qt::NoButton, true, {20, 20});  // no notch yet: not where it rests
    wheel.Add(60, kNone, Qt::NoButton, true, {30, 30});
    EXPECT_EQ(wheel.Take().pointer, QPointF(30, 30));
}

TEST(WheelGesture, TheZoomStopsAtTheDragsSmallestWindowAndAtTwiceTheScreen) {
    const QRect window(100, 100, 108, 88);  // a band of 4 round a 100 x 80 picture
    const QSize screen(1000, 800);
    const qint64 minOuter = 2 * 4 + 5 + 2 * 4;  // both drag bands, five pixels, both window bands
    cWheelGesture out;
    QRect r = window;
    for (int i = 0; i < 60; ++i) {
        r = out.Zoom(r, 4, r.size() - QSize(8, 8), -1, r.center(), minOuter, screen);
    }
    const QSize least = r.size() - QSize(8, 8);
    EXPECT_GE(least.width(), 13);
    EXPECT_GE(least.height(), 13);
    // One more notch would pass the least side.
    EXPECT_LT(WindowArithmetic::WheelZoomSize({100, 80}, out.ZoomState().Level() - 1).height(), 13);

    cWheelGesture in;
    r = window;
    for (int i = 0; i < 60; ++i) {
        r = in.Zoom(r, 4, r.size() - QSize(8, 8), 1, r.center(), minOuter, screen);
    }
    const QSize most = r.size() - QSize(8, 8);
    EXPECT_LE(most.width(), 2000);
    EXPECT_LE(most.height(), 1600);
    EXPECT_GT(WindowArithmetic::WheelZoomSize({100, 80}, in.ZoomState().Level() + 1).width(), 2000);
}

}  // namespace
