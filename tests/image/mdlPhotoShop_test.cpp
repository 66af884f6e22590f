#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <vector>

#include "base/NumberedError.h"
#include "base/Rounding.h"
#include "image/mdlPhotoShop.h"
#include "support/TestSupport.h"

namespace {

using namespace mdlPhotoShop;
using TestSupport::PatternImage;
using TestSupport::SamePixels;

constexpr qint32 kMax = std::numeric_limits<qint32>::max();
constexpr qint32 kMin = std::numeric_limits<qint32>::min();

// Every byte of a picture's rows, padding included.
QByteArray AllBytes(const QImage& img) {
    return QByteArray(reinterpret_cast<const char*>(img.constBits()), int(img.sizeInBytes()));
}

// A 24-bit pattern picture whose padding bytes are not 0, as a caller's picture may have.
QImage DirtyPattern(int w, int h) {
    QImage img = PatternImage(w, h);
    for (int y = 0; y < h; ++y) {
        std::memset(img.scanLine(y) + 3 * w, 0xAB, size_t(img.bytesPerLine() - 3 * w));
    }
    return img;
}

QRgb Rgb(const QImage& img, int x, int y) {
    return img.pixel(x, y) & 0xFFFFFF;
}

int ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const NumberedError& e) {
        EXPECT_EQ(e.source(), QStringLiteral("mdlPhotoShop"));
        return e.number();
    }
    return 0;
}

// Plain per-pixel definitions, to hold the row and tile code against.
QImage ReferenceRotate(const QImage& src, bool clockwise) {
    const int W = src.width();
    const int H = src.height();
    QImage out(H, W, QImage::Format_RGB32);
    for (int y = 0; y < W; ++y) {
        for (int x = 0; x < H; ++x) {
            out.setPixel(x, y, clockwise ? src.pixel(y, H - 1 - x) : src.pixel(W - 1 - y, x));
        }
    }
    return out;
}

quint8 ReferenceGrey(unsigned b, unsigned g, unsigned r) {
    const double v = b * 0.11 + g * 0.59 + r * 0.30;
    return quint8(Rounding::RoundHalfEven(v));
}

// ---- row layout ----

struct RowCase {
    qint32 w;
    qint32 bytes;
    qint32 padding;
};
class RowBytesTest : public testing::TestWithParam<RowCase> {};

TEST_P(RowBytesTest, PadsRowsToFourBytes) {
    EXPECT_EQ(RowBytes(GetParam().w), GetParam().bytes);
    EXPECT_EQ(RowPadding(GetParam().w), GetParam().padding);
}

INSTANTIATE_TEST_SUITE_P(Widths, RowBytesTest,
                         testing::Values(RowCase{0, 0, 0}, RowCase{1, 4, 1}, RowCase{2, 8, 2},
                                         RowCase{3, 12, 3}, RowCase{4, 12, 0}, RowCase{5, 16, 1},
                                         RowCase{7, 24, 3}, RowCase{6000, 18000, 0},
                                         RowCase{715827881, 2147483644, 1}));

TEST(RowBytes, OverflowOfThreeTimesWidthIsError6) {
    for (qint32 w : {715827882, kMax, kMin}) {
        EXPECT_EQ(ErrorOf([&] { RowBytes(w); }), 6) << w;
        EXPECT_EQ(ErrorOf([&] { RowPadding(w); }), 6) << w;
    }
}

// ---- every operation's result: 24-bit rows, zero padding, source untouched ----

struct Operation {
    const char* name;
    std::function<QImage(const QImage&)> run;
};
const Operation kOperations[] = {
    {"CopyPicture24", [](const QImage& p) { return CopyPicture24(p); }},
    {"ScalePicture", [](const QImage& p) { return ScalePicture(p, p.width() + 2, p.height()); }},
    {"CopyRegion", [](const QImage& p) { return CopyRegion(p, -1, 1, p.width(), p.height()); }},
    {"Rotate90", [](const QImage& p) { return RotatePicture(p, 90); }},
    {"RotateMinus90", [](const QImage& p) { return RotatePicture(p, -90); }},
    {"Rotate180", [](const QImage& p) { return RotatePicture(p, 180); }},
    {"FlipX", [](const QImage& p) { return FlipPicture(p, QStringLiteral("X")); }},
    {"FlipY", [](const QImage& p) { return FlipPicture(p, QStringLiteral("Y")); }},
    {"FlipOther", [](const QImage& p) { return FlipPicture(p, QStringLiteral("x")); }},
    {"FillBlack", [](const QImage& p) { return FillBlack(p, 0, 0, 1, 1); }},
    {"Gray", [](const QImage& p) { return GrayPicture(p); }},
    {"LoadAndRebuild",
     [](const QImage& p) {
         LoadPixels(p);
         QImage out = PixelsToPicture();
         ClearPixels();
         return out;
     }},
};

