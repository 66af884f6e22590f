// The click-through pin's states: what the key, a poll of the keyboard and pointer, and the
// buttons do to them.

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "window/cClickThrough.h"

namespace {

using State = cClickThrough::State;

struct Step {
    enum Kind { Pin, Poll, Press, Move, Release } kind;
    Qt::KeyboardModifiers keys = Qt::NoModifier;  // Poll
    bool over = false;                            // Poll
    Qt::MouseButton button = Qt::NoButton;        // Press
    Qt::MouseButtons held = Qt::NoButton;         // Release: the buttons still held
    bool result = false;
    State after = State::Off;
};

Step PinKey(bool result, State after) {
    return {Step::Pin, {}, false, Qt::NoButton, {}, result, after};
}
Step Poll(Qt::KeyboardModifiers keys, bool over, bool changed, State after) {
    return {Step::Poll, keys, over, Qt::NoButton, {}, changed, after};
}
Step Press(Qt::MouseButton button, bool taken, State after) {
    return {Step::Press, {}, false, button, {}, taken, after};
}
Step Move(bool taken, State after) {
    return {Step::Move, {}, false, Qt::NoButton, {}, taken, after};
}
Step Release(Qt::MouseButtons held, bool taken, State after) {
    return {Step::Release, {}, false, Qt::NoButton, held, taken, after};
}

struct Scenario {
    const char* what;
    std::vector<Step> steps;
};
void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.what;
}

const Qt::KeyboardModifiers kCtrlShift = Qt::ControlModifier | Qt::ShiftModifier;
constexpr bool kOver = true;
constexpr bool kAway = false;

class ClickThroughSteps : public testing::TestWithParam<Scenario> {};

TEST_P(ClickThroughSteps, EachStepGivesItsResultAndState) {
    cClickThrough pin;
    int i = 0;
    for (const Step& s : GetParam().steps) {
        bool result = false;
        switch (s.kind) {
            case Step::Pin:
                result = pin.Pin();
                break;
            case Step::Poll:
                result = pin.Poll(s.keys, s.over);
                break;
            case Step::Press:
                result = pin.Press(s.button);
                break;
            case Step::Move:
                result = pin.Move();
                break;
            case Step::Release:
                result = pin.Release(s.held);
                break;
        }
        EXPECT_EQ(result, s.result) << "step " << i;
        EXPECT_EQ(pin.state(), s.after) << "step " << i;
        ++i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, ClickThroughSteps,
    testing::Values(
        Scenario{
            "an ordinary window takes its own clicks and ignores polls",
            {Press(Qt::LeftButton, false, State::Off), Move(false, State::Off),
             Release(Qt::NoButton, false, State::Off), Poll(kCtrlShift, kOver, false, State::Off)}},
        Scenario{"T pins; T again changes nothing",
                 {PinKey(true, State::Through), PinKey(false, State::Through)}},
        Scenario{"a pinned window's clicks are all taken and end nothing",
                 {PinKey(true, State::Through), Press(Qt::LeftButton, true, State::Through),
                  Move(true, State::Through), Release(Qt::NoButton, true, State::Through),
                  Press(Qt::RightButton, true, State::Through)}},
        Scenario{
            "only Ctrl+Shift over the window holds it",
            {PinKey(true, State::Through), Poll(Qt::ControlModifier, kOver, false, State::Through),
             Poll(Qt::ShiftModifier, kOver, false, State::Through),
             Poll(kCtrlShift | Qt::AltModifier, kOver, false, State::Through),
             Poll(kCtrlShift | Qt::MetaModifier, kOver, false, State::Through),
             Poll(kCtrlShift, kAway, false, State::Through),
             Poll(kCtrlShift | Qt::KeypadModifier, kOver, true, State::Held),
             Poll(kCtrlShift, kOver, false, State::Held)}},
        Scenario{"letting go of a key, or the pointer leaving, pins it again",
                 {PinKey(true, State::Through), Poll(kCtrlShift, kOver, true, State::Held),
                  Poll(Qt::ControlModifier, kOver, true, State::Through),
                  Poll(kCtrlShift, kOver, true, State::Held),
                  Poll(kCtrlShift, kAway, true, State::Through)}},
        Scenario{
            "a left click while held ends the pin and is taken whole",
            {PinKey(true, State::Through), Poll(kCtrlShift, kOver, true, State::Held),
             Press(Qt::LeftButton, true, State::Off), Move(true, State::Off),
             Press(Qt::RightButton, true, State::Off), Release(Qt::LeftButton, true, State::Off),
             Release(Qt::NoButton, true, State::Off), Press(Qt::LeftButton, false, State::Off),
             Move(false, State::Off)}},
        Scenario{
            "another button while held is taken and ends nothing",
            {PinKey(true, State::Through), Poll(kCtrlShift, kOver, true, State::Held),
             Press(Qt::RightButton, true, State::Held), Release(Qt::NoButton, true, State::Held),
             Poll(Qt::NoModifier, kOver, true, State::Through)}}),
    [](const testing::TestParamInfo<Scenario>& info) { return std::to_string(info.index); });

// What each state asks of the window.
TEST(ClickThroughStates, InputOutlineFocusAndPollingFollowTheState) {
    cClickThrough pin;
    EXPECT_FALSE(pin.PassesInput());
    EXPECT_FALSE(pin.ShowsOutline());
    EXPECT_TRUE(pin.TakesFocus());
    EXPECT_FALSE(pin.NeedsPolling());
    pin.Pin();
    EXPECT_TRUE(pin.PassesInput());
    EXPECT_TRUE(pin.ShowsOutline());
    EXPECT_FALSE(pin.TakesFocus());
    EXPECT_TRUE(pin.NeedsPolling());
    pin.Poll(kCtrlShift, kOver);
    // Held: it takes the mouse again, and the outline goes to show that it does.
    EXPECT_FALSE(pin.PassesInput());
    EXPECT_FALSE(pin.ShowsOutline());
    EXPECT_FALSE(pin.TakesFocus());
    EXPECT_TRUE(pin.NeedsPolling());
}

}  // namespace
