#include "image/PngEncoder.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

#include "image/MFreeImage.h"
#include "image/cPngClipboardData.h"

namespace {

// The chunk types of a PNG file in order, a run of IDAT chunks counted once (encoders split the
// stream where they like); "bad" when the framing or a CRC does not hold.
QStringList ChunkList(const QByteArray& png) {
    QStringList types;
    if (!png.startsWith("\x89PNG\r\n\x1a\n")) {
        return {QStringLiteral("bad")};
    }
    qsizetype at = 8;
    while (at + 12 <= png.size()) {
        const auto* p = reinterpret_cast<const uchar*>(png.constData() + at);
        const quint32 length = (quint32(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        if (at + 12 + qsizetype(length) > png.size()) {
            return {QStringLiteral("bad")};
        }
        const QString type = QString::fromLatin1(png.constData() + at + 4, 4);
        if (types.isEmpty() || type != QLatin1String("IDAT") || types.last() != type) {
            types << type;
        }
        at += 12 + qsizetype(length);
    }
    return at == png.size() ? types : QStringList{QStringLiteral("bad")};
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Content that every filter wins somewhere on: gradients, edges and a little texture.
uchar Sample(int x, int y, int channel) {
    const int v = (x * (3 + channel) + y * (5 - channel)) ^ ((x / 7) * (y / 5) * 13);
    return static_cast<uchar>(v + ((x * y) % 11));
}

struct DepthCase {
    const char* name;
    int bpp;
    bool greyRamp;      // 8-bit palette that is the black-to-white ramp
    bool opaque;        // 32-bit with every alpha 255
    bool transparency;  // palette with a tRNS table
    int width;
    int height;
};

// A FreeImage bitmap of the case, pixels from Sample, a palette not a ramp unless asked.
FIBITMAP* MakeBitmap(const DepthCase& c) {
    FIBITMAP* b = FreeImage_Allocate(c.width, c.height, c.bpp);
    for (int y = 0; y < c.height; ++y) {
        BYTE* row = FreeImage_GetScanLine(b, y);
        const unsigned line = FreeImage_GetLine(b);
        for (unsigned i = 0; i < line; ++i) {
            row[i] = Sample(static_cast<int>(i), y, 0);
        }
        if (c.bpp == 32) {
            for (int x = 0; x < c.width; ++x) {
                row[x * 4 + FI_RGBA_ALPHA] = c.opaque ? 255 : Sample(x, y, 3);
            }
        }
    }
    if (c.bpp <= 8) {
        RGBQUAD* pal = FreeImage_GetPalette(b);
        const unsigned n = FreeImage_GetColorsUsed(b);
        for (unsigned i = 0; i < n; ++i) {
            const auto v = static_cast<BYTE>(i * 255 / (n - 1));
            pal[i].rgbRed = c.greyRamp ? v : static_cast<BYTE>(i * 37 + 5);
            pal[i].rgbGreen = c.greyRamp ? v : static_cast<BYTE>(255 - i * 3);
            pal[i].rgbBlue = c.greyRamp ? v : static_cast<BYTE>(i * 11);
        }
        if (c.transparency) {
            std::vector<BYTE> table(n);
            for (unsigned i = 0; i < n; ++i) {
                table[i] = static_cast<BYTE>(255 - i * 7);
            }
            FreeImage_SetTransparencyTable(b, table.data(), static_cast<int>(n));
        }
    }
    FreeImage_SetDotsPerMeterX(b, 3780);
    FreeImage_SetDotsPerMeterY(b, 2835);
    return b;
}

// Same size, depth, palette and pixels (padding ignored; 32 bits written as 24 compared on colour).
void ExpectSameBitmap(FIBITMAP* want, FIBITMAP* got, const char* name) {
    ASSERT_NE(got, nullptr) << name;
    ASSERT_EQ(FreeImage_GetWidth(got), FreeImage_GetWidth(want)) << name;
    ASSERT_EQ(FreeImage_GetHeight(got), FreeImage_GetHeight(want)) << name;
    const unsigned bpp = FreeImage_GetBPP(want);
    const bool dropAlpha = bpp == 32 && FreeImage_GetBPP(got) == 24;
    ASSERT_TRUE(FreeImage_GetBPP(got) == bpp || dropAlpha) << name;
    EXPECT_EQ(FreeImage_GetColorsUsed(got), FreeImage_GetColorsUsed(want)) << name;
    if (bpp <= 8) {
        EXPECT_EQ(0, std::memcmp(FreeImage_GetPalette(got), FreeImage_GetPalette(want),
                                 FreeImage_GetColorsUsed(want) * sizeof(RGBQUAD)))
            << name;
        EXPECT_EQ(FreeImage_GetTransparencyCount(got), FreeImage_GetTransparencyCount(want));
    }
    EXPECT_EQ(FreeImage_GetDotsPerMeterX(got), 3780u) << name;
    EXPECT_EQ(FreeImage_GetDotsPerMeterY(got), 2835u) << name;
    const unsigned width = FreeImage_GetWidth(want);
    const unsigned bytes = (width * bpp + 7) / 8;
    for (unsigned y = 0; y < FreeImage_GetHeight(want); ++y) {
        const BYTE* a = FreeImage_GetScanLine(want, static_cast<int>(y));
        const BYTE* b = FreeImage_GetScanLine(got, static_cast<int>(y));
        if (dropAlpha) {
            for (unsigned x = 0; x < width; ++x) {
                ASSERT_EQ(0, std::memcmp(a + x * 4, b + x * 3, 3)) << name << " row " << y;
            }
        } else if (bpp < 8 && (width * bpp) % 8 != 0) {
            ASSERT_EQ(0, std::memcmp(a, b, bytes - 1)) << name << " row " << y;
            const int unused = 8 - static_cast<int>((width * bpp) % 8);
            ASSERT_EQ(a[bytes - 1] >> unused, b[bytes - 1] >> unused) << name << " row " << y;
        } else {
            ASSERT_EQ(0, std::memcmp(a, b, bytes)) << name << " row " << y;
        }
    }
}

class PngDepths : public testing::TestWithParam<DepthCase> {};

// Written by Lumora's encoder through the save path, read back by FreeImage and by Qt (libpng):
// the same pixels, palette and resolution, and the chunks the library's own writer puts in.
TEST_P(PngDepths, RoundTripsAndMatchesTheLibraryChunks) {
    const DepthCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ours = dir.filePath(QStringLiteral("ours.png"));
    const QString theirs = dir.filePath(QStringLiteral("theirs.png"));
    FIBITMAP* source = MakeBitmap(c);
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, source, QFile::encodeName(theirs).constData(), 0));
    ASSERT_TRUE(MFreeImage::SaveImageFile(FreeImage_Clone(source), ours));

    const QByteArray file = ReadAll(ours);
    EXPECT_EQ(ChunkList(file), ChunkList(ReadAll(theirs))) << c.name;
    EXPECT_NE(ChunkList(file).value(0), QStringLiteral("bad")) << c.name;

    FIBITMAP* back = FreeImage_Load(FIF_PNG, QFile::encodeName(ours).constData(), 0);
    ExpectSameBitmap(source, back, c.name);
    FreeImage_Unload(back);

    QImage viaQt;
    ASSERT_TRUE(viaQt.loadFromData(file, "png")) << c.name;
    QImage viaLibrary;
    ASSERT_TRUE(viaLibrary.loadFromData(ReadAll(theirs), "png")) << c.name;
    EXPECT_EQ(viaQt.format(), viaLibrary.format()) << c.name;
    EXPECT_EQ(viaQt.colorTable(), viaLibrary.colorTable()) << c.name;
    EXPECT_EQ(viaQt.convertToFormat(QImage::Format_ARGB32),
              viaLibrary.convertToFormat(QImage::Format_ARGB32))
        << c.name;
    FreeImage_Unload(source);
}

// Widths that leave bits over in the last byte; 24 and 32 bits large enough to be filtered on
// two threads, with an odd height so the halves differ.
INSTANTIATE_TEST_SUITE_P(EveryDepthLumoraWrites, PngDepths,
                         testing::Values(DepthCase{"palette1", 1, false, false, false, 37, 9},
                                         DepthCase{"palette4", 4, false, false, false, 21, 17},
                                         DepthCase{"palette8", 8, false, false, false, 33, 20},
                                         DepthCase{"palette8tRNS", 8, false, false, true, 33, 20},
                                         DepthCase{"grey8", 8, true, false, false, 31, 12},
                                         DepthCase{"rgb24", 24, false, false, false, 701, 301},
                                         DepthCase{"rgba32", 32, false, false, false, 513, 301},
                                         DepthCase{"rgb32opaque", 32, false, true, false, 257, 33}),
                         [](const testing::TestParamInfo<DepthCase>& i) {
                             return std::string(i.param.name);
                         });

// The clipboard's encoder takes every QImage format; what Qt reads back is the same picture.
TEST(PngClipboardEncoder, EveryQImageFormatReadsBackTheSame) {
    QImage base(301, 203, QImage::Format_ARGB32);
    for (int y = 0; y < base.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(base.scanLine(y));
        for (int x = 0; x < base.width(); ++x) {
            row[x] = qRgba(Sample(x, y, 0), Sample(x, y, 1), Sample(x, y, 2), Sample(x, y, 3));
        }
    }
    QImage indexed(37, 11, QImage::Format_Indexed8);
    indexed.setColorTable({qRgba(255, 0, 0, 255), qRgba(0, 90, 0, 128), qRgba(1, 2, 3, 0)});
    for (int y = 0; y < indexed.height(); ++y) {
        for (int x = 0; x < indexed.width(); ++x) {
            indexed.setPixel(x, y, static_cast<uint>((x + y) % 3));
        }
    }
    const struct {
        const char* name;
        QImage picture;
    } cases[] = {
        {"BGR888", base.convertToFormat(QImage::Format_BGR888)},
        {"RGB888", base.convertToFormat(QImage::Format_RGB888)},
        {"RGB32", base.convertToFormat(QImage::Format_RGB32)},
        {"ARGB32", base},
        {"ARGB32 premultiplied", base.convertToFormat(QImage::Format_ARGB32_Premultiplied)},
        {"RGBA8888", base.convertToFormat(QImage::Format_RGBA8888)},
        {"Grayscale8", base.convertToFormat(QImage::Format_Grayscale8)},
        {"Mono", base.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)},
        {"Indexed8 with alpha", indexed},
    };
    for (const auto& c : cases) {
        const QByteArray png = cPngClipboardData::EncodePng(c.picture);
        EXPECT_EQ(ChunkList(png).value(0), QStringLiteral("IHDR")) << c.name;
        QImage back;
        ASSERT_TRUE(back.loadFromData(png, "png")) << c.name;
        EXPECT_EQ(back.convertToFormat(QImage::Format_ARGB32),
                  c.picture.convertToFormat(QImage::Format_ARGB32))
            << c.name;
    }
    EXPECT_TRUE(cPngClipboardData::EncodePng(QImage()).isEmpty());
}

}  // namespace
