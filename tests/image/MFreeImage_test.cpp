#include "image/MFreeImage.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "base/NumberedError.h"
#include "decode/mdlPictureFile.h"
#include "support/TestSupport.h"

using TestSupport::DataFile;
using TestSupport::PatternImage;
using TestSupport::SamePixels;

namespace {

// The error f raises, or nothing.
std::optional<NumberedError> ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const NumberedError& e) {
        return e;
    }
    return std::nullopt;
}

void ExpectInvalidPicture(const std::function<void()>& f, const QString& what) {
    const auto error = ErrorOf(f);
    ASSERT_TRUE(error.has_value()) << qPrintable(what);
    EXPECT_EQ(error->number(), 481) << qPrintable(what);
    EXPECT_EQ(error->source(), QStringLiteral("MFreeImage"));
    EXPECT_EQ(error->description(), QStringLiteral("Invalid picture"));
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(path);
    f.write(bytes);
}

// ---- Loading every format at its depth ------------------------------------------------------

enum class Reference { None, Base, BaseUpsideDown };

struct LoadCase {
    const char* file;
    QImage::Format format;
    int width;
    int height;
    Reference reference;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.file;
}

class LoadEveryFormat : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadEveryFormat, KeepsTheFilesDepthAndPixels) {
    const LoadCase& c = GetParam();
    const QImage picture = mdlPictureFile::LoadPictureFile(DataFile(c.file));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.format(), c.format);
    EXPECT_EQ(picture.width(), c.width);
    EXPECT_EQ(picture.height(), c.height);
    if (picture.format() == QImage::Format_Indexed8) {
        // Every index the rows hold names a colour of the table.
        int highest = 0;
        for (int y = 0; y < picture.height(); ++y) {
            const uchar* row = picture.constScanLine(y);
            for (int x = 0; x < picture.width(); ++x) {
                highest = std::max(highest, static_cast<int>(row[x]));
            }
        }
        EXPECT_LT(highest, picture.colorCount());
    }
    if (picture.format() == QImage::Format_Mono) {
        EXPECT_EQ(picture.colorCount(), 2);
    }
    if (c.reference != Reference::None) {
        const QImage base = mdlPictureFile::LoadPictureFile(DataFile("base.png"));
        EXPECT_TRUE(SamePixels(picture,
                               c.reference == Reference::Base ? base : base.mirrored(false, true)));
    }
}

// bmp_4.bmp and ico_16c.ico hold 4 bits per pixel, widened to one byte. The *_24 pictures hold
// few colours and were written with a palette. The TGA files were written bottom-left with their
// rows top first, so read as the format says they come out upside down.
// psd_rgb and psd_layers are indexed: base.png with its palette in the colour mode data.
INSTANTIATE_TEST_SUITE_P(
    Files, LoadEveryFormat,
    testing::Values(
        LoadCase{"base.png", QImage::Format_Indexed8, 64, 48, Reference::None},
        LoadCase{"bmp_1.bmp", QImage::Format_Mono, 64, 48, Reference::None},
        LoadCase{"bmp_4.bmp", QImage::Format_Indexed8, 64, 48, Reference::None},
        LoadCase{"bmp_8.bmp", QImage::Format_Indexed8, 64, 48, Reference::None},
        LoadCase{"bmp_24.bmp", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"gif_anim.gif", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"gif_il.gif", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"gif_plain.gif", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"gif_transp.gif", QImage::Format_Indexed8, 64, 48, Reference::None},
        LoadCase{"ico_16c.ico", QImage::Format_Indexed8, 32, 32, Reference::None},
        LoadCase{"ico_256png.ico", QImage::Format_BGR888, 256, 256, Reference::None},
        LoadCase{"ico_multi.ico", QImage::Format_RGB32, 16, 16, Reference::None},
        LoadCase{"jpg_444.jpg", QImage::Format_BGR888, 64, 48, Reference::None},
        LoadCase{"jpg_baseline.jpg", QImage::Format_BGR888, 64, 48, Reference::None},
        LoadCase{"jpg_cmyk.jpg", QImage::Format_BGR888, 64, 48, Reference::None},
        LoadCase{"jpg_gray.jpg", QImage::Format_Indexed8, 64, 48, Reference::None},
        LoadCase{"jpg_progressive.jpg", QImage::Format_BGR888, 64, 48, Reference::None},
        LoadCase{"pcx_1.pcx", QImage::Format_BGR888, 64, 48, Reference::None},
        LoadCase{"pcx_8.pcx", QImage::Format_Indexed8, 64, 48, Reference::None},
        LoadCase{"pcx_24.pcx", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"png_1bit.png", QImage::Format_Mono, 64, 48, Reference::None},
        LoadCase{"png_gray_il.png", QImage::Format_Indexed8, 64, 48, Reference::None},
        LoadCase{"png_pal.png", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"png_rgb.png", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"png_rgba16.png", QImage::Format_ARGB32, 64, 48, Reference::Base},
        LoadCase{"psd_gray.psd", QImage::Format_Indexed8, 64, 48, Reference::None},
        LoadCase{"psd_layers.psd", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"psd_rgb.psd", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"tga_24.tga", QImage::Format_Indexed8, 64, 48, Reference::BaseUpsideDown},
        LoadCase{"tga_32rle.tga", QImage::Format_Indexed8, 64, 48, Reference::BaseUpsideDown},
        LoadCase{"tga_pal.tga", QImage::Format_Indexed8, 64, 48, Reference::None},
        LoadCase{"tga_rle.tga", QImage::Format_Indexed8, 64, 48, Reference::BaseUpsideDown},
        LoadCase{"tif_16.tif", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"tif_cmyk.tif", QImage::Format_BGR888, 64, 48, Reference::None},
        LoadCase{"tif_g4.tif", QImage::Format_Mono, 64, 48, Reference::None},
        LoadCase{"tif_jpeg.tif", QImage::Format_BGR888, 64, 48, Reference::None},
        LoadCase{"tif_lzw.tif", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"tif_multi.tif", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"tif_none.tif", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"tif_pal.tif", QImage::Format_Indexed8, 64, 48, Reference::None},
        LoadCase{"tif_tiled.tif", QImage::Format_Indexed8, 64, 48, Reference::Base},
        LoadCase{"tif_zip.tif", QImage::Format_Indexed8, 64, 48, Reference::Base}));