class LayoutTest : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(LayoutTest, ResultRowsArePaddedWithZeroAndSourceIsUntouched) {
    const Operation& op = kOperations[std::get<0>(GetParam())];
    const int w = std::get<1>(GetParam());
    const QImage src = DirtyPattern(w, 3);
    const QByteArray before = AllBytes(src);
    const QImage out = op.run(src);
    ASSERT_FALSE(out.isNull()) << op.name;
    EXPECT_EQ(out.format(), QImage::Format_BGR888) << op.name;
    EXPECT_EQ(out.bytesPerLine(), RowBytes(out.width())) << op.name;
    EXPECT_NE(out.constBits(), src.constBits()) << op.name;
    for (int y = 0; y < out.height(); ++y) {
        for (int i = 3 * out.width(); i < out.bytesPerLine(); ++i) {
            ASSERT_EQ(out.constScanLine(y)[i], 0) << op.name << " row " << y << " byte " << i;
        }
    }
    EXPECT_EQ(AllBytes(src), before) << op.name;
    EXPECT_TRUE(PixelsToPicture().isNull()) << "the pixel buffer is left empty";
}

// Widths 1..4 give padding 1, 2, 3 and 0.
INSTANTIATE_TEST_SUITE_P(OperationsAndWidths, LayoutTest,
                         testing::Combine(testing::Range(0, int(std::size(kOperations))),
                                          testing::Values(1, 2, 3, 4, 7)),
                         [](const testing::TestParamInfo<std::tuple<int, int>>& i) {
                             return std::string(kOperations[std::get<0>(i.param)].name) + "_w" +
                                    std::to_string(std::get<1>(i.param));
                         });

// ---- rotation and flips ----

TEST(RotatePicture, ThreeByTwoCorners) {
    const QImage src = PatternImage(3, 2);
    const QImage cw = RotatePicture(src, 90);
    ASSERT_EQ(cw.size(), QSize(2, 3));
    EXPECT_EQ(Rgb(cw, 0, 0), Rgb(src, 0, 1));  // top-left was bottom-left
    EXPECT_EQ(Rgb(cw, 1, 0), Rgb(src, 0, 0));
    EXPECT_EQ(Rgb(cw, 0, 2), Rgb(src, 2, 1));
    const QImage ccw = RotatePicture(src, -90);
    ASSERT_EQ(ccw.size(), QSize(2, 3));
    EXPECT_EQ(Rgb(ccw, 0, 0), Rgb(src, 2, 0));  // top-left was top-right
    EXPECT_EQ(Rgb(ccw, 1, 2), Rgb(src, 0, 1));
}

TEST(RotatePicture, OnePixelStaysAndOtherAnglesLeavePixels) {
    const QImage one = PatternImage(1, 1);
    for (qint16 angle : {90, -90}) {
        const QImage out = RotatePicture(one, angle);
        ASSERT_EQ(out.bytesPerLine(), 4);
        EXPECT_EQ(AllBytes(out), AllBytes(one).left(3) + QByteArray(1, '\0'));
        EXPECT_EQ(AllBytes(FlipPicture(one, angle == 90 ? "X" : "Y")), AllBytes(out));
    }
    const QImage src = PatternImage(5, 3);
    for (qint16 angle : {0, 180, 270, -270, 91}) {
        EXPECT_TRUE(SamePixels(RotatePicture(src, angle), src)) << angle;
    }
}

// Sizes across the tile (64) and band (256) edges, odd widths, single rows and columns, and one
// picture large enough for the huge-page path.
class RotateSizeTest : public testing::TestWithParam<QSize> {};

