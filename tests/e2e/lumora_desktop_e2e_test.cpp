// Lumora on today's desktops: the screenshot portal (a stand-in on a private session bus), the
// command-line actions a desktop shortcut starts, and a Wayland session (weston's headless
// backend with Xwayland), where the X server holds no picture of the screen.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <memory>

#include "XSession.h"

namespace {

constexpr QRgb kTipYellow = 0xFFFFFFC0;
const QSize kPicture(201, 103);

// Every pixel its own, so a shifted or scaled copy shows.
QImage Pattern(QSize size, int seed) {
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            img.setPixel(x, y, qRgb((x * 7 + seed) & 255, (y * 5 + seed * 3) & 255, (x + y) & 255));
        }
    }
    return img;
}

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

// A session bus of the test's own, and on it (when asked) the stand-in portal.
class PrivateBus {
public:
    PrivateBus() {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
        if (daemon.waitForStarted(10000) && daemon.waitForReadyRead(10000)) {
            address = QString::fromUtf8(daemon.readLine()).trimmed();
        }
    }
    ~PrivateBus() {
        for (QProcess* p : {portal.get(), &daemon}) {
            if (p != nullptr) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    bool ok() const { return !address.isEmpty(); }
    // Starts the portal answering as told; true once it holds its name.
    bool StartPortal(const QString& answer) {
        portal = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        portal->setProcessEnvironment(env);
        portal->start(QStringLiteral(LUMORA_FAKE_PORTAL), {answer});
        return portal->waitForStarted(10000) && portal->waitForReadyRead(10000) &&
               portal->readLine().trimmed() == "ready";
    }

    QProcess daemon;
    std::unique_ptr<QProcess> portal;
    QString address;
};

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
        x.SetProgramEnv("DBUS_SESSION_BUS_ADDRESS", bus.address);
        x.SetProgramEnv("LUMORA_CAPTURE", "portal");
        x.SetProgramEnv("XDG_RUNTIME_DIR", dir.path() + "/run");
    }

    XSession x;
    QTemporaryDir dir;
    PrivateBus bus;
    qulonglong window = 0;
};

TEST_F(Desktop, ThePortalsScreenshotFillsTheWindowAndItsTemporaryFileGoes) {
    const QImage shot = Pattern(x.ScreenSize(), 3);
    const QString file = dir.path() + "/run/screenshot.png";
    ASSERT_TRUE(shot.save(file));
    UsePortal("file:" + file);
    const QRect before = OpenPicture(Pattern(kPicture, 1));
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
    const QImage picture = Pattern(kPicture, 2);
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
    const QImage backdrop = Pattern(x.ScreenSize(), 5);
    x.SetBackdrop(backdrop);
    x.WaitForScreen([&](const QImage& s) { return s.pixel(7, 90) == backdrop.pixel(7, 90); });
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
    const QImage picture = Pattern(kPicture, 4);
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

// weston's headless backend with Xwayland: a Wayland session whose X server is rootless.
class Wayland : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        runtime = dir.path() + "/run";
        ASSERT_TRUE(QDir().mkpath(runtime));
        QFile::setPermissions(
            runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime);
        weston.setProcessEnvironment(env);
        weston.setProcessChannelMode(QProcess::MergedChannels);
        weston.start("weston", {"--backend=headless-backend.so", "--xwayland",
                                "--socket=lumora-e2e", "--width=1024", "--height=768"});
        if (!weston.waitForStarted(10000)) {
            GTEST_SKIP() << "weston is not installed";
        }
        // Xwayland's display, as weston announces it.
        const QRegularExpression listening(QStringLiteral("listening on display (:\\d+)"));
        XSession::Poll(
            [&] {
                weston.waitForReadyRead(100);
                log += QString::fromUtf8(weston.readAll());
                const auto m = listening.match(log);
                display = m.hasMatch() ? m.captured(1) : QString();
                return !display.isEmpty();
            },
            15000);
        ASSERT_FALSE(display.isEmpty()) << "weston gave no X display: " << log.toStdString();
        ASSERT_TRUE(bus.ok()) << "no dbus-daemon";
    }
    void TearDown() override {
        for (QProcess* p : {&first, &weston}) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
    // A Lumora on the session's X display, told it runs in a Wayland session.
    void Start(QProcess& p, const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_SESSION_TYPE", "wayland");
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
        env.insert("HOME", dir.path());
        env.insert("LUMORA_DECODE_WORKER", QStringLiteral(LUMORA_DECODE_EXE));
        env.remove("LUMORA_CAPTURE");
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(LUMORA_EXE), args);
        ASSERT_TRUE(p.waitForStarted(10000));
    }
    // The windows of the session's X server named Lumora (xwininfo), one line each: id and size.
    // Where the compositor puts a window, and when, is its own business, so positions are left out.
    QString LumoraWindows() {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
        p.start("xwininfo", {"-root", "-tree"});
        p.waitForFinished(10000);
        QString out;
        for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
            if (line.contains(QStringLiteral("(\"lumora\""))) {
                const QString id = line.trimmed().section(' ', 0, 0);
                const QRegularExpressionMatch size =
                    QRegularExpression(QStringLiteral("\\s(\\d+x\\d+)\\+")).match(line);
                out += id + ' ' + size.captured(1) + '\n';
            }
        }
        return out;
    }

    QTemporaryDir dir;
    QString runtime;
    QString display;
    QString log;
    QProcess weston;
    QProcess first;
    PrivateBus bus;
};

TEST_F(Wayland, WithoutAPortalACaptureIsRefusedAndEveryWindowStays) {
    // A window already open, then a capture: refused, never a read of the root.
    Start(first, {});
    ASSERT_TRUE(XSession::Poll([&] { return !LumoraWindows().isEmpty(); }, 15000));
    const QString windows = LumoraWindows();
    QProcess capture;
    Start(capture, {"--capture"});
    ASSERT_TRUE(capture.waitForFinished(30000));
    EXPECT_EQ(capture.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(capture.readAllStandardError()).contains("refused"));
    EXPECT_EQ(weston.state(), QProcess::Running);
    EXPECT_EQ(first.state(), QProcess::Running) << "the open window's program ended";
    EXPECT_EQ(LumoraWindows().toStdString(), windows.toStdString());
}

TEST_F(Wayland, WithThePortalACaptureShowsItsPicture) {
    const QString file = runtime + "/screenshot.png";
    ASSERT_TRUE(Pattern(QSize(1024, 768), 6).save(file));
    ASSERT_TRUE(bus.StartPortal("file:" + file));
    Start(first, {"--capture"});
    // A window the screen's size holding the portal's picture; the file it read is gone.
    EXPECT_TRUE(XSession::Poll([&] { return LumoraWindows().contains("1024x768"); }, 15000))
        << LumoraWindows().toStdString();
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(first.state(), QProcess::Running);
}

}  // namespace