TEST(LoadPictureFile, RowsAreTopDownAsQtReadsThem) {
    // Qt reads PNG itself: an independent check of row order, colours and palette.
    const QImage ours = mdlPictureFile::LoadPictureFile(DataFile("base.png"));
    const QImage qts(DataFile("base.png"));
    ASSERT_FALSE(qts.isNull());
    EXPECT_TRUE(SamePixels(ours, qts));
}

TEST(LoadPictureFile, BmpWithAHeaderTheLibraryDoesNotKnowIsRefused) {
    ExpectInvalidPicture([] { mdlPictureFile::LoadPictureFile(DataFile("bmp_32v4.bmp")); },
                         "bmp_32v4.bmp");
}

// ---- Bad input ----------------------------------------------------------------------------

class BadInput : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QByteArray jpeg = ReadAll(DataFile("jpg_baseline.jpg"));
        const QByteArray png = ReadAll(DataFile("png_rgb.png"));
        const QByteArray bmp = ReadAll(DataFile("bmp_8.bmp"));
        WriteAll(Path("empty.png"), QByteArray());
        WriteAll(Path("empty.jpg"), QByteArray());
        WriteAll(Path("png-named.jpg"), png);
        WriteAll(Path("jpeg-named.png"), jpeg);
        WriteAll(Path("jpeg.xyz"), jpeg);
        WriteAll(Path("jpeg-without-extension"), jpeg);
        WriteAll(Path("truncated.png"), png.left(png.size() / 2));
        WriteAll(Path("header-only.bmp"), bmp.left(54));
        WriteAll(Path("text.gif"), QByteArray("GIF89a this is not a picture"));
        QByteArray noise(4096, '\0');
        for (int i = 0; i < noise.size(); ++i) {
            noise[i] = static_cast<char>((i * 7919 + 13) % 251);
        }
        WriteAll(Path("noise.tif"), noise);
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.png")));
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
};

TEST_P(BadInput, EndsAsInvalidPicture) {
    const QString path = Path(GetParam());
    ExpectInvalidPicture([&] { mdlPictureFile::LoadPictureFile(path); }, path);
}

INSTANTIATE_TEST_SUITE_P(Files, BadInput,
                         testing::Values("empty.png", "empty.jpg", "png-named.jpg",
                                         "jpeg-named.png", "jpeg.xyz", "jpeg-without-extension",
                                         "truncated.png", "header-only.bmp", "text.gif",
                                         "noise.tif", "folder.png", "missing.png"));

TEST(LoadPictureFile, DevicesAreNotRead) {
    ExpectInvalidPicture([] { mdlPictureFile::LoadPictureFile(QStringLiteral("/dev/zero")); },
                         "/dev/zero");
}

TEST(LoadPictureFile, UpperCaseExtensionNamesTheSameFormat) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.JPEG"));
    ASSERT_TRUE(QFile::copy(DataFile("jpg_baseline.jpg"), path));
    const QImage picture = mdlPictureFile::LoadPictureFile(path);
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
    EXPECT_EQ(picture.size(), QSize(64, 48));
}

TEST(PictureFiles, ChineseNamesWithSpacesLoadAndSave) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("我的 图片"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString source = folder + QStringLiteral("/照片 一张.png");
    ASSERT_TRUE(QFile::copy(DataFile("png_rgb.png"), source));
    const QImage picture = mdlPictureFile::LoadPictureFile(source);
    ASSERT_EQ(picture.size(), QSize(64, 48));

    const QString target = folder + QStringLiteral("/新 图片.bmp");
    ASSERT_TRUE(MFreeImage::SavePictureFile(picture, target));
    EXPECT_TRUE(SamePixels(mdlPictureFile::LoadPictureFile(target), picture));
}

// ---- Non-standard image types become ordinary pictures -------------------------------------

TEST(LoadPictureFile, SixteenBitsPerChannelKeepTheHighByte) {
    QTemporaryDir dir;
    FIBITMAP* wide = FreeImage_AllocateT(FIT_RGB16, 5, 3);
    ASSERT_NE(wide, nullptr);
    for (unsigned y = 0; y < 3; ++y) {
        auto* px = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(wide, y));
        for (unsigned x = 0; x < 5; ++x) {
            px[x].red = static_cast<WORD>(0x1000 * x + 0x00FF);
            px[x].green = static_cast<WORD>(0x2000 * y + 0x0080);
            px[x].blue = 0xABCD;
        }
    }
    for (const char* name : {"wide.png", "wide.tif"}) {
        const QByteArray path = QFile::encodeName(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(FreeImage_Save(FreeImage_GetFIFFromFilename(path.constData()), wide,
                                   path.constData(), 0));
        const QImage picture = mdlPictureFile::LoadPictureFile(QFile::decodeName(path));
        ASSERT_EQ(picture.format(), QImage::Format_BGR888) << name;
        // FreeImage's bottom row (y = 0) is the picture's last.
        EXPECT_EQ(picture.pixel(3, 2), qRgb(0x30, 0x00, 0xAB)) << name;
        EXPECT_EQ(picture.pixel(4, 0), qRgb(0x40, 0x40, 0xAB)) << name;
    }
    FreeImage_Unload(wide);
}