TEST_P(RotateSizeTest, MatchesDefinitionAndRoundTrips) {
    const QImage src = PatternImage(GetParam().width(), GetParam().height());
    const QImage cw = RotatePicture(src, 90);
    const QImage ccw = RotatePicture(src, -90);
    EXPECT_TRUE(SamePixels(cw, ReferenceRotate(src, true)));
    EXPECT_TRUE(SamePixels(ccw, ReferenceRotate(src, false)));
    const QByteArray exact = AllBytes(CopyPicture24(src));  // zero padding, unlike src's
    EXPECT_EQ(AllBytes(RotatePicture(cw, -90)), exact);
    EXPECT_EQ(AllBytes(RotatePicture(ccw, 90)), exact);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RotateSizeTest,
                         testing::Values(QSize(2, 3), QSize(1, 129), QSize(129, 1), QSize(65, 64),
                                         QSize(130, 67), QSize(257, 131), QSize(901, 877)));

TEST(FlipPicture, MovesRowsAndColumns) {
    for (int w : {1, 2, 5, 16, 17, 31, 130}) {
        const QImage src = PatternImage(w, 4);
        const QImage x = FlipPicture(src, QStringLiteral("X"));
        const QImage y = FlipPicture(src, QStringLiteral("Y"));
        for (int row = 0; row < 4; ++row) {
            for (int col = 0; col < w; ++col) {
                ASSERT_EQ(Rgb(x, col, row), Rgb(src, col, 3 - row)) << w;
                ASSERT_EQ(Rgb(y, col, row), Rgb(src, w - 1 - col, row)) << w;
            }
        }
    }
    const QImage src = PatternImage(3, 2);
    EXPECT_TRUE(SamePixels(FlipPicture(src, QStringLiteral("y")), src));  // exact comparison
    EXPECT_TRUE(SamePixels(FlipPicture(src, QString()), src));
}

// ---- black fill ----

TEST(FillBlack, BlackensExactlyTheRectangle) {
    const QImage src = PatternImage(5, 4);
    struct Rect {
        int x, y, w, h;
    };
    for (const Rect r : {Rect{0, 0, 1, 1}, Rect{4, 3, 1, 1}, Rect{1, 2, 3, 2}, Rect{0, 0, 5, 4}}) {
        const QImage out = FillBlack(src, r.x, r.y, r.w, r.h);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 5; ++x) {
                const bool inside = x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
                ASSERT_EQ(Rgb(out, x, y), inside ? 0u : Rgb(src, x, y)) << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(SamePixels(FillBlack(src, 2, 2, 0, 5), src));  // empty: nothing to blacken
    EXPECT_TRUE(SamePixels(FillBlack(src, -9, -9, 5, -1), src));
}

TEST(FillBlack, RectangleOutsideIsError9AndLeavesThePicture) {
    const QImage src = PatternImage(5, 4);
    const QByteArray before = AllBytes(src);
    struct Rect {
        qint32 x, y, w, h;
    };
    for (const Rect r : {Rect{-1, 0, 1, 1}, Rect{0, -1, 1, 1}, Rect{4, 0, 2, 1}, Rect{0, 3, 1, 2},
                         Rect{kMax, 0, 1, 1}, Rect{0, 0, kMax, 1}, Rect{1, 1, 1, kMax}}) {
        EXPECT_EQ(ErrorOf([&] { FillBlack(src, r.x, r.y, r.w, r.h); }), 9) << r.x << "," << r.y;
        EXPECT_TRUE(PixelsToPicture().isNull());
    }
    EXPECT_EQ(AllBytes(src), before);
    // A palette picture goes through a converted buffer: same rule.
    QImage palette(3, 3, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(1, 2, 3)});
    palette.fill(0);
    EXPECT_EQ(ErrorOf([&] { FillBlack(palette, 1, 1, 3, 1); }), 9);
    EXPECT_EQ(Rgb(FillBlack(palette, 2, 2, 1, 1), 2, 2), 0u);
}

// ---- grey ----

struct GreyCase {
    int b, g, r, grey;
};
class GreyTest : public testing::TestWithParam<GreyCase> {};

TEST_P(GreyTest, KnownColours) {
    const GreyCase c = GetParam();
    // Wide enough to pass through the 16-pixel loop and the single-pixel tail.
    QImage src(21, 1, QImage::Format_BGR888);
    for (int x = 0; x < 21; ++x) {
        uchar* p = src.scanLine(0) + 3 * x;
        p[0] = uchar(c.b);
        p[1] = uchar(c.g);
        p[2] = uchar(c.r);
    }
    const QImage out = GrayPicture(src);
    for (int x = 0; x < 21; ++x) {
        const uchar* p = out.constScanLine(0) + 3 * x;
        ASSERT_EQ(p[0], c.grey) << x;
        ASSERT_EQ(p[1], c.grey);
        ASSERT_EQ(p[2], c.grey);
    }
}

