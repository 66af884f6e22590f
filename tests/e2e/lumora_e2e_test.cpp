#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>

#include "XSession.h"

namespace {

// A plain grey picture: anything drawn over it (crop rectangle, outline) stands out.
QString GreyPicture(const QTemporaryDir& dir) {
    QImage img(240, 180, QImage::Format_RGB32);
    img.fill(QColor(128, 128, 128));
    const QString path = dir.path() + "/灰色 图片.png";
    img.save(path);
    return path;
}

bool IsGrey(QRgb c) {
    return qRed(c) == 128 && qGreen(c) == 128 && qBlue(c) == 128;
}

const QRgb kTop = qRgb(200, 40, 40);
const QRgb kBottom = qRgb(40, 80, 200);

// Top half one colour, bottom half another.
QString TwoTonePicture(const QTemporaryDir& dir) {
    QImage img(240, 180, QImage::Format_RGB32);
    img.fill(kTop);
    for (int y = img.height() / 2; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            img.setPixel(x, y, kBottom);
        }
    }
    const QString path = dir.path() + "/two-tone.png";
    img.save(path);
    return path;
}

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 8 && std::abs(qGreen(a) - qGreen(b)) <= 8 &&
           std::abs(qBlue(a) - qBlue(b)) <= 8;
}

class RealProgram : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.ok()) << "no virtual display"; }

    // Starts with the picture (the grey one unless told) and makes its window larger by its
    // bottom-right corner, which also gives it the keyboard focus.
    QRect OpenLargeGreyWindow(const QString& picture = QString()) {
        EXPECT_TRUE(x.StartLumora({picture.isEmpty() ? GreyPicture(dir) : picture}));
        window = x.FindWindow();
        EXPECT_NE(window, 0u);
        const QRect g = x.Geometry(window);
        x.DragTo(1, g.bottomRight() - QPoint(1, 1), g.bottomRight() + QPoint(250, 200));
        return x.WaitForGeometry(window, QRect(g.topLeft(), g.size() + QSize(251, 201)));
    }

    XSession x;
    QTemporaryDir dir;
    qulonglong window = 0;
};

TEST_F(RealProgram, NoArgumentShowsTheEmptyWindowAtItsDesignSize) {
    ASSERT_TRUE(x.StartLumora({}));
    window = x.FindWindow();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(x.Geometry(window).size(), QSize(61, 61));  // no border by default
}

TEST_F(RealProgram, DraggingTheRightEdgeWidensTheWindow) {
    ASSERT_TRUE(x.StartLumora({GreyPicture(dir)}));
    window = x.FindWindow();
    ASSERT_NE(window, 0u);
    const QRect g = x.Geometry(window);
    ASSERT_EQ(g.size(), QSize(240, 180));  // the picture's own size
    x.DragTo(1, QPoint(g.right() - 1, g.center().y()), QPoint(g.right() + 150, g.center().y()));
    const QRect wider(g.topLeft(), g.size() + QSize(151, 0));
    EXPECT_EQ(x.WaitForGeometry(window, wider), wider);
}

TEST_F(RealProgram, DraggingTheInsideMovesTheWindow) {
    const QRect g = OpenLargeGreyWindow();
    ASSERT_GT(g.width(), 200);
    x.DragTo(1, g.center(), g.center() + QPoint(-90, -70));
    const QRect moved = g.translated(-90, -70);
    EXPECT_EQ(x.WaitForGeometry(window, moved), moved);
}

TEST_F(RealProgram, RightDragDrawsACropRectangleOnScreen) {
    const QRect g = OpenLargeGreyWindow();
    ASSERT_GT(g.width(), 200);
    ASSERT_GT(g.height(), 150);
    const QPoint from = g.topLeft() + QPoint(60, 50);
    const QPoint to = from + QPoint(120, 80);
    x.DragTo(3, from, to, /*release=*/false);
    const QImage shot = x.Screenshot();
    x.Release(3);
    ASSERT_FALSE(shot.isNull());
    // the rectangle's border runs along its left and bottom edges; inside and outside stay grey
    EXPECT_FALSE(IsGrey(shot.pixel(from.x(), from.y() + 40)));
    EXPECT_FALSE(IsGrey(shot.pixel(from.x() + 60, to.y() - 1)));
    EXPECT_TRUE(IsGrey(shot.pixel(from.x() + 60, from.y() + 40)));
    EXPECT_TRUE(IsGrey(shot.pixel(from.x() - 10, from.y() + 40)));
    EXPECT_TRUE(IsGrey(shot.pixel(to.x() + 10, from.y() + 40)));
}

TEST_F(RealProgram, EscEndsTheProgramWithItsLastWindow) {
    ASSERT_TRUE(x.StartLumora({GreyPicture(dir)}));
    window = x.FindWindow();
    ASSERT_NE(window, 0u);
    const QRect g = x.Geometry(window);
    x.MoveTo(g.center().x(), g.center().y());
    x.Key("Escape");
    EXPECT_EQ(x.WaitForExit(), 0);
}