TEST(LoadPictureFile, HighDynamicRangeIsToneMapped) {
    QTemporaryDir dir;
    FIBITMAP* hdr = FreeImage_AllocateT(FIT_RGBF, 8, 2);
    ASSERT_NE(hdr, nullptr);
    for (unsigned y = 0; y < 2; ++y) {
        auto* px = reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(hdr, y));
        for (unsigned x = 0; x < 8; ++x) {
            const float v = x < 4 ? 0.05f : 4.0f;
            px[x] = FIRGBF{v, v, v};
        }
    }
    for (const char* name : {"light.hdr", "light.pfm", "light.exr"}) {
        const QByteArray path = QFile::encodeName(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(FreeImage_Save(FreeImage_GetFIFFromFilename(path.constData()), hdr,
                                   path.constData(), 0))
            << name;
        const QImage picture = mdlPictureFile::LoadPictureFile(QFile::decodeName(path));
        ASSERT_EQ(picture.format(), QImage::Format_BGR888) << name;
        ASSERT_EQ(picture.size(), QSize(8, 2)) << name;
        EXPECT_LT(qGray(picture.pixel(1, 0)), qGray(picture.pixel(6, 0))) << name;
    }
    FreeImage_Unload(hdr);
}

TEST(ImageToPicture, OtherImageTypesAreConverted) {
    FIBITMAP* grey = FreeImage_AllocateT(FIT_UINT16, 3, 1);
    auto* px = reinterpret_cast<WORD*>(FreeImage_GetScanLine(grey, 0));
    px[0] = 0x0000;
    px[1] = 0x80FF;
    px[2] = 0xFFFF;
    const QImage picture = MFreeImage::ImageToPicture(grey, true);
    ASSERT_EQ(picture.format(), QImage::Format_Indexed8);
    EXPECT_EQ(picture.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(picture.pixel(1, 0), qRgb(0x80, 0x80, 0x80));
    EXPECT_EQ(picture.pixel(2, 0), qRgb(0xFF, 0xFF, 0xFF));

    FIBITMAP* alpha = FreeImage_AllocateT(FIT_RGBA16, 1, 1);
    auto* rgba = reinterpret_cast<FIRGBA16*>(FreeImage_GetScanLine(alpha, 0));
    rgba[0] = FIRGBA16{0x1100, 0x2200, 0x3300, 0x8000};
    const QImage withAlpha = MFreeImage::ImageToPicture(alpha, true);
    ASSERT_EQ(withAlpha.format(), QImage::Format_ARGB32);
    EXPECT_EQ(withAlpha.pixel(0, 0), qRgba(0x11, 0x22, 0x33, 0x80));
}

// ---- 32-bit alpha ---------------------------------------------------------------------------

struct AlphaCase {
    BYTE first;
    BYTE second;
    QImage::Format format;
    QRgb firstPixel;
};

class AlphaDecidesTheFormat : public testing::TestWithParam<AlphaCase> {};

TEST_P(AlphaDecidesTheFormat, OfA32BitBitmap) {
    const AlphaCase& c = GetParam();
    FIBITMAP* b =
        FreeImage_Allocate(2, 1, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    BYTE* px = FreeImage_GetScanLine(b, 0);
    const BYTE bytes[8] = {0x10, 0x20, 0x30, c.first, 0x40, 0x50, 0x60, c.second};
    std::memcpy(px, bytes, sizeof bytes);
    const QImage picture = MFreeImage::ImageToPicture(b, true);
    EXPECT_EQ(picture.format(), c.format);
    EXPECT_EQ(picture.pixel(0, 0), c.firstPixel);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AlphaDecidesTheFormat,
    testing::Values(AlphaCase{0xFF, 0xFF, QImage::Format_RGB32, 0xFF302010},
                    // An unused alpha byte shows the colours, opaque, not an invisible picture.
                    AlphaCase{0x00, 0x00, QImage::Format_RGB32, 0xFF302010},
                    AlphaCase{0x00, 0xFF, QImage::Format_ARGB32, 0x00302010},
                    AlphaCase{0x80, 0xFF, QImage::Format_ARGB32, 0x80302010}));

// ---- Pictures to bitmaps --------------------------------------------------------------------

TEST(PictureToImage, TopRowBecomesTheLastScanLine) {
    const QImage picture = PatternImage(5, 4);
    FIBITMAP* b = MFreeImage::PictureToImage(picture);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FreeImage_GetBPP(b), 24u);
    EXPECT_EQ(std::memcmp(FreeImage_GetScanLine(b, 3), picture.constScanLine(0), 15), 0);
    EXPECT_EQ(std::memcmp(FreeImage_GetScanLine(b, 0), picture.constScanLine(3), 15), 0);
    FreeImage_Unload(b);
}

TEST(PictureToImage, Rgb32IsWrittenOpaque) {
    QImage picture(2, 1, QImage::Format_RGB32);
    auto* px = reinterpret_cast<quint32*>(picture.bits());
    px[0] = 0x00123456;  // a stray alpha byte that Qt ignores
    px[1] = 0x7F654321;
    FIBITMAP* b = MFreeImage::PictureToImage(picture);
    ASSERT_NE(b, nullptr);
    const BYTE* row = FreeImage_GetScanLine(b, 0);
    EXPECT_EQ(row[FI_RGBA_ALPHA], 0xFF);
    EXPECT_EQ(row[4 + FI_RGBA_ALPHA], 0xFF);
    EXPECT_EQ(row[FI_RGBA_RED], 0x12);
    FreeImage_Unload(b);
}

struct FormatDepthCase {
    QImage::Format format;
    unsigned bpp;
    unsigned greenMask;
};

class PictureToImageDepth : public testing::TestWithParam<FormatDepthCase> {};

TEST_P(PictureToImageDepth, FollowsThePictureFormat) {
    const FormatDepthCase& c = GetParam();
    const QImage picture = PatternImage(7, 3, c.format);
    FIBITMAP* b = MFreeImage::PictureToImage(picture);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FreeImage_GetBPP(b), c.bpp);
    EXPECT_EQ(FreeImage_GetGreenMask(b), c.greenMask);
    // And back: the same pixels, whatever the path.
    EXPECT_TRUE(SamePixels(MFreeImage::ImageToPicture(b, true), picture));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PictureToImageDepth,
    testing::Values(FormatDepthCase{QImage::Format_Mono, 1, 0},
                    FormatDepthCase{QImage::Format_MonoLSB, 1, 0},
                    FormatDepthCase{QImage::Format_Indexed8, 8, 0},
                    FormatDepthCase{QImage::Format_Grayscale8, 8, 0},
                    FormatDepthCase{QImage::Format_RGB16, 16, FI16_565_GREEN_MASK},
                    FormatDepthCase{QImage::Format_RGB555, 16, FI16_555_GREEN_MASK},
                    FormatDepthCase{QImage::Format_BGR888, 24, FI_RGBA_GREEN_MASK},
                    FormatDepthCase{QImage::Format_RGB888, 24, FI_RGBA_GREEN_MASK},
                    FormatDepthCase{QImage::Format_RGB32, 32, FI_RGBA_GREEN_MASK},
                    FormatDepthCase{QImage::Format_ARGB32, 32, FI_RGBA_GREEN_MASK},
                    FormatDepthCase{QImage::Format_ARGB32_Premultiplied, 32, FI_RGBA_GREEN_MASK},
                    FormatDepthCase{QImage::Format_RGBX8888, 24, FI_RGBA_GREEN_MASK}));

