#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "image/mdlPhotoShop.h"

namespace {

QSize ExpectedSize() {
    return QSize(
        Rounding::Round32(ScreenUnits::ScreenWidthTwips() / ScreenUnits::TwipsPerPixelX()),
        Rounding::Round32(ScreenUnits::ScreenHeightTwips() / ScreenUnits::TwipsPerPixelY()));
}

void ExpectScreenShot(const QImage& shot, QSize size) {
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), size);
    EXPECT_EQ(shot.format(), QImage::Format_BGR888);
    EXPECT_EQ(shot.bytesPerLine(), mdlPhotoShop::RowBytes(size.width()));
}

TEST(CaptureScreen, GrabsThePrimaryScreenAtItsSizeInPixels) {
    ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
    ExpectScreenShot(mdlPhotoShop::CaptureScreen(), ExpectedSize());
}

// The size comes from the screen's twips: a screen reported smaller gives its top-left part, one
// reported larger gives black beyond the grab.
TEST(CaptureScreen, SizeFollowsTheScreenUnits) {
    const QImage full = mdlPhotoShop::CaptureScreen();
    ASSERT_FALSE(full.isNull());
    ScreenUnits::OverrideForTesting(12, 20, 333, 201);
    ExpectScreenShot(mdlPhotoShop::CaptureScreen(), QSize(333, 201));
    ScreenUnits::OverrideForTesting(15, 15, full.width() + 5, full.height() + 1);
    const QImage larger = mdlPhotoShop::CaptureScreen();
    ExpectScreenShot(larger, full.size() + QSize(5, 1));
    EXPECT_EQ(larger.pixel(full.width() + 4, 0) & 0xFFFFFF, 0u);
    ScreenUnits::OverrideForTesting(0, 0);
}

}  // namespace
