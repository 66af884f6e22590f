// A region of the frozen screens, selected with the pointer and pinned where it was.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "Compositor.h"
#include "XSession.h"

namespace {

// Pixels of a unlike b's (every pixel when the sizes differ); X leaves the alpha byte unset.
int Differences(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return b.width() * b.height();
    }
    int bad = 0;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            bad += (a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF);
        }
    }
    return bad;
}

class Select : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.ok()) << "no virtual display"; }
    // The screen as the selection will freeze it: a pattern on a bare X server, whatever a
    // window manager paints otherwise.
    QImage ShowBackdrop() {
        QImage backdrop = TestPattern(x.ScreenSize(), 7);
        if (XSession::SharedDesktop() == nullptr) {
            x.SetBackdrop(backdrop);
            x.WaitForScreen(
                [&](const QImage& s) { return s.pixel(7, 90) == backdrop.pixel(7, 90); });
            return backdrop;
        }
        return x.SettledScreenshot();
    }
    XSession x;
};

TEST_F(Select, ADraggedRectangleIsPinnedExactlyWhereItWasWithItsPixels) {
    const QImage backdrop = ShowBackdrop();
    ASSERT_TRUE(x.StartLumora({"--select"}));
    const qulonglong overlay = x.FindWindow();
    ASSERT_NE(overlay, 0u) << "no overlay";
    const QRect wanted(QPoint(100, 120), QSize(241, 143));
    x.DragTo(1, wanted.topLeft(), wanted.topLeft() + QPoint(wanted.width(), wanted.height()));
    x.Key("Return");
    ASSERT_TRUE(x.WaitForWindowGone(overlay)) << "the overlay stayed";
    const qulonglong pin = x.FindWindow();
    ASSERT_NE(pin, 0u) << "nothing pinned";
    EXPECT_EQ(x.WaitForGeometry(pin, wanted), wanted);
    // Inside the one-pixel outline every image window draws on its edge.
    const QRect inside = QRect(QPoint(0, 0), wanted.size()).adjusted(1, 1, -1, -1);
    const QImage expected =
        backdrop.copy(inside.translated(wanted.topLeft())).convertToFormat(QImage::Format_RGB32);
    QImage held;
    XSession::Poll(
        [&] {
            held = x.WindowShot(pin).copy(inside).convertToFormat(QImage::Format_RGB32);
            return Differences(held, expected) == 0;
        },
        10000);
    EXPECT_EQ(Differences(held, expected), 0) << "the pin does not hold the pixels selected";
}

TEST_F(Select, EscEndsWithNothingAndStatusOne) {
    ShowBackdrop();
    ASSERT_TRUE(x.StartLumora({"--select"}));
    ASSERT_NE(x.FindWindow(), 0u) << "no overlay";
    x.Key("Escape");
    EXPECT_EQ(x.WaitForExit(), 1);
}

TEST_F(Select, ShiftCHidesTheWindowAndBringsItBackAsItWas) {
    QTemporaryDir dir;
    const QString file = dir.path() + "/picture.png";
    ASSERT_TRUE(TestPattern(QSize(160, 90), 2).save(file));
    ASSERT_TRUE(x.StartLumora({file}));
    const qulonglong window = x.FindWindow();
    ASSERT_NE(window, 0u);
    QRect before;
    XSession::Poll([&] { return (before = x.Geometry(window)).width() > 0; }, 10000);
    x.MoveTo(before.center().x(), before.center().y());
    x.Press(1);
    x.Release(1);
    ASSERT_TRUE(x.WaitForFocus(window));
    x.Key("shift+c");
    ASSERT_TRUE(x.WaitForWindowGone(window)) << "the window stayed while selecting";
    const qulonglong overlay = x.WaitForNewWindow({});
    ASSERT_NE(overlay, 0u) << "no overlay";
    x.Key("Escape");
    ASSERT_TRUE(x.WaitForWindowGone(overlay));
    EXPECT_TRUE(XSession::Poll([&] { return x.Windows().contains(window); }, 10000));
    EXPECT_EQ(x.WaitForGeometry(window, before), before);
    EXPECT_TRUE(x.Running());
}

}  // namespace