TEST(PictureToImage, NullPictureGivesNoBitmap) {
    EXPECT_EQ(MFreeImage::PictureToImage(QImage()), nullptr);
}

// ---- Saving ---------------------------------------------------------------------------------

class SaveTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QStringList Files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir;
};

TEST_F(SaveTest, GifFrom24BitsIs256ColoursQuantised) {
    ASSERT_TRUE(MFreeImage::SavePictureFile(PatternImage(40, 30), Path("out.gif")));
    EXPECT_TRUE(ReadAll(Path("out.gif")).startsWith("GIF8"));
    const QImage back = mdlPictureFile::LoadPictureFile(Path("out.gif"));
    EXPECT_EQ(back.format(), QImage::Format_Indexed8);
    EXPECT_EQ(back.colorCount(), 256);
}

TEST_F(SaveTest, JpegFrom32BitsIsWrittenAs24Bits) {
    // The JPEG writer claims 32 bits and then refuses them; the walk goes on to 24.
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        ASSERT_TRUE(MFreeImage::SavePictureFile(PatternImage(40, 30, format), Path("out.jpg")));
        EXPECT_TRUE(ReadAll(Path("out.jpg")).startsWith("\xFF\xD8\xFF"));
        const QImage back = mdlPictureFile::LoadPictureFile(Path("out.jpg"));
        EXPECT_EQ(back.format(), QImage::Format_BGR888);
        EXPECT_EQ(back.size(), QSize(40, 30));
    }
}

TEST_F(SaveTest, BmpKeeps32Bits) {
    const QImage picture = PatternImage(9, 5, QImage::Format_RGB32);
    ASSERT_TRUE(MFreeImage::SavePictureFile(picture, Path("out.bmp")));
    const QByteArray bytes = ReadAll(Path("out.bmp"));
    ASSERT_GT(bytes.size(), 30);
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 32);  // biBitCount
    EXPECT_EQ(mdlPictureFile::LoadPictureFile(Path("out.bmp")).format(), QImage::Format_RGB32);
}

TEST_F(SaveTest, NameCompletionIsCaseSensitive) {
    const QImage picture = PatternImage(8, 8);
    ASSERT_TRUE(MFreeImage::SavePictureFile(picture, Path("out.JPG")));
    ASSERT_TRUE(MFreeImage::SavePictureFile(picture, Path("plain.jpg")));
    ASSERT_TRUE(MFreeImage::SavePictureFile(picture, Path("long.jpeg")));
    ASSERT_TRUE(MFreeImage::SavePictureFile(picture, Path("shape.TIF")));
    EXPECT_EQ(Files(), QStringList({"long.jpeg", "out.JPG.jpg", "plain.jpg", "shape.TIF.tif"}));
}

struct RefusedSaveCase {
    const char* name;
    const char* message;
};

class SaveRefused : public SaveTest, public testing::WithParamInterface<RefusedSaveCase> {};

