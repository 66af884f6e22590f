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

}  // namespace