INSTANTIATE_TEST_SUITE_P(Colours, GreyTest,
                         testing::Values(GreyCase{255, 255, 255, 255}, GreyCase{0, 0, 0, 0},
                                         GreyCase{0, 0, 255, 76}, GreyCase{0, 255, 0, 150},
                                         GreyCase{255, 0, 0, 28},
                                         // exactly 27.5 and 28.5, but the double sum lands
                                         // just below and just above the half
                                         GreyCase{0, 10, 72, 27}, GreyCase{192, 12, 1, 29},
                                         // halves the double sum hits exactly: to even
                                         GreyCase{50, 0, 0, 6}, GreyCase{0, 0, 15, 4},
                                         GreyCase{150, 0, 0, 16}, GreyCase{0, 50, 0, 30}));

// Every colour once, against the double-precision formula: once in a picture 4099 wide (the
// 16-pixel loop plus a 3-pixel tail on each row), once 15 wide (the single-pixel loop only).
TEST(GrayPicture, EveryColourMatchesTheDoubleFormula) {
    std::vector<quint8> expected(size_t(1) << 24);
    for (quint32 c = 0; c < (1u << 24); ++c) {
        expected[c] = ReferenceGrey(c & 0xFF, (c >> 8) & 0xFF, c >> 16);
    }
    for (int w : {4099, 15}) {
        const int h = int(((1 << 24) + w - 1) / w);
        QImage src(w, h, QImage::Format_BGR888);
        quint32 c = 0;
        for (int y = 0; y < h; ++y) {
            uchar* p = src.scanLine(y);
            for (int x = 0; x < w; ++x, p += 3, c = (c + 1) & 0xFFFFFF) {
                p[0] = uchar(c);
                p[1] = uchar(c >> 8);
                p[2] = uchar(c >> 16);
            }
        }
        const QImage out = GrayPicture(src);
        ASSERT_FALSE(out.isNull());
        long wrong = 0;
        c = 0;
        for (int y = 0; y < h; ++y) {
            const uchar* p = out.constScanLine(y);
            for (int x = 0; x < w; ++x, p += 3, c = (c + 1) & 0xFFFFFF) {
                wrong += (p[0] != expected[c] || p[1] != p[0] || p[2] != p[0]) ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0) << "width " << w;
    }
}

// ---- other source formats ----

struct FormatCase {
    const char* name;
    std::function<QImage()> make;
};

QImage Palette(QImage::Format f, int w, int h, const QList<QRgb>& table) {
    QImage img(w, h, f);
    img.setColorTable(table);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            img.setPixel(x, y, uint((x * 3 + y) % (f == QImage::Format_Indexed8 ? 5 : 2)));
        }
    }
    return img;
}

const FormatCase kFormats[] = {
    {"Indexed8",
     [] {
         return Palette(QImage::Format_Indexed8, 7, 3,
                        {0xFF102030, 0x80405060, 0xFFFFFFFF, 0xFF000000, 0xFFA0B0C0});
     }},
    {"Mono",
     [] {
         return Palette(QImage::Format_Mono, 13, 3, {0xFF112233, 0xFFCCDDEE});
     }},
    {"MonoLSB",
     [] {
         return Palette(QImage::Format_MonoLSB, 13, 3, {0xFF112233, 0xFFCCDDEE});
     }},
    {"RGB16", [] { return PatternImage(7, 3, QImage::Format_RGB16); }},
    {"RGB555", [] { return PatternImage(7, 3, QImage::Format_RGB555); }},
    {"RGB888", [] { return PatternImage(7, 3, QImage::Format_RGB888); }},
    {"RGB32", [] { return PatternImage(7, 3, QImage::Format_RGB32); }},
    {"ARGB32", [] { return PatternImage(7, 3, QImage::Format_ARGB32); }},
    {"RGBA8888", [] { return PatternImage(7, 3, QImage::Format_RGBA8888); }},
    {"Grayscale8", [] { return PatternImage(7, 3, QImage::Format_Grayscale8); }},
};

class FormatTest : public testing::TestWithParam<int> {};

