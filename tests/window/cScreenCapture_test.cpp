// The screen's part of a screenshot of the whole desktop, as the portal answers it.

#include <gtest/gtest.h>

#include <QImage>
#include <QRect>

#include "support/TestSupport.h"
#include "window/cScreenCapture.h"

namespace {

using TestSupport::PatternImage;
using TestSupport::SamePixels;

// Screen A at (0, 0), 100 x 80 device pixels; screen B right of it, 160 x 120.
const QRect kA(0, 0, 100, 80);
const QRect kB(100, 0, 160, 120);
const QRect kDesktop = kA | kB;

// A desktop shot of size, screen A grey and screen B blue, in the shot's own pixels.
QImage TwoColours(QSize size) {
    QImage shot(size, QImage::Format_RGB32);
    shot.fill(Qt::black);
    const double fx = double(size.width()) / kDesktop.width();
    const double fy = double(size.height()) / kDesktop.height();
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QPoint p(int(x / fx), int(y / fy));
            if (kA.contains(p)) {
                shot.setPixel(x, y, qRgb(128, 128, 128));
            } else if (kB.contains(p)) {
                shot.setPixel(x, y, qRgb(0, 0, 255));
            }
        }
    }
    return shot;
}

bool AllOf(const QImage& img, QRgb colour) {
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if ((img.pixel(x, y) & 0xFFFFFF) != (colour & 0xFFFFFF)) {
                return false;
            }
        }
    }
    return true;
}

TEST(ScreenCapture, AShotOfTheDesktopIsCutToTheScreenPixelForPixel) {
    const QImage shot = PatternImage(kDesktop.width(), kDesktop.height());
    const QImage b = cScreenCapture::ScreenOf(shot, kDesktop, kB);
    EXPECT_TRUE(SamePixels(b, shot.copy(QRect(QPoint(100, 0), kB.size()))));
    const QImage a = cScreenCapture::ScreenOf(shot, kDesktop, kA);
    EXPECT_TRUE(SamePixels(a, shot.copy(kA)));
}

TEST(ScreenCapture, AShotInOtherPixelsIsBroughtToTheScreensSize) {
    for (const QSize size : {QSize(130, 60), QSize(520, 240)}) {
        const QImage b = cScreenCapture::ScreenOf(TwoColours(size), kDesktop, kB);
        EXPECT_EQ(b.size(), kB.size()) << size.width();
        EXPECT_TRUE(AllOf(b, qRgb(0, 0, 255))) << size.width();
        const QImage a = cScreenCapture::ScreenOf(TwoColours(size), kDesktop, kA);
        EXPECT_EQ(a.size(), kA.size()) << size.width();
        EXPECT_TRUE(AllOf(a, qRgb(128, 128, 128))) << size.width();
    }
}

TEST(ScreenCapture, AShotOfTheScreensSizeIsTheScreenAndNothingLeftIsNoPicture) {
    const QImage shot = PatternImage(kB.width(), kB.height());
    EXPECT_TRUE(SamePixels(cScreenCapture::ScreenOf(shot, kDesktop, kB), shot));
    EXPECT_TRUE(cScreenCapture::ScreenOf(QImage(), kDesktop, kB).isNull());
    EXPECT_TRUE(cScreenCapture::ScreenOf(shot, kDesktop, QRect()).isNull());
}

}  // namespace
