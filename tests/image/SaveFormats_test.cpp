// Every format a save writes with a profile and alpha, read back the way the program reads it,
// and the profile read back the way each format's own library stores it.

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <libdeflate.h>
#include <libheif/heif.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdlib>
#include <memory>
#include <vector>

#include "image/ColourDescription.h"
#include "image/MFreeImage.h"
#include "image/MFreeImage_OwnFormats.h"
#include "image/SaveFailure.h"
#include "support/TestSupport.h"

namespace {

using MFreeImage::Detail::SetHeifCompressionForTesting;

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray TestProfile() {
    return ReadFile(TestSupport::DataFile(QStringLiteral("p3_test.icc")));
}

// Smooth in colour and alpha, so lossy encoders stay close; alpha never 0, so every colour counts.
QImage SmoothWithAlpha(int width, int height) {
    QImage picture(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixel(x, y, qRgba(40 + x * 4, 200 - y * 3, 90 + (x + y), 255 - x * 2));
        }
    }
    return picture;
}

// The largest difference of any channel, alpha included; 1000 for pictures of other sizes.
int LargestDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return 1000;
    }
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q),
                                qAlpha(p) - qAlpha(q)}) {
                largest = std::max(largest, std::abs(d));
            }
        }
    }
    return largest;
}

enum class ProfileFrom { FreeImage, PngChunk, Webp, Heif, Jxl };

QByteArray ProfileByFreeImage(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    FIBITMAP* b = FreeImage_Load(FreeImage_GetFileType(name.constData(), 0), name.constData(), 0);
    QByteArray bytes;
    if (const FIICCPROFILE* p = b != nullptr ? FreeImage_GetICCProfile(b) : nullptr) {
        bytes = QByteArray(static_cast<const char*>(p->data), static_cast<qsizetype>(p->size));
    }
    FreeImage_Unload(b);
    return bytes;
}

// The iCCP chunk inflated (FreeImage's PNG reader drops it).
QByteArray ProfileOfPngChunk(const QString& path) {
    const QByteArray data = ReadFile(path);
    for (qsizetype at = 8; at + 12 <= data.size();) {
        const auto size = static_cast<qsizetype>(qFromBigEndian<quint32>(data.constData() + at));
        if (data.mid(at + 4, 4) == "iCCP") {
            const QByteArray body = data.mid(at + 8, size);
            const qsizetype name = body.indexOf('\0');
            std::vector<char> out(1 << 16);
            size_t made = 0;
            std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater(
                libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
            if (name < 0 ||
                libdeflate_zlib_decompress(inflater.get(), body.constData() + name + 2,
                                           static_cast<size_t>(body.size() - name - 2), out.data(),
                                           out.size(), &made) != LIBDEFLATE_SUCCESS) {
                return {};
            }
            return QByteArray(out.data(), static_cast<qsizetype>(made));
        }
        at += size + 12;
    }
    return {};
}

QByteArray ProfileByLibheif(const QString& path) {
    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(),
                                                                   heif_context_free);
    heif_image_handle* handle = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (heif_context_read_from_file(context.get(), name.constData(), nullptr).code !=
            heif_error_Ok ||
        heif_context_get_primary_image_handle(context.get(), &handle).code != heif_error_Ok) {
        return {};
    }
    QByteArray bytes(static_cast<qsizetype>(heif_image_handle_get_raw_color_profile_size(handle)),
                     '\0');
    if (bytes.isEmpty() ||
        heif_image_handle_get_raw_color_profile(handle, bytes.data()).code != heif_error_Ok) {
        bytes.clear();
    }
    heif_image_handle_release(handle);
    return bytes;
}

QByteArray ProfileByLibjxl(const QString& path) {
    const QByteArray data = ReadFile(path);
    const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_COLOR_ENCODING);
    JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(data.constData()),
                       static_cast<size_t>(data.size()));
    JxlDecoderCloseInput(decoder.get());
    size_t size = 0;
    if (JxlDecoderProcessInput(decoder.get()) != JXL_DEC_COLOR_ENCODING ||
        JxlDecoderGetICCProfileSize(decoder.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                    &size) != JXL_DEC_SUCCESS) {
        return {};
    }
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    JxlDecoderGetColorAsICCProfile(decoder.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                   reinterpret_cast<uint8_t*>(bytes.data()), size);
    return bytes;
}