TEST_P(FormatTest, ComesOutAs24BitsWithTheSameColours) {
    const QImage src = kFormats[GetParam()].make();
    const QImage copy = CopyPicture24(src);
    EXPECT_EQ(copy.format(), QImage::Format_BGR888);
    EXPECT_TRUE(SamePixels(copy, src));
    EXPECT_TRUE(SamePixels(FlipPicture(FlipPicture(src, "Y"), "Y"), src));
    EXPECT_TRUE(SamePixels(RotatePicture(src, 90), ReferenceRotate(src, true)));
    EXPECT_TRUE(SamePixels(CopyRegion(src, 1, 1, 3, 2), copy.copy(1, 1, 3, 2)));
    EXPECT_TRUE(SamePixels(GrayPicture(src), GrayPicture(copy)));
    EXPECT_TRUE(SamePixels(ScalePicture(src, 14, 6), ScalePicture(copy, 14, 6)));
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatTest, testing::Range(0, int(std::size(kFormats))),
                         [](const testing::TestParamInfo<int>& i) {
                             return std::string(kFormats[i.param].name);
                         });

TEST(Formats, ThirtyTwoBitsGiveTheStoredColourBytes) {
    QImage pm(2, 1, QImage::Format_ARGB32_Premultiplied);
    reinterpret_cast<quint32*>(pm.bits())[0] = 0x80402010;  // half-transparent, premultiplied
    reinterpret_cast<quint32*>(pm.bits())[1] = 0x00000000;
    const QImage out = CopyPicture24(pm);
    EXPECT_EQ(AllBytes(out).left(6), QByteArray("\x10\x20\x40\x00\x00\x00", 6));
    QImage argb(1, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(200, 100, 50, 0));  // fully transparent keeps its colour
    EXPECT_EQ(Rgb(CopyPicture24(argb), 0, 0), qRgb(200, 100, 50) & 0xFFFFFFu);
    QImage palette(2, 1, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(9, 8, 7)});
    palette.bits()[0] = 0;
    palette.bits()[1] = 200;  // beyond the table: black
    EXPECT_EQ(AllBytes(CopyPicture24(palette)), QByteArray("\x07\x08\x09\x00\x00\x00\x00\x00", 8));
}

// ---- block transfers ----

TEST(ScalePicture, SamplesThePixelUnderEachCentre) {
    // Source columns picked: floor((2x + 1) * W / (2w)).
    struct Case {
        int from, to;
        std::vector<int> picked;
    };
    for (const Case& c : {Case{4, 3, {0, 2, 3}}, Case{3, 6, {0, 0, 1, 1, 2, 2}}, Case{5, 2, {1, 3}},
                          Case{7, 1, {3}}, Case{2, 5, {0, 0, 1, 1, 1}}}) {
        const QImage row = PatternImage(c.from, 1);
        const QImage col = PatternImage(1, c.from);
        const QImage wide = ScalePicture(row, c.to, 1);
        const QImage tall = ScalePicture(col, 1, c.to);
        ASSERT_EQ(wide.size(), QSize(c.to, 1));
        for (int x = 0; x < c.to; ++x) {
            EXPECT_EQ(Rgb(wide, x, 0), Rgb(row, c.picked[size_t(x)], 0)) << c.from << "->" << c.to;
            EXPECT_EQ(Rgb(tall, 0, x), Rgb(col, 0, c.picked[size_t(x)])) << c.from << "->" << c.to;
        }
    }
}

TEST(ScalePicture, KeepsThirtyTwoBitFormatsAndLargePictures) {
    QImage argb = PatternImage(3, 2, QImage::Format_ARGB32);
    argb.setPixel(2, 1, qRgba(1, 2, 3, 4));
    const QImage out = ScalePicture(argb, 6, 4);
    EXPECT_EQ(out.format(), QImage::Format_ARGB32);
    EXPECT_EQ(out.pixel(5, 3), qRgba(1, 2, 3, 4));
    EXPECT_EQ(ScalePicture(PatternImage(3, 2, QImage::Format_Indexed8), 4, 4).format(),
              QImage::Format_BGR888);
    const QImage big = PatternImage(1201, 700);  // > 2 MiB: huge-page memory
    const QImage half = ScalePicture(big, 600, 351);
    for (int y = 0; y < 351; y += 50) {
        for (int x = 0; x < 600; x += 7) {
            ASSERT_EQ(Rgb(half, x, y),
                      Rgb(big, (2 * x + 1) * 1201 / 1200, (2 * y + 1) * 700 / 702));
        }
    }
}