// A file named alone that opens no window ends the program with status 1, whether it is missing
// (known at once) or turns out not to be a picture (known once the decoder has tried it).
TEST_F(RealProgram, AFileThatCannotBeOpenedEndsWithStatusOne) {
    ASSERT_TRUE(x.StartLumora({dir.path() + "/missing.png"}));
    EXPECT_EQ(x.WaitForExit(), 1);
    QFile damaged(dir.path() + "/damaged.png");
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("\x89PNG\r\n\x1a\n no picture");
    damaged.close();
    ASSERT_TRUE(x.StartLumora({damaged.fileName()}));
    EXPECT_EQ(x.WaitForExit(), 1);
}

TEST_F(RealProgram, WheelScalesThePictureAboutThePointer) {
    const QRect g = OpenLargeGreyWindow();
    ASSERT_GT(g.width(), 200);
    const QPoint at = g.topLeft() + QPoint(g.width() / 3, g.height() / 4);
    x.MoveTo(at.x(), at.y());
    QRect before = g;
    int level = 0;
    // The picture's point under the pointer, as a fraction of its sides.
    const double u = double(at.x() - g.x()) / g.width();
    const double v = double(at.y() - g.y()) / g.height();
    for (const int notch : {1, 1, -1}) {
        x.Wheel(notch);
        const QRect after = x.WaitForGeometryChange(window, before);
        level += notch;
        // Each side is the size before the first notch times 1.1 per notch, rounded once (ties
        // to even), never notch by notch; no band by default.
        const double f = std::pow(1.1, level);
        EXPECT_EQ(after.width(), int(std::nearbyint(g.width() * f))) << level;
        EXPECT_EQ(after.height(), int(std::nearbyint(g.height() * f))) << level;
        // That point is still under the pointer, within one pixel.
        EXPECT_NEAR(after.x(), at.x() - u * after.width(), 1.0) << level;
        EXPECT_NEAR(after.y(), at.y() - v * after.height(), 1.0) << level;
        before = after;
    }
}

TEST_F(RealProgram, CtrlWheelStepsTheOpacityByTenPercent) {
    const QRect g = OpenLargeGreyWindow();
    x.MoveTo(g.center().x(), g.center().y());
    EXPECT_DOUBLE_EQ(x.Opacity(window), 1.0);
    const auto opacityNear = [&](double want) {
        return XSession::Poll([&] { return std::abs(x.Opacity(window) - want) < 0.003; }, 5000);
    };
    x.Wheel(-2, "ctrl");
    EXPECT_TRUE(opacityNear(204 / 255.0)) << x.Opacity(window);  // 80 %
    x.Wheel(1, "ctrl");
    EXPECT_TRUE(opacityNear(230 / 255.0)) << x.Opacity(window);  // 90 %
    EXPECT_EQ(x.Geometry(window), g);                            // the size is the plain wheel's
}

TEST_F(RealProgram, NOpensTheNewWindowALittleBelowRightOfItsOwnOnTheScreen) {
    ASSERT_TRUE(x.StartLumora({GreyPicture(dir)}));
    window = x.FindWindow();
    ASSERT_NE(window, 0u);
    const QRect g = x.Geometry(window);
    x.MoveTo(g.center().x(), g.center().y());
    x.Press(1);
    x.Release(1);
    ASSERT_TRUE(x.WaitForFocus(window));
    const QList<qulonglong> known = x.Windows();
    x.Key("n");
    const qulonglong second = x.WaitForNewWindow(known);
    ASSERT_NE(second, 0u);
    const QRect s = x.Geometry(second);
    EXPECT_GT(s.left(), g.left());
    EXPECT_GT(s.top(), g.top());
    EXPECT_LE(s.left() - g.left(), 20);
    EXPECT_LE(s.top() - g.top(), 20);
    EXPECT_TRUE(QRect(QPoint(), x.ScreenSize()).contains(s));
}

TEST_F(RealProgram, CtrlCThenCtrlVInAnotherWindowCopiesThePicture) {
    const QRect g = OpenLargeGreyWindow(TwoTonePicture(dir));
    ASSERT_GT(g.height(), 150);
    ASSERT_TRUE(x.WaitForFocus(window));
    x.Key("ctrl+c");
    const QList<qulonglong> known = x.Windows();
    x.Key("n");  // an empty window, on top of the first
    const qulonglong second = x.WaitForNewWindow(known);
    ASSERT_NE(second, 0u);
    QRect s = x.Geometry(second);
    x.MoveTo(s.center().x(), s.center().y());
    x.Press(1);
    x.Release(1);
    ASSERT_TRUE(x.WaitForFocus(second));
    const QPoint top(s.center().x(), s.top() + s.height() / 4);
    const QPoint bottom(s.center().x(), s.bottom() - s.height() / 4);
    EXPECT_FALSE(Near(x.Screenshot().pixel(top), kTop));  // the placeholder before
    x.Key("ctrl+v");
    // The picture comes at its own size, the first window's: the second grows to it.
    s = x.WaitForGeometryChange(second, s);
    ASSERT_EQ(s.size(), g.size());
    const QPoint pastedTop(s.center().x(), s.top() + s.height() / 4);
    const QPoint pastedBottom(s.center().x(), s.bottom() - s.height() / 4);
    const QImage shot =
        x.WaitForScreen([&](const QImage& img) { return Near(img.pixel(pastedTop), kTop); });
    EXPECT_TRUE(Near(shot.pixel(pastedTop), kTop));
    EXPECT_TRUE(Near(shot.pixel(pastedBottom), kBottom));
}

}  // namespace
