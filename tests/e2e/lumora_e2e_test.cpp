#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

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

class RealProgram : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.ok()) << "no virtual display"; }

    // Starts with the grey picture and makes its window larger by its bottom-right corner.
    QRect OpenLargeGreyWindow() {
        EXPECT_TRUE(x.StartLumora({GreyPicture(dir)}));
        window = x.FindWindow();
        EXPECT_NE(window, 0u);
        const QRect g = x.Geometry(window);
        x.DragTo(1, g.bottomRight() - QPoint(1, 1), g.bottomRight() + QPoint(250, 200));
        return x.WaitForGeometryChange(window, g);
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
    ASSERT_EQ(g.size(), QSize(61, 61));
    x.DragTo(1, QPoint(g.right() - 1, g.center().y()), QPoint(g.right() + 150, g.center().y()));
    const QRect after = x.WaitForGeometryChange(window, g);
    EXPECT_GT(after.width(), g.width() + 120);
    EXPECT_EQ(after.height(), g.height());
    EXPECT_EQ(after.topLeft(), g.topLeft());
}

TEST_F(RealProgram, DraggingTheInsideMovesTheWindow) {
    const QRect g = OpenLargeGreyWindow();
    ASSERT_GT(g.width(), 200);
    x.DragTo(1, g.center(), g.center() + QPoint(-90, -70));
    const QRect after = x.WaitForGeometryChange(window, g);
    EXPECT_NEAR(after.left(), g.left() - 90, 3);
    EXPECT_NEAR(after.top(), g.top() - 70, 3);
    EXPECT_EQ(after.size(), g.size());
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

TEST_F(RealProgram, AFileThatCannotBeOpenedEndsQuietly) {
    ASSERT_TRUE(x.StartLumora({dir.path() + "/missing.png"}));
    EXPECT_EQ(x.WaitForExit(), 0);
}

}  // namespace
