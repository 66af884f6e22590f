// Photos taken with the camera turned, through the decode worker as the window and the browser ask
// for them. The files (tests/data/jpg_exif*.jpg, written by tests/support/make_exif_jpegs.py) are,
// upright, 64 x 32 pixels of four flat quadrants: red top left, green top right, blue bottom
// left, white bottom right; each stores the pixels a camera would have stored for its orientation.

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include "decode/cDecodePool.h"
#include "support/TestSupport.h"

using Lane = cDecodePool::Lane;
using Outcome = cDecodePool::Outcome;
using TestSupport::DataFile;

namespace {

// The quadrant colour of a pixel as a letter (JPEG moves colours a little): R, G, B, W, or '?'.
char Quadrant(QRgb c) {
    const auto near = [](int v, int target) { return qAbs(v - target) < 60; };
    const int r = qRed(c);
    const int g = qGreen(c);
    const int b = qBlue(c);
    if (near(r, 255) && near(g, 255) && near(b, 255)) {
        return 'W';
    }
    if (near(r, 255) && near(g, 0) && near(b, 0)) {
        return 'R';
    }
    if (near(r, 0) && near(g, 255) && near(b, 0)) {
        return 'G';
    }
    if (near(r, 0) && near(g, 0) && near(b, 255)) {
        return 'B';
    }
    return '?';
}

// The picture's corners, two pixels in: top left, top right, bottom left, bottom right.
std::string Corners(const QImage& p) {
    if (p.width() < 5 || p.height() < 5) {
        return "small";
    }
    const int r = p.width() - 3;
    const int b = p.height() - 3;
    return {Quadrant(p.pixel(2, 2)), Quadrant(p.pixel(r, 2)), Quadrant(p.pixel(2, b)),
            Quadrant(p.pixel(r, b))};
}

struct OrientationCase {
    const char* file;
    QSize upright;  // size and corners with AutoRotate on
    const char* uprightCorners;
    QSize stored;  // size and corners as the file stores them
    const char* storedCorners;
};

void PrintTo(const OrientationCase& c, std::ostream* os) {
    *os << c.file;
}

const QSize kWide(64, 32);
const QSize kTall(32, 64);

class Orientation : public testing::TestWithParam<OrientationCase> {
protected:
    static cDecodePool::Answer Decode(int maxSide, bool upright) {
        return cDecodePool::Shared().Decode(DataFile(GetParam().file), Lane::Interactive, maxSide,
                                            upright);
    }
};

TEST_P(Orientation, UprightOnlyWhenAskedAndTheOwnSizeFollows) {
    const OrientationCase& c = GetParam();
    const cDecodePool::Answer upright = Decode(0, true);
    ASSERT_EQ(upright.outcome, Outcome::Loaded);
    EXPECT_EQ(upright.picture.size(), c.upright);
    EXPECT_EQ(upright.ownSize, c.upright);
    EXPECT_EQ(Corners(upright.picture), c.uprightCorners);

    const cDecodePool::Answer stored = Decode(0, false);
    ASSERT_EQ(stored.outcome, Outcome::Loaded);
    EXPECT_EQ(stored.picture.size(), c.stored);
    EXPECT_EQ(stored.ownSize, c.stored);
    EXPECT_EQ(Corners(stored.picture), c.storedCorners);
}

TEST_P(Orientation, ThumbnailsStandLikeThePicture) {
    // Decoded at half size by the library's size hint, scaled to 24 on the longer side, turned.
    const OrientationCase& c = GetParam();
    const cDecodePool::Answer thumbnail = Decode(24, true);
    ASSERT_EQ(thumbnail.outcome, Outcome::Loaded);
    EXPECT_EQ(thumbnail.picture.size(), c.upright * 3 / 8);
    EXPECT_EQ(thumbnail.ownSize, c.upright) << "the own size is the full picture's";
    EXPECT_EQ(Corners(thumbnail.picture), c.uprightCorners);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Orientation,
    testing::Values(
        // orientations 1 to 8: odd ones in Intel byte order, even ones in Motorola
        OrientationCase{"jpg_exif1.jpg", kWide, "RGBW", kWide, "RGBW"},
        OrientationCase{"jpg_exif2.jpg", kWide, "RGBW", kWide, "GRWB"},  // mirrored
        OrientationCase{"jpg_exif3.jpg", kWide, "RGBW", kWide, "WBGR"},  // upside down
        OrientationCase{"jpg_exif4.jpg", kWide, "RGBW", kWide, "BWRG"},  // mirrored up-down
        OrientationCase{"jpg_exif5.jpg", kWide, "RGBW", kTall, "RBGW"},  // transposed
        OrientationCase{"jpg_exif6.jpg", kWide, "RGBW", kTall, "GWRB"},  // a quarter clockwise
        OrientationCase{"jpg_exif7.jpg", kWide, "RGBW", kTall, "WGBR"},  // transverse
        OrientationCase{"jpg_exif8.jpg", kWide, "RGBW", kTall, "BRWG"},  // a quarter back
        // damaged or lying blocks over the pixels of orientation 6: as stored, turned or not
        OrientationCase{"jpg_exif_value0.jpg", kTall, "GWRB", kTall, "GWRB"},
        OrientationCase{"jpg_exif_value9.jpg", kTall, "GWRB", kTall, "GWRB"},
        OrientationCase{"jpg_exif_value255.jpg", kTall, "GWRB", kTall, "GWRB"},
        OrientationCase{"jpg_exif_long.jpg", kTall, "GWRB", kTall, "GWRB"},     // 6 as a LONG
        OrientationCase{"jpg_exif_two.jpg", kTall, "GWRB", kTall, "GWRB"},      // two SHORTs
        OrientationCase{"jpg_exif_none.jpg", kTall, "GWRB", kTall, "GWRB"},     // no SHORT
        OrientationCase{"jpg_exif_cut.jpg", kTall, "GWRB", kTall, "GWRB"},      // ends in the entry
        OrientationCase{"jpg_exif_header.jpg", kTall, "GWRB", kTall, "GWRB"}),  // no TIFF header
    [](const testing::TestParamInfo<OrientationCase>& info) {
        std::string name = info.param.file;
        return name.substr(4, name.size() - 8);  // without "jpg_" and ".jpg"
    });

TEST(Orientation, GreyPhotosStayGreyWithTheirTable) {
    const cDecodePool::Answer a =
        cDecodePool::Shared().Decode(DataFile("jpg_exif8_gray.jpg"), Lane::Interactive, 0, true);
    ASSERT_EQ(a.outcome, Outcome::Loaded);
    EXPECT_EQ(a.picture.format(), QImage::Format_Indexed8);
    ASSERT_EQ(a.picture.size(), kWide);
    EXPECT_TRUE(a.picture.isGrayscale());
    const QImage& p = a.picture;
    const std::vector<int> corners{qGray(p.pixel(2, 2)), qGray(p.pixel(61, 2)),
                                   qGray(p.pixel(2, 29)), qGray(p.pixel(61, 29))};
    const std::vector<int> upright{0, 85, 170, 255};
    for (size_t i = 0; i < corners.size(); ++i) {
        EXPECT_NEAR(corners[i], upright[i], 12) << "corner " << i;
    }
}

}  // namespace
