// Lumora in Wayland sessions, on the compositor's Xwayland: the compositor LUMORA_E2E_WM names
// (mutter-wayland, kwin, weston) is started once for the program, and each case runs a Lumora
// told it is in a Wayland session. A rootless Xwayland holds no picture of the screen, so what a
// window shows is read from the window itself; captures go through the screenshot portal (the
// stand-in, on a bus of the case's own). Keys are sent to the window itself (weston's Xwayland
// crashes on XTEST input); where the compositor cannot take XTEST input or an X client's clipboard
// (weston), the pointer and paste cases are left out.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Compositor.h"
#include "PanelPlaces.h"
#include "XSession.h"

namespace {

constexpr QRgb kTipYellow = 0xFFFFFFC0;
const QSize kPicture(201, 103);

// True when the window's own pixels are the picture's, one for one, leaving out the top rows, where
// a tip may show for a while, and the one-pixel focus frame around.
// A compositor that places a window itself may leave part of it off the output, where the window's
// pixels cannot be read; `partly` then compares the part that can be, from the window's corner.
bool Holds(const QImage& shot, const QImage& picture, bool partly = false) {
    const bool sized =
        partly ? shot.width() >= picture.width() / 2 && shot.height() >= picture.height() / 2 &&
                     QRect(QPoint(), picture.size()).contains(QRect(QPoint(), shot.size()))
               : shot.size() == picture.size();
    if (!sized) {
        return false;
    }
    for (int y = 61; y < shot.height() - 1; ++y) {
        for (int x = 1; x < shot.width() - 1; ++x) {
            if ((shot.pixel(x, y) | 0xFF000000) != (picture.pixel(x, y) | 0xFF000000)) {
                return false;
            }
        }
    }
    return true;
}

class Session : public testing::Test {
protected:
    void SetUp() override {
        desktop = XSession::SharedDesktop();
        ASSERT_NE(desktop, nullptr) << "run with LUMORA_E2E_WM=mutter-wayland, kwin or weston";
        ASSERT_TRUE(x.ok());
        ASSERT_TRUE(dir.isValid());
        // A bus of the case's own: a portal only where the case starts one.
        ASSERT_TRUE(bus.ok()) << "no dbus-daemon";
        x.SetProgramEnv("DBUS_SESSION_BUS_ADDRESS", bus.Address());
    }
    void TearDown() override {
        EXPECT_TRUE(desktop == nullptr || desktop->Running()) << "the compositor ended";
    }

    // Starts Lumora with args (pictures open at their size) and waits for its first window.
    qulonglong Start(const QStringList& args) {
        QFile options(x.ProgramFolder() + "/Option.ini");
        EXPECT_TRUE(options.open(QIODevice::WriteOnly));
        options.write("ResizeWhenOpen=True\r\n");
        options.close();
        EXPECT_TRUE(x.StartLumora(args));
        return x.FindWindow();
    }
    // Opens the picture; the window once it has the picture's size, or 0.
    qulonglong Open(const QImage& picture) {
        const QString file = dir.path() + "/picture.bmp";
        EXPECT_TRUE(picture.save(file));
        const qulonglong window = Start({file});
        const bool sized = XSession::Poll(
            [&] { return window != 0 && x.Geometry(window).size() == picture.size(); }, 15000);
        return sized ? window : 0;
    }
    // Waits until the window holds the picture one for one.
    bool WaitUntilHolds(qulonglong window, const QImage& picture, bool partly = false) {
        return XSession::Poll([&] { return Holds(x.WindowShot(window), picture, partly); }, 15000);
    }