TEST(CopyRegion, OutsideTheSourceIsBlack) {
    const QImage src = PatternImage(4, 3);
    const QImage out = CopyRegion(src, -1, 1, 6, 3);
    ASSERT_EQ(out.size(), QSize(6, 3));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 6; ++x) {
            const int sx = x - 1;
            const int sy = y + 1;
            const bool inside = sx >= 0 && sx < 4 && sy < 3;
            ASSERT_EQ(Rgb(out, x, y), inside ? Rgb(src, sx, sy) : 0u) << x << "," << y;
        }
    }
    const QImage away = CopyRegion(src, kMax, kMin, 2, 2);
    EXPECT_EQ(AllBytes(away), QByteArray(16, '\0'));
}

TEST(BlockTransfers, NoPictureIsError91AndEmptySizesGiveNoPicture) {
    const QImage none;
    EXPECT_EQ(ErrorOf([&] { CopyPicture24(none); }), 91);
    EXPECT_EQ(ErrorOf([&] { ScalePicture(none, 2, 2); }), 91);
    EXPECT_EQ(ErrorOf([&] { CopyRegion(none, 0, 0, 2, 2); }), 91);
    const QImage src = PatternImage(4, 3);
    EXPECT_TRUE(ScalePicture(src, 0, 3).isNull());
    EXPECT_TRUE(ScalePicture(src, 4, -1).isNull());
    EXPECT_TRUE(CopyRegion(src, 0, 0, -4, 3).isNull());
    EXPECT_TRUE(CopyRegion(src, 0, 0, 4, 0).isNull());
}

TEST(PixelOperations, NoPictureGivesNoPicture) {
    const QImage none;
    EXPECT_TRUE(RotatePicture(none, 90).isNull());
    EXPECT_TRUE(FlipPicture(none, "X").isNull());
    EXPECT_TRUE(FillBlack(none, 0, 0, 1, 1).isNull());
    EXPECT_TRUE(GrayPicture(none).isNull());
    EXPECT_FALSE(LoadPixels(none));
    EXPECT_TRUE(PixelsToPicture().isNull());
}

// Declared sizes whose 24-bit buffer would pass 2^31 bytes: error 6 before any allocation
// (a 100000 x 100000 result would otherwise ask for 30 GB).
TEST(Overflow, HugeSizesAreError6) {
    const QImage src = PatternImage(4, 3);
    EXPECT_EQ(ErrorOf([&] { ScalePicture(src, 715827882, 1); }), 6);
    EXPECT_EQ(ErrorOf([&] { ScalePicture(src, 100000, 100000); }), 6);
    EXPECT_EQ(ErrorOf([&] { CopyRegion(src, 0, 0, 50000, 50000); }), 6);
    EXPECT_EQ(
        ErrorOf([&] { ScalePicture(PatternImage(2, 2, QImage::Format_RGB32), 600000000, 1); }),
        6);  // 4 bytes a pixel
    // A 1-bit picture 800 million pixels wide is 100 MB, but 2.4 GB at 24 bits.
    const QImage wide(800000000, 1, QImage::Format_Mono);
    ASSERT_FALSE(wide.isNull());
    EXPECT_EQ(ErrorOf([&] { CopyPicture24(wide); }), 6);
    EXPECT_EQ(ErrorOf([&] { LoadPixels(wide); }), 6);
    EXPECT_EQ(ErrorOf([&] { RotatePicture(wide, 90); }), 6);
    EXPECT_EQ(ErrorOf([&] { GrayPicture(wide); }), 6);
    EXPECT_TRUE(PixelsToPicture().isNull());
}

// ---- the pixel buffer ----

TEST(PixelBuffer, LoadRebuildClear) {
    const QImage src = DirtyPattern(5, 2);
    ASSERT_TRUE(LoadPixels(src));
    const QImage rebuilt = PixelsToPicture();
    EXPECT_TRUE(SamePixels(rebuilt, src));
    EXPECT_EQ(rebuilt.constScanLine(0)[15], 0);  // the source's padding is not carried over
    ClearPixels();
    EXPECT_TRUE(PixelsToPicture().isNull());
    EXPECT_FALSE(LoadPixels(QImage()));
}

TEST(CaptureScreen, WithoutAGuiApplicationThereIsNoPicture) {
    EXPECT_TRUE(CaptureScreen().isNull());
}

}  // namespace
