// Which pixels of an image window a colour key keeps, and the colour under a point.

#include <gtest/gtest.h>

#include <QImage>
#include <QRegion>
#include <ostream>
#include <string>
#include <vector>

#include "window/WindowArithmetic.h"
#include "window/cColorKeyRegion.h"

namespace {

const qint32 kKey = 0x00336699;  // 0x00BBGGRR: red 0x99, green 0x66, blue 0x33
const QRgb kKeyRgb = WindowArithmetic::RgbOf(kKey);
const QRgb kOther = qRgb(1, 2, 3);

// A picture drawn from rows of characters: 'K' the key colour, '.' another colour, 'a' the key
// colour at half alpha (a 32-bit picture keeps it apart from the key).
QImage Draw(const std::vector<std::string>& rows, QImage::Format format) {
    QImage img(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
               QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const char c = rows[y][x];
            img.setPixel(x, y,
                         c == 'K'   ? kKeyRgb
                         : c == 'a' ? (kKeyRgb & 0x00FFFFFF) | 0x80000000
                                    : kOther);
        }
    }
    return img.convertToFormat(format);
}

// The region as rows of characters: '#' kept, '.' cut.
std::vector<std::string> Rows(const QRegion& r, QSize size) {
    std::vector<std::string> rows;
    for (int y = 0; y < size.height(); ++y) {
        std::string row;
        for (int x = 0; x < size.width(); ++x) {
            row += r.contains(QPoint(x, y)) ? '#' : '.';
        }
        rows.push_back(row);
    }
    return rows;
}

struct CutCase {
    const char* what;
    QImage::Format format;
    std::vector<std::string> picture;
    std::vector<std::string> kept;
};
void PrintTo(const CutCase& c, std::ostream* os) {
    *os << c.what;
}

class Cutting : public testing::TestWithParam<CutCase> {};

TEST_P(Cutting, KeepsEveryPixelNotOfTheKey) {
    const CutCase& c = GetParam();
    const QImage picture = Draw(c.picture, c.format);
    const QRegion kept = cColorKeyRegion::NotOfColour(picture, kKey);
    EXPECT_EQ(Rows(kept, picture.size()), c.kept);
    EXPECT_TRUE(QRect(QPoint(), picture.size()).contains(kept.boundingRect()) || kept.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Cutting,
    testing::Values(
        CutCase{"runs and holes",
                QImage::Format_RGB32,
                {"K..KK.....", ".KK......K", "KKKKKKKKKK"},
                {".##..#####", "#..######.", ".........."}},
        // Past eight pixels a row of a colour mask spans bytes: the runs must not break there.
        CutCase{"a run across a byte",
                QImage::Format_RGB32,
                {"KKKKKKK..........KK"},
                {".......##########.."}},
        CutCase{"24 bits", QImage::Format_BGR888, {"K.K", ".K."}, {".#.", "#.#"}},
        CutCase{"alpha tells a 32-bit pixel apart", QImage::Format_ARGB32, {"KaK"}, {".#."}},
        CutCase{"nothing of the key", QImage::Format_RGB32, {"..", ".."}, {"##", "##"}},
        CutCase{"all of the key", QImage::Format_RGB32, {"KK", "KK"}, {"..", ".."}}));

// A 6 x 5 window, a band of 1 round a 4 x 3 picture whose left column is of the key colour.
struct KeptCase {
    const char* what;
    qint32 band;
    std::vector<QRect> whole;
    std::vector<QRect> rings;
    std::vector<std::string> kept;
};
void PrintTo(const KeptCase& c, std::ostream* os) {
    *os << c.what;
}

class Keeping : public testing::TestWithParam<KeptCase> {};

TEST_P(Keeping, TheBandThePictureAndTheControls) {
    const KeptCase& c = GetParam();
    cColorKeyRegion::Surface s;
    s.window = QSize(6, 5);
    s.picture = QRect(1, 1, 4, 3);
    s.band = c.band;
    s.whole = QVector<QRect>(c.whole.begin(), c.whole.end());
    s.rings = QVector<QRect>(c.rings.begin(), c.rings.end());
    cColorKeyRegion region;
    const QImage shown = Draw({"K...", "K...", "K..."}, QImage::Format_RGB32);
    EXPECT_EQ(Rows(region.Kept(kKey, shown, s), s.window), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Keeping,
    testing::Values(KeptCase{"a band of another colour stays",
                             0,
                             {},
                             {},
                             {"######", "#.####", "#.####", "#.####", "######"}},
                    KeptCase{"a band of the key goes",
                             kKey,
                             {},
                             {},
                             {"......", "..###.", "..###.", "..###.", "......"}},
                    KeptCase{"the tip whole over the key",
                             kKey,
                             {QRect(0, 0, 2, 2)},
                             {},
                             {"##....", "#####.", "..###.", "..###.", "......"}},
                    KeptCase{"a frame only as its ring",
                             kKey,
                             {},
                             {QRect(0, 0, 6, 5)},
                             {"######", "#.####", "#.####", "#.####", "######"}}));

TEST(ColorKeyRegion, ThePicturesPartFollowsANewPictureAndANewKey) {
    cColorKeyRegion::Surface s;
    s.window = QSize(2, 1);
    s.picture = QRect(0, 0, 2, 1);
    s.band = kKey;
    cColorKeyRegion region;
    QImage shown = Draw({"K."}, QImage::Format_RGB32);
    EXPECT_EQ(Rows(region.Kept(kKey, shown, s), s.window), std::vector<std::string>{".#"});
    // The window moved a control: the same picture and key cut the same.
    EXPECT_EQ(Rows(region.Kept(kKey, shown, s), s.window), std::vector<std::string>{".#"});
    // The picture was painted on: it is a new picture.
    shown.setPixel(0, 0, kOther);
    shown.setPixel(1, 0, kKeyRgb);
    EXPECT_EQ(Rows(region.Kept(kKey, shown, s), s.window), std::vector<std::string>{"#."});
    // Another key.
    s.band = 0;
    EXPECT_EQ(Rows(region.Kept(WindowArithmetic::ColourRef(kOther), shown, s), s.window),
              std::vector<std::string>{".#"});
}

TEST(ColorKeyRegion, TheColourUnderAPointIsThePicturesOrTheBands) {
    cColorKeyRegion::Surface s;
    s.window = QSize(6, 5);
    s.picture = QRect(1, 1, 4, 3);
    s.band = 0x00010203;
    const QImage shown = Draw({"K...", "....", "...."}, QImage::Format_RGB32);
    EXPECT_EQ(cColorKeyRegion::ColourAt(s, shown, QPoint(1, 1)), kKey);
    EXPECT_EQ(cColorKeyRegion::ColourAt(s, shown, QPoint(2, 1)),
              WindowArithmetic::ColourRef(kOther));
    EXPECT_EQ(cColorKeyRegion::ColourAt(s, shown, QPoint(0, 0)), s.band);
    EXPECT_EQ(cColorKeyRegion::ColourAt(s, shown, QPoint(5, 4)), s.band);
    EXPECT_EQ(cColorKeyRegion::ColourAt(s, QImage(), QPoint(2, 2)), s.band);  // nothing shown
    EXPECT_EQ(cColorKeyRegion::ColourAt(s, shown, QPoint(6, 0)), -1);
    EXPECT_EQ(cColorKeyRegion::ColourAt(s, shown, QPoint(0, -1)), -1);
}

}  // namespace
