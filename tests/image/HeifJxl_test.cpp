// HEIF, AVIF and JPEG XL files through the decode worker, and reduced in this process. Each test
// file is 64 x 48 pixels of four quadrants (red, green / blue, yellow, top row first), encoded
// losslessly; the alpha files are opaque in the top half and at alpha 127 in the bottom one.
// HEIF and AVIF store YCbCr, so their colours may be a step or two off.

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <QImage>
#include <QSize>
#include <cstdlib>

#include "base/NumberedError.h"
#include "image/MFreeImage.h"
#include "image/mdlPictureFile.h"
#include "support/TestSupport.h"

namespace {

struct Case {
    const char* file;
    bool alpha;     // a 32-bit picture with the bottom half at alpha 127
    bool damaged;   // truncated: error 481, no picture
    int tolerance;  // per channel
};

const Case kCases[] = {
    {"heif_quad.heic", false, false, 3}, {"heif_alpha.heic", true, false, 3},
    {"heif_cut.heic", false, true, 0},   {"avif_quad.avif", false, false, 3},
    {"avif_alpha.avif", true, false, 3}, {"avif_cut.avif", false, true, 0},
    {"jxl_quad.jxl", false, false, 0},   {"jxl_alpha.jxl", true, false, 0},
    {"jxl_cut.jxl", false, true, 0},
};

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance &&
           std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

// The quadrant colours at the centre of each quadrant of a picture of any size.
void ExpectQuadrants(const QImage& picture, const Case& c, int tolerance) {
    const int w = picture.width();
    const int h = picture.height();
    const int bottomAlpha = c.alpha ? 127 : 255;
    const struct {
        int x, y;
        QRgb colour;
    } spots[] = {{w / 4, h / 4, qRgba(255, 0, 0, 255)},
                 {w * 3 / 4, h / 4, qRgba(0, 255, 0, 255)},
                 {w / 4, h * 3 / 4, qRgba(0, 0, 255, bottomAlpha)},
                 {w * 3 / 4, h * 3 / 4, qRgba(255, 255, 0, bottomAlpha)}};
    for (const auto& s : spots) {
        const QRgb got = picture.pixel(s.x, s.y);
        EXPECT_TRUE(Near(got, s.colour, tolerance))
            << c.file << " at " << s.x << "," << s.y << ": " << std::hex << got;
    }
}

class HeifJxl : public ::testing::TestWithParam<Case> {};

TEST_P(HeifJxl, DecodesOrRefuses) {
    const Case& c = GetParam();
    const QString path = TestSupport::DataFile(QString::fromLatin1(c.file));

    // In the worker, as a window opens it.
    int error = 0;
    QImage picture;
    try {
        picture = mdlPictureFile::LoadPictureFile(path, true);
    } catch (const NumberedError& e) {
        error = e.number();
    }
    if (c.damaged) {
        EXPECT_EQ(error, 481) << c.file;
        EXPECT_TRUE(picture.isNull()) << c.file;
        return;
    }
    ASSERT_EQ(error, 0) << c.file;
    ASSERT_EQ(picture.size(), QSize(64, 48)) << c.file;
    EXPECT_EQ(picture.hasAlphaChannel(), c.alpha) << c.file;
    ExpectQuadrants(picture, c, c.tolerance);

    // Reduced for a thumbnail, rows as stored: the own size stays the file's.
    QSize own;
    FIBITMAP* reduced = MFreeImage::LoadReducedImageFile(path, 32, &own, false);
    const QImage small = MFreeImage::ImageToPicture(reduced, true);
    EXPECT_EQ(own, QSize(64, 48)) << c.file;
    ASSERT_EQ(small.size(), QSize(32, 24)) << c.file;
    ExpectQuadrants(small, c, c.tolerance + 4);
}

INSTANTIATE_TEST_SUITE_P(Files, HeifJxl, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return QString::fromLatin1(info.param.file)
                                 .replace(QLatin1Char('.'), QLatin1Char('_'))
                                 .toStdString();
                         });

}  // namespace