TEST_P(SaveRefused, RaisesInvalidCallAndWritesNothing) {
    const auto error =
        ErrorOf([&] { MFreeImage::SavePictureFile(PatternImage(4, 4), Path(GetParam().name)); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->number(), 5);
    EXPECT_EQ(error->source(), QStringLiteral("MFreeImage"));
    EXPECT_EQ(error->description(), QStringLiteral("Invalid procedure call or argument\r\n\r\n") +
                                        QString::fromLatin1(GetParam().message));
    EXPECT_TRUE(Files().isEmpty());
}

const char* const kUnknown =
    "Unknown image format. Neither an explicit image format was specified nor any known image "
    "format was parsed from the filename given.";

INSTANTIATE_TEST_SUITE_P(
    Names, SaveRefused,
    testing::Values(RefusedSaveCase{"out.xyz", kUnknown}, RefusedSaveCase{"no-extension", kUnknown},
                    RefusedSaveCase{"out.", kUnknown},
                    RefusedSaveCase{"out.pcx",
                                    "FreeImage Library plugin 'PCX' is unable to write images of "
                                    "the image format requested."},
                    RefusedSaveCase{"out.hdr",
                                    "FreeImage Library plugin 'HDR' is unable to write images of "
                                    "the image format requested."},
                    RefusedSaveCase{"out.exr",
                                    "FreeImage Library plugin 'EXR' is unable to write images of "
                                    "the image format requested."}));

TEST_F(SaveTest, NoPictureRaises91) {
    const auto error = ErrorOf([&] { MFreeImage::SavePictureFile(QImage(), Path("out.png")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->number(), 91);
    EXPECT_EQ(error->source(), QStringLiteral("MFreeImage"));
    EXPECT_EQ(error->description(),
              QStringLiteral("Object variable or With block variable not set"));
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(SaveTest, FailedEncodingLeavesTheExistingFileAlone) {
    // The icon writer refuses pictures wider than 256 pixels at every depth.
    WriteAll(Path("keep.ico"), "precious");
    EXPECT_FALSE(MFreeImage::SavePictureFile(PatternImage(300, 4), Path("keep.ico")));
    EXPECT_EQ(ReadAll(Path("keep.ico")), QByteArray("precious"));
    EXPECT_EQ(Files(), QStringList({"keep.ico"}));
}

TEST_F(SaveTest, MissingFolderReturnsFalse) {
    EXPECT_FALSE(MFreeImage::SavePictureFile(PatternImage(4, 4), Path("no/such/folder/out.png")));
}

TEST_F(SaveTest, WriterRefusingEveryDepthReturnsFalse) {
    // JPEG writes 8 and 24 bits only, and the walk never goes up from 1.
    EXPECT_FALSE(
        MFreeImage::SavePictureFile(PatternImage(8, 8, QImage::Format_Mono), Path("a.jpg")));
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(SaveTest, SaveImageFileFreesTheBitmapOnErrorPaths) {
    // Leak checking (LeakSanitizer) notices a bitmap kept on these paths.
    EXPECT_TRUE(ErrorOf([&] {
                    MFreeImage::SaveImageFile(MFreeImage::PictureToImage(PatternImage(4, 4)),
                                              Path("a.xyz"));
                }).has_value());
    EXPECT_TRUE(ErrorOf([&] {
                    MFreeImage::SaveImageFile(MFreeImage::PictureToImage(PatternImage(4, 4)),
                                              Path("a.pcx"));
                }).has_value());
    EXPECT_FALSE(MFreeImage::SaveImageFile(nullptr, Path("a.png")));
    EXPECT_TRUE(Files().isEmpty());
}

// ---- Completing the name, and replacing a file safely ----------------------------------------

struct CompletedCase {
    const char* name;
    const char* completed;  // "" for a format that cannot be written
};

class CompletedName : public SaveTest, public testing::WithParamInterface<CompletedCase> {};

TEST_P(CompletedName, IsTheNameTheSaveWrites) {
    const QString completed = QString::fromUtf8(GetParam().completed);
    EXPECT_EQ(MFreeImage::CompletedFileName(Path(GetParam().name)),
              completed.isEmpty() ? QString() : Path(completed));
    if (!completed.isEmpty()) {
        ASSERT_TRUE(MFreeImage::SavePictureFile(PatternImage(4, 4), Path(GetParam().name)));
        EXPECT_EQ(Files(), QStringList({completed}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, CompletedName,
    testing::Values(CompletedCase{"a.jpg", "a.jpg"}, CompletedCase{"a.jpeg", "a.jpeg"},
                    CompletedCase{"photo.JPG", "photo.JPG.jpg"},
                    CompletedCase{"a.Bmp", "a.Bmp.bmp"}, CompletedCase{"x.tiff", "x.tiff"},
                    CompletedCase{"图 a.png", "图 a.png"}, CompletedCase{"a.heic", "a.heic"},
                    CompletedCase{"a.heif", "a.heif"}, CompletedCase{"a.AVIF", "a.AVIF.avif"},
                    CompletedCase{"a.jxl", "a.jxl"}, CompletedCase{"a.webp", "a.webp"},
                    CompletedCase{"a.xyz", ""}, CompletedCase{"noext", ""},
                    CompletedCase{"a.pcx", ""}, CompletedCase{"a.hdr", ""}));

TEST(CompletedFileName, GivesTheSameAnswerOnManyThreadsAtOnce) {
    // Save jobs and the window ask at the same time; the library's own lookup of a name's format
    // keeps hidden state (strtok) that threads would share.
    const std::pair<const char*, const char*> cases[] = {{"/a.webp", "/a.webp"},
                                                         {"/a.JPG", "/a.JPG.jpg"},
                                                         {"/a.TIFF", "/a.TIFF.tif"},
                                                         {"/a.xyz", ""}};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (const auto& c : cases) {
        threads.emplace_back([&wrong, c] {
            for (int i = 0; i < 10000; ++i) {
                wrong += MFreeImage::CompletedFileName(c.first) != QString::fromLatin1(c.second);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(SaveTest, AFolderOfThatNameIsLeftAlone) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("taken.png/inside"));
    EXPECT_FALSE(MFreeImage::SavePictureFile(PatternImage(4, 4), Path("taken.png")));
    EXPECT_TRUE(QFileInfo(Path("taken.png/inside")).isDir());
    EXPECT_EQ(Files(), QStringList({"taken.png"}));
}

TEST_F(SaveTest, ALinkIsWrittenThroughAndStaysALink) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    WriteAll(Path("real/a.png"), "old");
    ASSERT_TRUE(QFile::link("real/a.png", Path("a.png")));  // relative, as links often are
    const QImage picture = PatternImage(6, 5);
    ASSERT_TRUE(MFreeImage::SavePictureFile(picture, Path("a.png")));
    EXPECT_TRUE(QFileInfo(Path("a.png")).isSymLink());
    EXPECT_EQ(QFileInfo(Path("a.png")).symLinkTarget(), Path("real/a.png"));
    EXPECT_TRUE(SamePixels(mdlPictureFile::LoadPictureFile(Path("real/a.png")), picture));
    EXPECT_EQ(Files(), QStringList({"a.png", "real"}));
    EXPECT_EQ(QDir(Path("real")).entryList(QDir::Files | QDir::Hidden), QStringList({"a.png"}));
}

// Runs f in a forked child (limits and identity changes stay there) and gives its exit code:
// 0 when the save returned false, 1 when true, 2 when it raised.
int SaveInChild(const std::function<void()>& prepare, const QImage& picture, const QString& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        prepare();
        try {
            ::_exit(MFreeImage::SavePictureFile(picture, path) ? 1 : 0);
        } catch (...) {
            ::_exit(2);
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A 24-bit BMP 40 pixels wide waits in the file's write buffer until the end; one 200 pixels wide
// goes to the disk at once. Both must fail the same way.
struct FullDiskCase {
    int width;     // pixels
    rlim_t limit;  // largest file, bytes
};

class FullDisk : public SaveTest, public testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDisk, LeavesTheOldFileWholeAndNoTemporaryFile) {
    const QByteArray old(300, 'o');
    WriteAll(Path("old.bmp"), old);
    const rlim_t limit = GetParam().limit;
    const int result = SaveInChild(
        [limit] {
            const rlimit size{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &size);
            ::signal(SIGXFSZ, SIG_IGN);
        },
        PatternImage(GetParam().width, GetParam().width * 3 / 4), Path("old.bmp"));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadAll(Path("old.bmp")), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"old.bmp"}));
}

INSTANTIATE_TEST_SUITE_P(Writes, FullDisk,
                         testing::Values(FullDiskCase{40, 1024}, FullDiskCase{200, 4096}));

TEST_F(SaveTest, AReadOnlyFolderTakesNothingEvenWhereTheFileIsWritable) {
    // The tests run as root, whom permissions do not stop: the child saves as nobody.
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther));
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    WriteAll(Path("ro/old.png"), "old");
    ::chmod(QFile::encodeName(Path("ro/old.png")).constData(), 0666);
    ::chmod(QFile::encodeName(Path("ro")).constData(), 0555);
    const auto asNobody = [] {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(3);
        }
    };
    EXPECT_EQ(SaveInChild(asNobody, PatternImage(4, 4), Path("ro/old.png")), 0);
    EXPECT_EQ(SaveInChild(asNobody, PatternImage(4, 4), Path("ro/new.png")), 0);
    EXPECT_EQ(ReadAll(Path("ro/old.png")), QByteArray("old"));
    EXPECT_EQ(QDir(Path("ro")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"old.png"}));
    ::chmod(QFile::encodeName(Path("ro")).constData(), 0755);
}

// ---- Round trips ----------------------------------------------------------------------------

struct RoundTripCase {
    QImage::Format format;
    const char* extension;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << "format " << c.format << " ." << c.extension;
}

class LosslessRoundTrip : public SaveTest, public testing::WithParamInterface<RoundTripCase> {};

TEST_P(LosslessRoundTrip, GivesBackTheSameBytes) {
    const RoundTripCase& c = GetParam();
    // An odd width, so row padding shows; alpha varies where there is one.
    QImage picture = PatternImage(37, 13, c.format);
    if (c.format == QImage::Format_ARGB32) {
        for (int y = 0; y < picture.height(); ++y) {
            uchar* row = picture.scanLine(y);
            for (int x = 0; x < picture.width(); ++x) {
                row[4 * x + 3] = static_cast<uchar>(x * 7 + y * 3);
            }
        }
    }
    const QString path = Path(QStringLiteral("rt.") + QString::fromLatin1(c.extension));
    ASSERT_TRUE(MFreeImage::SavePictureFile(picture, path));
    const QImage back = mdlPictureFile::LoadPictureFile(path);
    EXPECT_EQ(back.format(), picture.format());
    EXPECT_EQ(back.colorTable(), picture.colorTable());
    EXPECT_EQ(TestSupport::RowBytes(back), TestSupport::RowBytes(picture));
}

// PSD among them: the library's default PSD writer leaked a row buffer on every save, which the
// leak checker reports when the process ends.
INSTANTIATE_TEST_SUITE_P(
    Formats, LosslessRoundTrip,
    testing::Values(
        RoundTripCase{QImage::Format_Mono, "bmp"}, RoundTripCase{QImage::Format_Mono, "tif"},
        RoundTripCase{QImage::Format_Mono, "gif"}, RoundTripCase{QImage::Format_Indexed8, "bmp"},
        RoundTripCase{QImage::Format_Indexed8, "png"},
        RoundTripCase{QImage::Format_Indexed8, "tif"},
        RoundTripCase{QImage::Format_Indexed8, "tga"},
        RoundTripCase{QImage::Format_Indexed8, "gif"}, RoundTripCase{QImage::Format_RGB16, "bmp"},
        RoundTripCase{QImage::Format_RGB555, "bmp"}, RoundTripCase{QImage::Format_RGB555, "tga"},
        RoundTripCase{QImage::Format_BGR888, "bmp"}, RoundTripCase{QImage::Format_BGR888, "png"},
        RoundTripCase{QImage::Format_BGR888, "tif"}, RoundTripCase{QImage::Format_BGR888, "tga"},
        RoundTripCase{QImage::Format_BGR888, "ppm"}, RoundTripCase{QImage::Format_RGB32, "bmp"},
        RoundTripCase{QImage::Format_RGB32, "tif"}, RoundTripCase{QImage::Format_RGB32, "tga"},
        RoundTripCase{QImage::Format_ARGB32, "bmp"}, RoundTripCase{QImage::Format_ARGB32, "png"},
        RoundTripCase{QImage::Format_ARGB32, "tif"}, RoundTripCase{QImage::Format_ARGB32, "tga"},
        RoundTripCase{QImage::Format_BGR888, "psd"}, RoundTripCase{QImage::Format_ARGB32, "psd"}));

TEST_F(SaveTest, Rgb565IsWrittenToTargaAs555) {
    // 16-bit TGA holds 5-5-5 pixels; a 5-6-5 picture must not be stored as it is.
    const QImage picture = PatternImage(37, 13, QImage::Format_RGB16);
    ASSERT_TRUE(MFreeImage::SavePictureFile(picture, Path("out.tga")));
    const QImage back = mdlPictureFile::LoadPictureFile(Path("out.tga"));
    EXPECT_EQ(back.format(), QImage::Format_RGB555);
    EXPECT_TRUE(SamePixels(back, picture.convertToFormat(QImage::Format_RGB555)));
}

TEST_F(SaveTest, FileRoundTripIsByteExactForLosslessFormats) {
    // A file read and written again in its own format holds the same picture.
    for (const char* name : {"bmp_8.bmp", "bmp_1.bmp", "png_pal.png", "tif_none.tif"}) {
        const QImage first = mdlPictureFile::LoadPictureFile(DataFile(name));
        const QString path = Path(QString::fromLatin1(name));
        ASSERT_TRUE(MFreeImage::SavePictureFile(first, path)) << name;
        const QImage second = mdlPictureFile::LoadPictureFile(path);
        EXPECT_EQ(second.format(), first.format()) << name;
        EXPECT_EQ(second.colorTable(), first.colorTable()) << name;
        EXPECT_EQ(TestSupport::RowBytes(second), TestSupport::RowBytes(first)) << name;
    }
}

// ---- The depth walk and its pieces ----------------------------------------------------------

TEST(PreviousColorDepth, WalksDownWithTheFifteenBitStep) {
    const std::pair<int, int> walk[] = {{32, 24}, {24, 16}, {16, 15}, {15, 8}, {8, 4}, {4, 1},
                                        {1, 0},   {0, 0},   {2, 0},   {48, 0}, {-1, 0}};
    for (const auto& [from, to] : walk) {
        EXPECT_EQ(MFreeImage::PreviousColorDepth(from), to) << from;
    }
}

struct ConvertCase {
    QImage::Format source;
    int target;
    unsigned bpp;
    unsigned greenMask;
};

class ConvertImageDepthTest : public testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertImageDepthTest, MakesTheTargetDepth) {
    const ConvertCase& c = GetParam();
    FIBITMAP* source = MFreeImage::PictureToImage(PatternImage(20, 10, c.source));
    FIBITMAP* made = MFreeImage::ConvertImageDepth(source, c.target, false);
    ASSERT_NE(made, nullptr);
    EXPECT_NE(made, source);
    EXPECT_EQ(FreeImage_GetBPP(made), c.bpp);
    EXPECT_EQ(FreeImage_GetGreenMask(made), c.greenMask);
    if (c.target == 8) {
        EXPECT_EQ(FreeImage_GetColorsUsed(made), 256u);
    }
    FreeImage_Unload(made);
    FreeImage_Unload(source);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ConvertImageDepthTest,
    testing::Values(ConvertCase{QImage::Format_RGB32, 24, 24, FI_RGBA_GREEN_MASK},
                    ConvertCase{QImage::Format_BGR888, 16, 16, FI16_565_GREEN_MASK},
                    ConvertCase{QImage::Format_BGR888, 15, 16, FI16_555_GREEN_MASK},
                    ConvertCase{QImage::Format_BGR888, 8, 8, 0},
                    ConvertCase{QImage::Format_RGB16, 8, 8, 0},
                    ConvertCase{QImage::Format_ARGB32, 8, 8, 0},
                    ConvertCase{QImage::Format_BGR888, 4, 4, 0},
                    ConvertCase{QImage::Format_BGR888, 1, 1, 0},
                    ConvertCase{QImage::Format_Indexed8, 1, 1, 0}));

TEST(ConvertImageDepth, GivesTheSourceBackWhenNothingIsDone) {
    FIBITMAP* mono = MFreeImage::PictureToImage(PatternImage(8, 8, QImage::Format_Mono));
    EXPECT_EQ(MFreeImage::ConvertImageDepth(mono, 1, true), mono);
    EXPECT_EQ(MFreeImage::ConvertImageDepth(mono, 2, true), mono);
    EXPECT_EQ(MFreeImage::ConvertImageDepth(nullptr, 24, true), nullptr);
    FreeImage_Unload(mono);
}

TEST(ConvertImageDepth, FreesTheSourceWhenAsked) {
    // With leak checking on, a kept source would be reported.
    FIBITMAP* made = MFreeImage::ConvertImageDepth(
        MFreeImage::PictureToImage(PatternImage(8, 8, QImage::Format_RGB32)), 24, true);
    EXPECT_EQ(FreeImage_GetBPP(made), 24u);
    FreeImage_Unload(made);
}

struct ExtensionCase {
    int format;
    const char* name;
    bool belongs;
};

class IsExtensionOfFormatTest : public testing::TestWithParam<ExtensionCase> {};

TEST_P(IsExtensionOfFormatTest, ComparesTheLastExtensionExactly) {
    const ExtensionCase& c = GetParam();
    EXPECT_EQ(MFreeImage::IsExtensionOfFormat(c.format, QString::fromUtf8(c.name)), c.belongs)
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, IsExtensionOfFormatTest,
    testing::Values(
        ExtensionCase{FIF_JPEG, "a.jpg", true}, ExtensionCase{FIF_JPEG, "a.jpeg", true},
        ExtensionCase{FIF_JPEG, "a.jpe", true}, ExtensionCase{FIF_JPEG, "a.JPG", false},
        ExtensionCase{FIF_JPEG, "a.Jpeg", false}, ExtensionCase{FIF_JPEG, "a.pg", false},
        ExtensionCase{FIF_JPEG, "a.jpg.png", false}, ExtensionCase{FIF_JPEG, "dir.jpg/a", false},
        ExtensionCase{FIF_JPEG, "noextension", false}, ExtensionCase{FIF_JPEG, "a.", false},
        ExtensionCase{FIF_TIFF, "x.tiff", true}, ExtensionCase{FIF_TIFF, "x.tif", true},
        ExtensionCase{FIF_TARGA, "图 片.tga", true}, ExtensionCase{FIF_UNKNOWN, "a.jpg", false}));

TEST(PrimaryExtension, IsTheFirstOfTheList) {
    EXPECT_EQ(MFreeImage::PrimaryExtension(FIF_JPEG), QStringLiteral("jpg"));
    EXPECT_EQ(MFreeImage::PrimaryExtension(FIF_TIFF), QStringLiteral("tif"));
    EXPECT_EQ(MFreeImage::PrimaryExtension(FIF_TARGA), QStringLiteral("tga"));
    EXPECT_EQ(MFreeImage::PrimaryExtension(FIF_BMP), QStringLiteral("bmp"));
    EXPECT_EQ(MFreeImage::PrimaryExtension(FIF_UNKNOWN), QString());
}

TEST(LoadImageFile, ReturnsAStandardBitmap) {
    FIBITMAP* b = MFreeImage::LoadImageFile(DataFile("png_rgba16.png"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FreeImage_GetImageType(b), FIT_BITMAP);
    EXPECT_EQ(FreeImage_GetBPP(b), 32u);
    FreeImage_Unload(b);
}

// ---- Reduced decoding ---------------------------------------------------------------------------

struct ReducedSizeCase {
    QSize size;
    int maxSide;
    QSize reduced;
};

void PrintTo(const ReducedSizeCase& c, std::ostream* os) {
    *os << c.size.width() << "x" << c.size.height() << " within " << c.maxSide;
}

class ReducedSizeTest : public testing::TestWithParam<ReducedSizeCase> {};

TEST_P(ReducedSizeTest, KeepsTheAspectWithinTheLongerSide) {
    EXPECT_EQ(MFreeImage::ReducedSize(GetParam().size, GetParam().maxSide), GetParam().reduced);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ReducedSizeTest,
    testing::Values(ReducedSizeCase{{3000, 2000}, 98, {98, 65}},    // 65.33
                    ReducedSizeCase{{2000, 3000}, 98, {65, 98}},    // portrait alike
                    ReducedSizeCase{{10000, 50}, 98, {98, 1}},      // 0.49: never 0 pixels
                    ReducedSizeCase{{50, 10000}, 98, {1, 98}},      //
                    ReducedSizeCase{{200, 5}, 100, {100, 2}},       // 2.5: ties to even
                    ReducedSizeCase{{200, 7}, 100, {100, 4}},       // 3.5: ties to even
                    ReducedSizeCase{{100, 100}, 98, {98, 98}},      //
                    ReducedSizeCase{{98, 40}, 98, {98, 40}},        // fits already
                    ReducedSizeCase{{40, 30}, 256, {40, 30}},       // never larger
                    ReducedSizeCase{{3000, 2000}, 0, {3000, 2000}}  // no limit
                    ));

// A picture of four flat quadrants: red, green / blue, white (Mono: black, white / white, black).
QImage Quadrants(QImage::Format format, int width, int height) {
    const bool mono = format == QImage::Format_Mono;
    const QRgb colors[4] = {
        mono ? qRgb(0, 0, 0) : qRgb(255, 0, 0), mono ? qRgb(255, 255, 255) : qRgb(0, 255, 0),
        mono ? qRgb(255, 255, 255) : qRgb(0, 0, 255), mono ? qRgb(0, 0, 0) : qRgb(255, 255, 255)};
    QImage rgb(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            rgb.setPixel(x, y, colors[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)]);
        }
    }
    return rgb.convertToFormat(format, Qt::ThresholdDither | Qt::AvoidDither);
}

// True when every quadrant's middle pixel of picture has the colour of the same quadrant of
// Quadrants(), each channel within tolerance.
bool HasTheQuadrants(const QImage& picture, QImage::Format format, int tolerance) {
    const QImage want = Quadrants(format, 4, 4).convertToFormat(QImage::Format_RGB32);
    const QImage got = picture.convertToFormat(QImage::Format_RGB32);
    for (int q = 0; q < 4; ++q) {
        const QRgb w = want.pixel(q % 2 * 2, q / 2 * 2);
        const QRgb g = got.pixel(got.width() / 4 + q % 2 * got.width() / 2,
                                 got.height() / 4 + q / 2 * got.height() / 2);
        if (qAbs(qRed(w) - qRed(g)) > tolerance || qAbs(qGreen(w) - qGreen(g)) > tolerance ||
            qAbs(qBlue(w) - qBlue(g)) > tolerance) {
            return false;
        }
    }
    return true;
}

struct ReducedLoadCase {
    const char* name;  // the file written, whose extension names the format
    QImage::Format format;
    int tolerance;  // per channel: JPEG is lossy
};

void PrintTo(const ReducedLoadCase& c, std::ostream* os) {
    *os << c.name;
}

class ReducedLoad : public testing::TestWithParam<ReducedLoadCase> {};

TEST_P(ReducedLoad, GivesAStandardPictureOfTheFileWithinTheSideAndItsOwnSize) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(GetParam().name));
    ASSERT_TRUE(MFreeImage::SavePictureFile(Quadrants(GetParam().format, 1200, 800), path));
    QSize own;
    FIBITMAP* b = MFreeImage::LoadReducedImageFile(path, 256, &own, false);
    ASSERT_NE(b, nullptr);
    const QImage picture = MFreeImage::ImageToPicture(b, true);
    EXPECT_EQ(own, QSize(1200, 800));
    EXPECT_EQ(picture.size(), QSize(256, 171));
    EXPECT_NE(picture.format(), QImage::Format_Invalid);
    EXPECT_TRUE(HasTheQuadrants(picture, GetParam().format, GetParam().tolerance));
}

INSTANTIATE_TEST_SUITE_P(Formats, ReducedLoad,
                         testing::Values(ReducedLoadCase{"hinted.jpg", QImage::Format_BGR888, 40},
                                         ReducedLoadCase{"mono.bmp", QImage::Format_Mono, 8},
                                         ReducedLoadCase{"palette.bmp", QImage::Format_Indexed8, 8},
                                         ReducedLoadCase{"565.bmp", QImage::Format_RGB16, 8},
                                         ReducedLoadCase{"rgb.png", QImage::Format_BGR888, 8},
                                         ReducedLoadCase{"argb.png", QImage::Format_ARGB32, 8}));

}  // namespace
