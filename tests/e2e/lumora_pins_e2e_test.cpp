// A pinned image window on a real X display: clicks and keys pass to the window below it,
// Ctrl+Shift and a click take it back, and the wheel's notches out and in give back the window.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <memory>

#include "XSession.h"

namespace {

bool IsBlack(QRgb c) {
    return qRed(c) == 0 && qGreen(c) == 0 && qBlue(c) == 0;
}
bool IsWhite(QRgb c) {
    return qRed(c) == 255 && qGreen(c) == 255 && qBlue(c) == 255;
}

class PinnedWindow : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.ok()) << "no virtual display"; }
    void TearDown() override {
        if (recorder) {
            recorder->kill();
            recorder->waitForFinished(5000);
        }
    }

    // The window that records what reaches it, over the whole screen; true once it shows.
    bool StartRecorder() {
        recorder = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", x.display());
        env.insert("QT_QPA_PLATFORM", "xcb");
        recorder->setProcessEnvironment(env);
        recorder->setProcessChannelMode(QProcess::ForwardedChannels);
        const QSize s = x.ScreenSize();
        recorder->start(
            QStringLiteral(LUMORA_CLICK_RECORDER),
            {Recorded(), "0", "0", QString::number(s.width()), QString::number(s.height())});
        if (!recorder->waitForStarted(10000)) {
            return false;
        }
        return XSession::Poll(
            [&] {
                return !x.Run("xdotool", {"search", "--onlyvisible", "--name", "click recorder"})
                            .trimmed()
                            .isEmpty();
            },
            10000);
    }
    QString Recorded() const { return dir.path() + "/recorded.txt"; }
    QString RecordedText() const {
        QFile f(Recorded());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // Lumora with a grey picture, its window made larger by a drag of its corner; the window's
    // rectangle.
    QRect OpenLargeGreyWindow() {
        QImage img(240, 180, QImage::Format_RGB32);
        img.fill(QColor(128, 128, 128));
        const QString path = dir.path() + "/grey.png";
        img.save(path);
        EXPECT_TRUE(x.StartLumora({path}));
        window = x.FindWindow();
        EXPECT_NE(window, 0u);
        const QRect g = x.Geometry(window);
        x.DragTo(1, g.bottomRight() - QPoint(1, 1), g.bottomRight() + QPoint(250, 200));
        return x.WaitForGeometry(window, QRect(g.topLeft(), g.size() + QSize(251, 201)));
    }

    // Whether the window's top edge shows the pin's outline from its corner on: four black
    // pixels, four white, black again.
    static bool OutlineAt(const QImage& shot, QPoint corner) {
        for (int i = 0; i < 9; ++i) {
            const QRgb c = shot.pixel(corner + QPoint(i, 0));
            if (!((i / 4) % 2 == 0 ? IsBlack(c) : IsWhite(c))) {
                return false;
            }
        }
        return true;
    }
    // Presses T over the window and waits for the outline.
    bool Pin(const QRect& g) {
        x.MoveTo(g.center().x(), g.center().y());
        x.Key("t");
        const QImage shot =
            x.WaitForScreen([&](const QImage& s) { return OutlineAt(s, g.topLeft()); });
        return OutlineAt(shot, g.topLeft());
    }

    XSession x;
    QTemporaryDir dir;
    qulonglong window = 0;
    std::unique_ptr<QProcess> recorder;
};

TEST_F(PinnedWindow, APinnedWindowLetsClicksAndKeysThroughToTheWindowBelow) {
    ASSERT_TRUE(StartRecorder());
    const QRect g = OpenLargeGreyWindow();
    ASSERT_GT(g.width(), 200);
    ASSERT_TRUE(Pin(g));
    const QPoint at = g.center() + QPoint(-40, 30);
    x.MoveTo(at.x(), at.y());
    x.Press(1);
    x.Release(1);
    x.Key("Escape");
    const QString click =
        QStringLiteral("press %1 %2 1\nrelease %1 %2 1\n").arg(at.x()).arg(at.y());
    EXPECT_TRUE(XSession::Poll(
        [&] { return RecordedText().contains(click) && RecordedText().contains("key Esc"); }, 5000))
        << RecordedText().toStdString();
    EXPECT_TRUE(x.Running());  // Escape did not close the pinned window
    EXPECT_EQ(x.Geometry(window), g);
}

TEST_F(PinnedWindow, CtrlShiftAndALeftClickTakeThePinnedWindowBackAndDoNothingElse) {
    ASSERT_TRUE(StartRecorder());
    const QRect g = OpenLargeGreyWindow();
    ASSERT_GT(g.width(), 200);
    ASSERT_TRUE(Pin(g));
    const QList<qulonglong> windows = x.Windows();
    x.Run("xdotool", {"keydown", "ctrl", "shift"});
    // Held: the window takes the mouse again, and its outline goes to say so.
    const QImage held =
        x.WaitForScreen([&](const QImage& s) { return !OutlineAt(s, g.topLeft()); });
    EXPECT_FALSE(OutlineAt(held, g.topLeft()));
    x.Run("xdotool", {"click", "1", "keyup", "ctrl", "shift"});
    // The click went to nothing: not to the window below, no drag, no panel.
    EXPECT_EQ(x.Geometry(window), g);
    EXPECT_EQ(x.Windows(), windows);
    // For good: with the keys let go, a drag inside moves the window.
    // (Not from where the pointer already is: a synchronous move there would wait for ever.)
    const QPoint from = g.center() + QPoint(10, 10);
    x.DragTo(1, from, from + QPoint(-60, -40));
    const QPoint moved = g.topLeft() + QPoint(-60, -40);
    EXPECT_TRUE(XSession::Poll([&] { return x.Geometry(window).topLeft() == moved; }, 5000))
        << x.Geometry(window).x() << "," << x.Geometry(window).y();
    EXPECT_FALSE(RecordedText().contains("press")) << RecordedText().toStdString();
}

TEST_F(PinnedWindow, WheelNotchesOutAndAsManyInGiveBackTheWindowExactly) {
    const QRect g = OpenLargeGreyWindow();
    ASSERT_GT(g.width(), 200);
    const QPoint at = g.topLeft() + QPoint(g.width() / 3 + 7, g.height() / 4 + 3);
    x.MoveTo(at.x(), at.y());
    const int n = 20;
    const double f = std::pow(1.1, -n);
    const QSize out(int(std::nearbyint(g.width() * f)), int(std::nearbyint(g.height() * f)));
    x.Wheel(-n);
    EXPECT_TRUE(XSession::Poll([&] { return x.Geometry(window).size() == out; }, 10000))
        << "out at " << x.Geometry(window).width() << "x" << x.Geometry(window).height();
    x.Wheel(n);
    EXPECT_TRUE(XSession::Poll([&] { return x.Geometry(window) == g; }, 10000));
    EXPECT_EQ(x.Geometry(window), g);
}

}  // namespace
