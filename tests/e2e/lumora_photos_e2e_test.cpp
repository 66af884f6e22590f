// A photo as a phone stores it: 300 x 200 pixels with the EXIF orientation 6 (taken with the phone
// upright), which stands 200 x 300 with red at its top left and green at its top right.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include "XSession.h"

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);

bool Near(QRgb a, QRgb b) {
    return qAbs(qRed(a) - qRed(b)) < 60 && qAbs(qGreen(a) - qGreen(b)) < 60 &&
           qAbs(qBlue(a) - qBlue(b)) < 60;
}

class Photos : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.ok()) << "no virtual display"; }

    // Writes Option.ini where the program reads it (beside its copy), starts it with the phone
    // photo and waits for its window: the window's rectangle, and whether the screen showed
    // corner at the window's top left.
    QRect OpenPhoto(const QByteArray& options, QRgb corner, bool& shown) {
        QFile ini(x.ProgramFolder() + "/Option.ini");
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(options);
        ini.close();
        EXPECT_TRUE(x.StartLumora({QStringLiteral(LUMORA_TEST_DATA "/jpg_phone6.jpg")}));
        const qulonglong window = x.FindWindow();
        EXPECT_NE(window, 0u);
        const QRect g = x.Geometry(window);
        const QPoint at = g.topLeft() + QPoint(4, 4);
        const QImage shot =
            x.WaitForScreen([&](const QImage& s) { return Near(s.pixel(at), corner); });
        shown = Near(shot.pixel(at), corner);
        return g;
    }

    XSession x;
};

TEST_F(Photos, APhoneSnapOpensUpright) {
    // A file written before AutoRotate existed: the photo still comes upright.
    bool shown = false;
    const QRect g = OpenPhoto("ResizeWhenOpen=True\r\n", kRed, shown);
    EXPECT_EQ(g.size(), QSize(200, 300));
    EXPECT_TRUE(shown) << "no red at the window's top left";
}

TEST_F(Photos, WithAutoRotateOffItOpensAsStored) {
    bool shown = false;
    const QRect g = OpenPhoto("ResizeWhenOpen=True\r\nAutoRotate=False\r\n", kGreen, shown);
    EXPECT_EQ(g.size(), QSize(300, 200));
    EXPECT_TRUE(shown) << "no green at the window's top left";
}

}  // namespace