    const Compositor* desktop = nullptr;
    XSession x;
    QTemporaryDir dir;
    SessionBus bus;
};

TEST_F(Session, APictureOpensAtItsSizeOneToOne) {
    const QImage picture = TestPattern(kPicture, 1);
    const qulonglong window = Open(picture);
    ASSERT_NE(window, 0u) << "no window of the picture's size";
    EXPECT_TRUE(WaitUntilHolds(window, picture));
}

TEST_F(Session, TheSizeListsFirstRowGivesAnEnlargedWindowThePicturesSizeBack) {
    if (!desktop->HasXTest()) {
        GTEST_SKIP() << "pointer input needs XTEST, which crashes this compositor's Xwayland";
    }
    const QImage picture = TestPattern(kPicture, 2);
    const qulonglong window = Open(picture);
    ASSERT_NE(window, 0u);
    // Larger by its bottom-right corner; the pointer stays over the picture.
    const QRect g = x.Geometry(window);
    const QPoint from = g.bottomRight() - QPoint(1, 1);
    x.DragTo(1, from, from + QPoint(150, 120));
    const QRect larger = x.WaitForGeometry(window, QRect(g.topLeft(), g.size() + QSize(150, 120)));
    ASSERT_EQ(larger.size(), g.size() + QSize(150, 120));

    x.MoveTo(larger.center().x(), larger.center().y());
    x.Press(3);
    x.Release(3);
    const qulonglong panel = x.WaitForWindowNamed(kPanelTitle);
    ASSERT_NE(panel, 0u) << "no panel after the right click";
    const QRect r = x.Geometry(panel);
    const QPoint tab = r.topLeft() + kTabSizes;
    x.MoveTo(tab.x(), tab.y());
    // Chosen: a third of the header's neighbourhood has the chosen tab's colour.
    const auto chosen = [&] {
        const QImage shot = x.WindowShot(panel);
        const QRect around(kTabSizes.x() - 20, 2, 40, 20);
        int n = 0;
        for (int y = around.top(); !shot.isNull() && y <= around.bottom(); ++y) {
            for (int xx = around.left(); xx <= around.right(); ++xx) {
                n += shot.pixel(xx, y) == kSelectedTab ? 1 : 0;
            }
        }
        return n > around.width() * around.height() / 3;
    };
    ASSERT_TRUE(XSession::Poll(chosen, 10000)) << "the size tab did not show";
    const QPoint row = r.topLeft() + kSizeRow0;
    x.MoveTo(row.x(), row.y());
    x.Press(1);
    x.Release(1);
    EXPECT_TRUE(XSession::Poll([&] { return x.Geometry(window).size() == kPicture; }, 10000));
    EXPECT_TRUE(WaitUntilHolds(window, picture));
}

TEST_F(Session, CFillsTheWindowWithThePortalsScreenshotAtTheScreensSize) {
    const QImage screen = TestPattern(x.ScreenSize(), 3);
    const QString file = desktop->RuntimeDir() + "/screenshot.png";
    ASSERT_TRUE(screen.save(file));
    ASSERT_TRUE(bus.StartPortal("file:" + file));
    const qulonglong window = Open(TestPattern(kPicture, 4));
    ASSERT_NE(window, 0u);
    x.KeyTo(window, "c");
    EXPECT_TRUE(XSession::Poll([&] { return x.Geometry(window).size() == x.ScreenSize(); }, 15000));
    // weston places a new window itself and moves it no more: the screen-sized window then hangs
    // off the output, and only its part on it can be read (and must be the screenshot's).
    EXPECT_TRUE(WaitUntilHolds(window, screen, desktop->kind() == Compositor::Kind::Weston));
    EXPECT_TRUE(XSession::Poll([&] { return !QFile::exists(file); }, 10000))
        << "the portal's file was left behind";
}

TEST_F(Session, WithoutAPortalCIsRefusedAndTheWindowKeepsItsPicture) {
    const QImage picture = TestPattern(kPicture, 5);
    const qulonglong window = Open(picture);
    ASSERT_NE(window, 0u);
    x.KeyTo(window, "c");
    // The tip says so; the X root, which holds nothing here, is never taken for the screen.
    QImage shot;
    EXPECT_TRUE(XSession::Poll(
        [&] {
            shot = x.WindowShot(window);
            return !shot.isNull() && shot.pixel(3, 3) == kTipYellow;
        },
        15000))
        << "no tip";
    EXPECT_EQ(x.Geometry(window).size(), kPicture);
    EXPECT_EQ(shot.pixel(kPicture.width() - 3, kPicture.height() - 3),
              picture.pixel(kPicture.width() - 3, kPicture.height() - 3) | 0xFF000000);
    EXPECT_TRUE(x.Running());
}

TEST_F(Session, PasteShowsTheClipboardsPicture) {
    if (!desktop->HasXClipboard()) {
        GTEST_SKIP() << "an X client's clipboard crashes this compositor";
    }
    const QImage picture = TestPattern(kPicture, 6);
    const QString png = dir.path() + "/clip.png";
    ASSERT_TRUE(picture.save(png));
    x.Run("xclip", {"-selection", "clipboard", "-t", "image/png", "-i", png});
    const qulonglong window = Start({"--paste"});
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(XSession::Poll([&] { return x.Geometry(window).size() == kPicture; }, 15000));
    EXPECT_TRUE(WaitUntilHolds(window, picture));
}

TEST_F(Session, NOpensASecondWindowAndEscapeClosesEachThenTheProgramEnds) {
    const qulonglong first = Open(TestPattern(kPicture, 7));
    ASSERT_NE(first, 0u);
    x.KeyTo(first, "n");
    const qulonglong second = x.WaitForNewWindow({first});
    ASSERT_NE(second, 0u) << "no second window";
    x.KeyTo(second, "Escape");
    EXPECT_TRUE(x.WaitForWindowGone(second));
    EXPECT_TRUE(x.Windows().contains(first));
    x.KeyTo(first, "Escape");
    EXPECT_EQ(x.WaitForExit(), 0);
}

}  // namespace
