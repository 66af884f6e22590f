// The image window's keys: what a release does after which press, and which shortcuts there are.

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <vector>

#include "window/cWindowKeys.h"

namespace {

using Action = cWindowKeys::Action;
constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;

struct Key {
    bool press;
    int key;
    Qt::KeyboardModifiers keys = kNone;
    bool autoRepeat = false;
};
Key Down(int key, Qt::KeyboardModifiers keys = kNone) {
    return {true, key, keys, false};
}
Key Up(int key, Qt::KeyboardModifiers keys = kNone) {
    return {false, key, keys, false};
}

struct Case {
    const char* what;
    std::vector<Key> keys;
    std::vector<Action> releases;  // what each release does, in order
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

class KeyReleases : public testing::TestWithParam<Case> {};

TEST_P(KeyReleases, ActOnlyAfterTheirOwnPress) {
    cWindowKeys keys;
    std::vector<Action> done;
    for (const Key& k : GetParam().keys) {
        if (k.press) {
            keys.Pressed(k.key, k.keys, k.autoRepeat);
        } else {
            done.push_back(keys.Released(k.key, k.keys, k.autoRepeat));
        }
    }
    EXPECT_EQ(done, GetParam().releases);
}

const Qt::KeyboardModifiers kAll = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyReleases,
    testing::Values(
        Case{"Esc and Delete close",
             {Down(Qt::Key_Escape), Up(Qt::Key_Escape), Down(Qt::Key_Delete), Up(Qt::Key_Delete)},
             {Action::Close, Action::Close}},
        Case{"a release whose press went elsewhere passes on",
             {Up(Qt::Key_Escape)},
             {Action::PassOn}},
        Case{"another key between press and release",
             {Down(Qt::Key_Escape), Down(Qt::Key_A), Up(Qt::Key_Escape), Up(Qt::Key_A)},
             {Action::PassOn, Action::PassOn}},
        Case{"the letters",
             {Down(Qt::Key_O), Up(Qt::Key_O), Down(Qt::Key_S), Up(Qt::Key_S), Down(Qt::Key_C),
              Up(Qt::Key_C), Down(Qt::Key_T), Up(Qt::Key_T)},
             {Action::Open, Action::QuickSave, Action::Capture, Action::Pin}},
        Case{"a letter pressed with Ctrl does nothing, though Ctrl went first",
             {Down(Qt::Key_C, kCtrl), Up(Qt::Key_C)},
             {Action::None}},
        Case{"Shift is no chord for a letter, but Shift+C selects a region",
             {Down(Qt::Key_T, Qt::ShiftModifier), Up(Qt::Key_T), Down(Qt::Key_C, Qt::ShiftModifier),
              Up(Qt::Key_Shift), Up(Qt::Key_C)},
             {Action::Pin, Action::PassOn, Action::Select}},
        Case{"N and the menu key take any chord",
             {Down(Qt::Key_N, kCtrl), Up(Qt::Key_N, kCtrl), Down(Qt::Key_Menu, Qt::AltModifier),
              Up(Qt::Key_Menu)},
             {Action::NewWindow, Action::CommandPanel}},
        Case{"F12 wants Ctrl, Alt and Shift held at the release",
             {Down(Qt::Key_F12), Up(Qt::Key_F12, kAll), Down(Qt::Key_F12, kAll),
              Up(Qt::Key_F12, kCtrl | Qt::AltModifier)},
             {Action::VersionInfo, Action::None}},
        Case{"auto-repeats change nothing",
             {Down(Qt::Key_O),
              {true, Qt::Key_Escape, kNone, true},
              {false, Qt::Key_O, kNone, true},
              Up(Qt::Key_O)},
             {Action::None, Action::Open}},
        Case{"a key once released is forgotten",
             {Down(Qt::Key_O), Up(Qt::Key_O), Up(Qt::Key_O)},
             {Action::Open, Action::PassOn}},
        Case{"other keys pass on", {Down(Qt::Key_X), Up(Qt::Key_X)}, {Action::PassOn}}));

TEST(WindowKeys, ArrowsStepOneOrTenWithCtrlAlone) {
    EXPECT_EQ(cWindowKeys::ArrowOf(Qt::Key_Left), WindowArithmetic::Arrow::Left);
    EXPECT_EQ(cWindowKeys::ArrowOf(Qt::Key_Down), WindowArithmetic::Arrow::Down);
    EXPECT_FALSE(cWindowKeys::ArrowOf(Qt::Key_Home).has_value());
    EXPECT_EQ(cWindowKeys::ArrowStep(kNone), 1);
    EXPECT_EQ(cWindowKeys::ArrowStep(kCtrl), 10);
    EXPECT_EQ(cWindowKeys::ArrowStep(kCtrl | Qt::KeypadModifier), 10);  // the keypad's arrows
    EXPECT_EQ(cWindowKeys::ArrowStep(kCtrl | Qt::ShiftModifier), 1);
}

TEST(WindowKeys, EveryShortcutIsAChordOrAFunctionKeyAndNoneIsTakenTwice) {
    std::set<QKeySequence> seen;
    for (const auto& [sequence, action] : cWindowKeys::Shortcuts()) {
        EXPECT_TRUE(seen.insert(sequence).second) << sequence.toString().toStdString();
        // A plain letter here would never reach the window's own letter commands.
        const int key = sequence[0].key();
        EXPECT_TRUE(sequence[0].keyboardModifiers() != Qt::NoModifier ||
                    (key >= Qt::Key_F1 && key <= Qt::Key_F35))
            << sequence.toString().toStdString();
        EXPECT_NE(action, Action::None);
        EXPECT_NE(action, Action::PassOn);
    }
    EXPECT_EQ(seen.count(QKeySequence(Qt::CTRL | Qt::Key_W)), 1U);
}

}  // namespace
