// JPEG pixels from libjpeg-turbo must be the bytes FreeImage's own reader gives, at full size and
// at every reduction its size hint chooses, for every colour space and coding the library reads:
// the test files in tests/data and files written here in the cases a camera or an editor makes
// (grey, CMYK and YCCK from print software, RGB without colour transform, progressive, restart
// markers, each chroma sampling, sizes that are not whole blocks). Noisy pixels, so that another
// DCT or another upsampling would show.

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <stdio.h>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

#include "image/MFreeImage.h"
#include "support/TestSupport.h"

namespace {

struct Written {
    const char* name;
    int width, height;
    J_COLOR_SPACE input;       // the pixels handed to the encoder
    J_COLOR_SPACE stored;      // the colour space in the file
    int hSampling, vSampling;  // of the first component
    bool progressive;
    int restartRows;
};

const Written kWritten[] = {
    {"rgb420.jpg", 64, 48, JCS_RGB, JCS_YCbCr, 2, 2, false, 0},
    {"rgb422_odd.jpg", 61, 37, JCS_RGB, JCS_YCbCr, 2, 1, false, 0},
    {"rgb444.jpg", 40, 24, JCS_RGB, JCS_YCbCr, 1, 1, false, 0},
    {"rgb411.jpg", 67, 16, JCS_RGB, JCS_YCbCr, 4, 1, false, 0},
    {"rgb_plain.jpg", 33, 35, JCS_RGB, JCS_RGB, 1, 1, false, 0},
    {"progressive_odd.jpg", 75, 51, JCS_RGB, JCS_YCbCr, 2, 2, true, 0},
    {"restart.jpg", 64, 64, JCS_RGB, JCS_YCbCr, 2, 2, false, 1},
    {"grey_odd.jpg", 45, 29, JCS_GRAYSCALE, JCS_GRAYSCALE, 1, 1, false, 0},
    {"grey_progressive.jpg", 64, 40, JCS_GRAYSCALE, JCS_GRAYSCALE, 1, 1, true, 2},
    {"cmyk.jpg", 48, 32, JCS_CMYK, JCS_CMYK, 1, 1, false, 0},
    {"ycck_odd.jpg", 50, 34, JCS_CMYK, JCS_YCCK, 2, 2, false, 0},
};

// Gradients with noise in every channel (a fixed sequence).
std::vector<JSAMPLE> Pixels(const Written& w, int components) {
    std::vector<JSAMPLE> pixels(static_cast<size_t>(w.width) * w.height * components);
    quint32 noise = 12345;
    for (int y = 0; y < w.height; ++y) {
        for (int x = 0; x < w.width; ++x) {
            for (int c = 0; c < components; ++c) {
                noise = noise * 1103515245u + 12345u;
                const int value = (x * 255 / w.width + y * 97 / w.height * (c + 1)) % 256 +
                                  static_cast<int>((noise >> 16) % 41) - 20;
                pixels[(static_cast<size_t>(y) * w.width + x) * components + c] =
                    static_cast<JSAMPLE>(qBound(0, value, 255));
            }
        }
    }
    return pixels;
}

void Write(const Written& w, const QString& fileName) {
    FILE* file = fopen(QFile::encodeName(fileName).constData(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    const int components = w.input == JCS_GRAYSCALE ? 1 : w.input == JCS_CMYK ? 4 : 3;
    cinfo.image_width = static_cast<JDIMENSION>(w.width);
    cinfo.image_height = static_cast<JDIMENSION>(w.height);
    cinfo.input_components = components;
    cinfo.in_color_space = w.input;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, w.stored);
    jpeg_set_quality(&cinfo, 85, TRUE);
    cinfo.comp_info[0].h_samp_factor = w.hSampling;
    cinfo.comp_info[0].v_samp_factor = w.vSampling;
    if (w.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    cinfo.restart_in_rows = w.restartRows;
    cinfo.density_unit = 1;
    cinfo.X_density = 300;
    cinfo.Y_density = 150;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> pixels = Pixels(w, components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            pixels.data() + static_cast<size_t>(cinfo.next_scanline) * w.width * components;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    fclose(file);
}

struct BitmapDeleter {
    void operator()(FIBITMAP* b) const { FreeImage_Unload(b); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// The same size, depth, palette, resolution and pixel bytes (the padding at a row's end aside).
void ExpectSameBitmap(FIBITMAP* expected, FIBITMAP* got, const QString& what) {
    ASSERT_NE(expected, nullptr) << qPrintable(what);
    ASSERT_NE(got, nullptr) << qPrintable(what);
    ASSERT_EQ(FreeImage_GetWidth(got), FreeImage_GetWidth(expected)) << qPrintable(what);
    ASSERT_EQ(FreeImage_GetHeight(got), FreeImage_GetHeight(expected)) << qPrintable(what);
    ASSERT_EQ(FreeImage_GetBPP(got), FreeImage_GetBPP(expected)) << qPrintable(what);
    EXPECT_EQ(FreeImage_GetDotsPerMeterX(got), FreeImage_GetDotsPerMeterX(expected));
    EXPECT_EQ(FreeImage_GetDotsPerMeterY(got), FreeImage_GetDotsPerMeterY(expected));
    if (FreeImage_GetBPP(expected) == 8) {
        ASSERT_NE(FreeImage_GetPalette(got), nullptr);
        EXPECT_EQ(std::memcmp(FreeImage_GetPalette(got), FreeImage_GetPalette(expected),
                              256 * sizeof(RGBQUAD)),
                  0)
            << qPrintable(what);
    }
    const unsigned line = FreeImage_GetLine(expected);
    int differing = 0;
    for (unsigned y = 0; y < FreeImage_GetHeight(expected); ++y) {
        differing += std::memcmp(FreeImage_GetScanLine(got, y), FreeImage_GetScanLine(expected, y),
                                 line) != 0;
    }
    EXPECT_EQ(differing, 0) << qPrintable(what) << ": rows that differ";
}

// Every JPEG to compare: the test files and the ones written here.
QStringList JpegFiles(const QTemporaryDir& dir) {
    QStringList files;
    for (const QString& name :
         QDir(QStringLiteral(LUMORA_TEST_DATA)).entryList({QStringLiteral("*.jpg")}, QDir::Files)) {
        files << TestSupport::DataFile(name);
    }
    for (const Written& w : kWritten) {
        const QString name = dir.filePath(QString::fromLatin1(w.name));
        Write(w, name);
        files << name;
    }
    return files;
}

}  // namespace

TEST(JpegDecode, PixelsAreTheLibraryReadersAtEverySize) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList files = JpegFiles(dir);
    ASSERT_GE(files.size(), 30);
    for (const QString& file : files) {
        const QByteArray name = QFile::encodeName(file);
        // Full size, as stored.
        Bitmap got(MFreeImage::LoadImageFile(file));
        Bitmap expected(FreeImage_Load(FIF_JPEG, name.constData(), JPEG_DEFAULT));
        ExpectSameBitmap(expected.get(), got.get(), file);
        // Each reduction the hint chooses (1/2, 1/4, 1/8), asked for exactly.
        const int longer = static_cast<int>(
            qMax(FreeImage_GetWidth(expected.get()), FreeImage_GetHeight(expected.get())));
        for (const int divisor : {2, 4, 8}) {
            const int maxSide = longer / divisor;
            Bitmap hinted(
                FreeImage_Load(FIF_JPEG, name.constData(), JPEG_DEFAULT | (maxSide << 16)));
            QSize own;
            Bitmap reduced(MFreeImage::LoadReducedImageFile(file, maxSide, &own, false));
            if (qMax(FreeImage_GetWidth(hinted.get()), FreeImage_GetHeight(hinted.get())) <=
                static_cast<unsigned>(maxSide)) {
                ExpectSameBitmap(hinted.get(), reduced.get(),
                                 file + QStringLiteral(" at 1/%1").arg(divisor));
            }
            EXPECT_EQ(own, QSize(static_cast<int>(FreeImage_GetWidth(expected.get())),
                                 static_cast<int>(FreeImage_GetHeight(expected.get()))));
        }
    }
}

// The worker's road: straight into memory of its own, the same rows as through a bitmap, the
// photos to be turned upright (EXIF orientation 2 to 8) too, from the one header read.
TEST(JpegDecode, StraightIntoMemoryMatchesTheBitmapRoad) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QString& file : JpegFiles(dir)) {
        QImage direct;
        MFreeImage::PictureLayout layout;
        QSize own;
        int calls = 0;
        const bool taken = MFreeImage::LoadJpegInto(
            file, true, &own, &layout, [&](const MFreeImage::PictureLayout& l) -> uchar* {
                ++calls;
                direct = QImage(l.width, l.height, l.format);
                return direct.bytesPerLine() == l.bytesPerLine ? direct.bits() : nullptr;
            });
        QSize reducedOwn;
        const QImage expected = MFreeImage::ImageToPicture(
            MFreeImage::LoadReducedImageFile(file, 0, &reducedOwn, true), true);
        ASSERT_TRUE(taken) << qPrintable(file);
        EXPECT_EQ(calls, 1) << qPrintable(file);
        direct.setColorTable(layout.colors);
        ASSERT_EQ(direct.size(), expected.size()) << qPrintable(file);
        EXPECT_EQ(layout.format, expected.format()) << qPrintable(file);
        EXPECT_EQ(own, reducedOwn) << qPrintable(file);
        EXPECT_EQ(layout.dotsPerMeterX, expected.dotsPerMeterX()) << qPrintable(file);
        for (int y = 0; y < expected.height(); ++y) {
            ASSERT_EQ(std::memcmp(direct.constScanLine(y), expected.constScanLine(y),
                                  static_cast<size_t>(expected.width() * expected.depth() / 8)),
                      0)
                << qPrintable(file) << " row " << y;
        }
    }
}
