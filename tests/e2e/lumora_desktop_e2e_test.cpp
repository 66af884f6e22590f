// Lumora on today's desktops: the screenshot portal (a stand-in on a private session bus) and the
// command-line actions a desktop shortcut starts. (Wayland sessions: lumora_wayland_e2e_test.)

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Compositor.h"
#include "XSession.h"

namespace {

constexpr QRgb kTipYellow = 0xFFFFFFC0;
const QSize kPicture(201, 103);

// Pixels of shot in area that differ from picture placed at area's corner, leaving out the tip's
// yellow box at the top left and the one-pixel frame around.
int Differences(const QImage& shot, const QRect& area, const QImage& picture) {
    int bad = 0;
    for (int y = 2; y < area.height() - 2; ++y) {
        for (int x = 2; x < area.width() - 2; ++x) {
            const QRgb s = shot.pixel(area.x() + x, area.y() + y);
            if (s != kTipYellow && y > 60 && s != (picture.pixel(x, y) | 0xFF000000)) {
                ++bad;
            }
        }
    }
    return bad;
}

class Desktop : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x.ok()) << "no virtual display";
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("run")));
    }
    // Opens a picture at its own size; the window's rectangle.
    QRect OpenPicture(const QImage& picture) {
        QFile options(x.ProgramFolder() + "/Option.ini");
        EXPECT_TRUE(options.open(QIODevice::WriteOnly));
        options.write("ResizeWhenOpen=True\r\n");
        options.close();
        const QString file = dir.path() + "/picture.bmp";
        EXPECT_TRUE(picture.save(file));
        EXPECT_TRUE(x.StartLumora({file}));
        window = x.FindWindow();
        EXPECT_NE(window, 0u);
        QRect g;
        XSession::Poll([&] { return (g = x.Geometry(window)).size() == picture.size(); }, 15000);
        // A click gives it the keyboard, as a person's would.
        x.MoveTo(g.center().x(), g.center().y());
        x.Press(1);
        x.Release(1);
        return g;
    }
    void UsePortal(const QString& answer) {
        ASSERT_TRUE(bus.ok()) << "no dbus-daemon";
        ASSERT_TRUE(bus.StartPortal(answer));
        x.SetProgramEnv("DBUS_SESSION_BUS_ADDRESS", bus.Address());
        x.SetProgramEnv("LUMORA_CAPTURE", "portal");
        x.SetProgramEnv("XDG_RUNTIME_DIR", dir.path() + "/run");
    }

    XSession x;
    QTemporaryDir dir;
    SessionBus bus;
    qulonglong window = 0;
};

TEST_F(Desktop, ThePortalsScreenshotFillsTheWindowAndItsTemporaryFileGoes) {
    const QImage shot = TestPattern(x.ScreenSize(), 3);
    const QString file = dir.path() + "/run/screenshot.png";
    ASSERT_TRUE(shot.save(file));
    UsePortal("file:" + file);
    const QRect before = OpenPicture(TestPattern(kPicture, 1));
    ASSERT_EQ(before.size(), kPicture);
    ASSERT_TRUE(x.WaitForFocus(window));
    x.Key("c");
    const QRect screen(QPoint(0, 0), x.ScreenSize());
    EXPECT_TRUE(XSession::Poll([&] { return x.Geometry(window) == screen; }, 15000))
        << "the window does not cover the screen";
    const QImage seen =
        x.WaitForScreen([&](const QImage& s) { return Differences(s, screen, shot) == 0; });
    EXPECT_EQ(Differences(seen, screen, shot), 0);
    EXPECT_TRUE(XSession::Poll([&] { return !QFile::exists(file); }, 10000))
        << "the portal's temporary file was left behind";
}

TEST_F(Desktop, ARefusedCaptureLeavesTheWindowAsItWasAndSaysSo) {
    UsePortal("refuse");
    const QImage picture = TestPattern(kPicture, 2);
    const QRect before = OpenPicture(picture);
    ASSERT_EQ(before.size(), kPicture);
    ASSERT_TRUE(x.WaitForFocus(window));
    x.Key("c");
    // The tip over the picture says so; the window is where it was, with its picture.
    const QImage seen = x.WaitForScreen(
        [&](const QImage& s) { return s.pixel(before.topLeft() + QPoint(3, 3)) == kTipYellow; });
    EXPECT_EQ(seen.pixel(before.topLeft() + QPoint(3, 3)), kTipYellow) << "no tip";
    EXPECT_EQ(x.Geometry(window), before);
    EXPECT_EQ(seen.pixel(before.bottomRight() - QPoint(2, 2)),
              picture.pixel(kPicture.width() - 3, kPicture.height() - 3) | 0xFF000000);
}

TEST_F(Desktop, CaptureFromTheCommandLineCoversTheScreenWithIt) {
    QImage backdrop = TestPattern(x.ScreenSize(), 5);
    if (XSession::SharedDesktop() == nullptr) {
        x.SetBackdrop(backdrop);
        x.WaitForScreen([&](const QImage& s) { return s.pixel(7, 90) == backdrop.pixel(7, 90); });
    } else {
        // A window manager paints its own background over the root window's: the screen as it
        // shows is what the capture must hold.
        backdrop = x.SettledScreenshot();
    }
    ASSERT_TRUE(x.StartLumora({"--capture"}));
    window = x.FindWindow();
    ASSERT_NE(window, 0u);
    const QRect screen(QPoint(0, 0), x.ScreenSize());
    EXPECT_TRUE(XSession::Poll([&] { return x.Geometry(window) == screen; }, 10000));
    const QImage seen =
        x.WaitForScreen([&](const QImage& s) { return Differences(s, screen, backdrop) == 0; });
    EXPECT_EQ(Differences(seen, screen, backdrop), 0);
}

TEST_F(Desktop, PasteFromTheCommandLineShowsTheClipboardsPictureOrSaysThereIsNone) {
    const QImage picture = TestPattern(kPicture, 4);
    const QString png = dir.path() + "/clip.png";
    ASSERT_TRUE(picture.save(png));
    x.Run("xclip", {"-selection", "clipboard", "-t", "image/png", "-i", png});
    ASSERT_TRUE(x.StartLumora({"--paste"}));
    window = x.FindWindow();
    ASSERT_NE(window, 0u);
    QRect g;
    EXPECT_TRUE(XSession::Poll([&] { return (g = x.Geometry(window)).size() == kPicture; }, 10000));
    x.FocusDesktop();
    const QImage seen =
        x.WaitForScreen([&](const QImage& s) { return Differences(s, g, picture) == 0; });
    EXPECT_EQ(Differences(seen, g, picture), 0);

    // Text on the clipboard: the message, and the program ends with status 1.
    const QString text = dir.path() + "/clip.txt";
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    x.Run("xclip", {"-selection", "clipboard", "-i", text});
    ASSERT_TRUE(x.StartLumora({"--paste"}));
    const qulonglong box = x.WaitForWindowNamed(QStringLiteral("Lumora"));
    ASSERT_NE(box, 0u) << "no message box";
    ASSERT_TRUE(x.WaitForFocus(box));
    x.Key("Return");
    EXPECT_EQ(x.WaitForExit(), 1);
}

}  // namespace
