// The image window's one-second chores: when the tip goes and when the focus frame goes.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "window/cWindowTicks.h"

namespace {

// One character a step: 't' a tip shown, 'h' a tip hidden by the window, 'a' activity, 'r' rest,
// '.' a tick while idle, 'b' a tick while busy. Expected: per tick, 'T' the tip goes, 'F' the
// frame goes, 'B' both, '.' nothing.
struct Case {
    const char* what;
    std::string steps;
    std::string due;
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

class Ticks : public testing::TestWithParam<Case> {};

TEST_P(Ticks, GoAfterTheirTime) {
    cWindowTicks ticks;
    std::string due;
    for (const char c : GetParam().steps) {
        switch (c) {
            case 't':
                ticks.TipShown();
                break;
            case 'h':
                ticks.TipHidden();
                break;
            case 'a':
                ticks.Active();
                break;
            case 'r':
                ticks.Rest();
                break;
            default: {
                const cWindowTicks::Due d = ticks.Tick(c == 'b');
                due += d.hideTip && d.focusOff ? 'B' : d.hideTip ? 'T' : d.focusOff ? 'F' : '.';
            }
        }
    }
    EXPECT_EQ(due, GetParam().due);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ticks,
    testing::Values(
        Case{"a tip goes at its second tick", "t...", ".T."},
        Case{"shown again, it starts again", "t.t..", "..T"},
        Case{"the wait's tip stays while busy", "tbbbb..", ".....T"},
        Case{"a hidden tip is not hidden again", "t.h..", "..."},
        Case{"the frame goes after 15 idle ticks", "a" + std::string(16, '.'),
             std::string(14, '.') + "F."},
        Case{"activity puts it off", "a" + std::string(10, '.') + "a" + std::string(15, '.'),
             std::string(24, '.') + "F"},
        Case{"both at once", "a" + std::string(13, '.') + "t..", std::string(14, '.') + "B"},
        Case{"a window at rest has no frame to take away", "ar" + std::string(20, '.'),
             std::string(20, '.')}));

}  // namespace