QByteArray ProfileOf(const QString& path, ProfileFrom from) {
    switch (from) {
        case ProfileFrom::FreeImage:
            return ProfileByFreeImage(path);
        case ProfileFrom::PngChunk:
            return ProfileOfPngChunk(path);
        case ProfileFrom::Heif:
            return ProfileByLibheif(path);
        case ProfileFrom::Jxl:
            return ProfileByLibjxl(path);
        case ProfileFrom::Webp: {
            ColourDescription colour;
            FreeImage_Unload(MFreeImage::Detail::LoadWebp(ReadFile(path), 0, nullptr, &colour));
            return colour.icc;
        }
    }
    return {};
}

QImage LoadBack(const QString& path) {
    return MFreeImage::ImageToPicture(MFreeImage::LoadImageFile(path), true);
}

struct WrittenCase {
    const char* name;
    int quality;
    // Largest channel difference read back; negative for a format whose quality is its own.
    int tolerance;
    bool alpha;  // kept by the format
    ProfileFrom profileFrom;
    const char* magic;  // the file's first bytes, or those from byte 4 for the ISO box formats
};

class WrittenFormat : public testing::TestWithParam<WrittenCase> {
protected:
    QTemporaryDir dir;
};

TEST_P(WrittenFormat, KeepsPixelsAlphaAndProfile) {
    const WrittenCase& c = GetParam();
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    const QImage picture = SmoothWithAlpha(40, 30);
    const QByteArray profile = TestProfile();
    ASSERT_FALSE(profile.isEmpty());
    SaveFailure why = SaveFailure::NotWritten;
    ASSERT_TRUE(MFreeImage::SavePictureFile(picture, path, &why, profile, c.quality));
    EXPECT_EQ(why, SaveFailure::None);
    const QByteArray bytes = ReadFile(path);
    EXPECT_TRUE(bytes.startsWith(c.magic) || bytes.mid(4).startsWith(c.magic))
        << bytes.left(12).toHex().constData();
    EXPECT_TRUE(MFreeImage::CarriesProfile(path));

    const QImage back = LoadBack(path);
    const QImage expected =
        c.alpha
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32);
    EXPECT_LE(LargestDifference(back.convertToFormat(QImage::Format_ARGB32), expected),
              std::abs(c.tolerance));
    EXPECT_EQ(back.hasAlphaChannel(), c.alpha);
    EXPECT_EQ(ProfileOf(path, c.profileFrom), profile);

    // The quality reaches the new encoders (far lower makes a smaller file), not JPEG's.
    if (c.quality < 100 && c.tolerance != 0) {
        const QString low = dir.filePath(QStringLiteral("low_") + QString::fromLatin1(c.name));
        ASSERT_TRUE(
            MFreeImage::SavePictureFile(SmoothWithAlpha(160, 120), path, nullptr, {}, c.quality));
        ASSERT_TRUE(MFreeImage::SavePictureFile(SmoothWithAlpha(160, 120), low, nullptr, {}, 10));
        EXPECT_EQ(QFile(low).size() < QFile(path).size(), c.tolerance > 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WrittenFormat,
    testing::Values(WrittenCase{"a.png", 90, 0, true, ProfileFrom::PngChunk, "\x89PNG"},
                    WrittenCase{"a.tif", 90, 0, true, ProfileFrom::FreeImage, "II*"},
                    WrittenCase{"a.jpg", 90, -12, false, ProfileFrom::FreeImage, "\xFF\xD8"},
                    WrittenCase{"a.webp", 90, 12, true, ProfileFrom::Webp, "RIFF"},
                    WrittenCase{"b.webp", 100, 0, true, ProfileFrom::Webp, "RIFF"},
                    WrittenCase{"a.heic", 90, 12, true, ProfileFrom::Heif, "ftypheic"},
                    // libheif's lossless mode still rounds through YCbCr by 1.
                    WrittenCase{"b.heif", 100, 1, true, ProfileFrom::Heif, "ftypheic"},
                    WrittenCase{"a.avif", 90, 12, true, ProfileFrom::Heif, "ftypavif"},
                    WrittenCase{"b.avif", 100, 1, true, ProfileFrom::Heif, "ftypavif"},
                    WrittenCase{"a.jxl", 90, 12, true, ProfileFrom::Jxl, "\xFF\x0A"},
                    WrittenCase{"b.jxl", 100, 0, true, ProfileFrom::Jxl, "\xFF\x0A"}));

struct RefusalCase {
    const char* name;
    const char* profile;    // "" for the test profile
    int forcedCompression;  // an encoder libheif lacks, or 0
};

class RefusedEncode : public testing::TestWithParam<RefusalCase> {
protected:
    void TearDown() override { SetHeifCompressionForTesting(0); }
    QTemporaryDir dir;
};

TEST_P(RefusedEncode, FailsAsNotEncodedAndLeavesTheOldFile) {
    const RefusalCase& c = GetParam();
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("precious");
    }
    SetHeifCompressionForTesting(c.forcedCompression);
    const QByteArray profile = *c.profile != '\0' ? QByteArray(c.profile) : TestProfile();
    SaveFailure why = SaveFailure::None;
    EXPECT_FALSE(MFreeImage::SavePictureFile(SmoothWithAlpha(8, 8), path, &why, profile, 90));
    EXPECT_EQ(why, SaveFailure::NotEncoded);
    EXPECT_EQ(ReadFile(path), QByteArray("precious"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusedEncode,
                         testing::Values(RefusalCase{"a.avif", "", heif_compression_VVC},
                                         RefusalCase{"a.heic", "", heif_compression_EVC},
                                         RefusalCase{"a.jxl", "not a colour profile at all", 0}));

TEST(CarriesProfile, FollowsTheFormatTheNameWrites) {
    const std::pair<const char*, bool> cases[] = {
        {"/a.jpg", true},  {"/a.JPEG", true}, {"/a.png", true},  {"/a.tiff", true},
        {"/a.webp", true}, {"/a.HEIF", true}, {"/a.avif", true}, {"/a.jxl", true},
        {"/a.bmp", false}, {"/a.gif", false}, {"/a.pcx", false}, {"/a.xyz", false}};
    for (const auto& [name, carries] : cases) {
        EXPECT_EQ(MFreeImage::CarriesProfile(QString::fromLatin1(name)), carries) << name;
    }
}

// An animation's first frame as shown, and a still picture decoded reduced with its own size.
TEST(WebpReading, FirstFrameOfAnAnimationAndAReducedStill) {
    QTemporaryDir dir;
    WebPAnimEncoderOptions options;
    ASSERT_TRUE(WebPAnimEncoderOptionsInit(&options));
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(16, 12, &options);
    ASSERT_NE(encoder, nullptr);
    WebPConfig config;
    ASSERT_TRUE(WebPConfigInit(&config));
    config.lossless = 1;
    const QRgb firstColour = qRgb(250, 120, 10);
    for (const QRgb colour : {firstColour, qRgb(10, 60, 250)}) {
        QImage frame(16, 12, QImage::Format_RGBA8888);
        frame.fill(QColor(colour));
        WebPPicture picture;
        ASSERT_TRUE(WebPPictureInit(&picture));
        picture.use_argb = 1;
        picture.width = 16;
        picture.height = 12;
        ASSERT_TRUE(WebPPictureImportRGBA(&picture, frame.constBits(),
                                          static_cast<int>(frame.bytesPerLine())));
        const int at = colour == firstColour ? 0 : 100;
        EXPECT_TRUE(WebPAnimEncoderAdd(encoder, &picture, at, &config));
        WebPPictureFree(&picture);
    }
    WebPAnimEncoderAdd(encoder, nullptr, 200, nullptr);
    WebPData assembled;
    WebPDataInit(&assembled);
    ASSERT_TRUE(WebPAnimEncoderAssemble(encoder, &assembled));
    WebPAnimEncoderDelete(encoder);
    const QString animation = dir.filePath(QStringLiteral("anim.webp"));
    {
        QFile f(animation);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(assembled.bytes),
                static_cast<qsizetype>(assembled.size));
    }
    WebPDataClear(&assembled);
    const QImage first = LoadBack(animation);
    ASSERT_EQ(first.size(), QSize(16, 12));
    EXPECT_EQ(first.pixel(7, 5), firstColour);

    const QString still = dir.filePath(QStringLiteral("still.webp"));
    ASSERT_TRUE(MFreeImage::SavePictureFile(TestSupport::PatternImage(300, 200), still));
    QSize own;
    const QImage reduced =
        MFreeImage::ImageToPicture(MFreeImage::LoadReducedImageFile(still, 60, &own, false), true);
    EXPECT_EQ(reduced.size(), QSize(60, 40));
    EXPECT_EQ(own, QSize(300, 200));
}

}  // namespace
