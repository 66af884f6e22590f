#include <gtest/gtest.h>

#include "app/PlatformChoice.h"

namespace {

using PlatformChoice::Environment;
using PlatformChoice::PlatformFor;

// A Wayland session with an X server runs the program on X11; a platform the user chose always
// wins, and without an X server Qt chooses as it would.
TEST(PlatformChoice, XWaylandUnlessAPlatformIsChosen) {
    struct Row {
        Environment env;
        const char* expected;
    };
    const Row rows[] = {
        {{"", "wayland", "wayland-0", ":0"}, "xcb"},
        {{"", "wayland", "", ":0"}, "xcb"},               // session type alone says Wayland
        {{"", "", "wayland-1", ":1"}, "xcb"},             // so does a Wayland display alone
        {{"", "Wayland", "", ":0"}, "xcb"},               // letter case of the session type
        {{"wayland", "wayland", "wayland-0", ":0"}, ""},  // the user forces native Wayland
        {{"offscreen", "wayland", "wayland-0", ":0"}, ""},
        {{"", "wayland", "wayland-0", ""}, ""},  // no X server to run on
        {{"", "x11", "", ":0"}, ""},             // an X11 session needs nothing
        {{"", "tty", "", ""}, ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(PlatformFor(r.env), QByteArray(r.expected))
            << r.env.qtPlatform.constData() << "|" << r.env.sessionType.constData() << "|"
            << r.env.waylandDisplay.constData() << "|" << r.env.display.constData();
    }
}

TEST(PlatformChoice, ScaleFactorsQtCannotDrawWithAreDropped) {
    const struct {
        const char* scale;
        const char* screens;
        bool unusable;
    } rows[] = {
        {"", "", false},      {"1.5", "", false}, {"2", "1;1.25", false}, {"", "A=1;B=2", false},
        {"abc", "", false},  // Qt ignores what it cannot read
        {"1;2;3", "", false}, {"0", "", true},    {"-2", "", true},       {"inf", "", true},
        {"17", "", true},     {"", "1;-1", true}, {"", "A=1;B=0", true},  {"", "nan", true},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(PlatformChoice::UnusableScale(r.scale, r.screens), r.unusable)
            << r.scale << " / " << r.screens;
    }
}

}  // namespace
