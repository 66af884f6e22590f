// What each decoder reports about a file's colours, on every road a picture is decoded by (whole,
// reduced, straight into the worker's memory). The files are written here: the profiles are Qt's
// own (libpng and libjxl check the ones they embed) or, in a JPEG, any bytes long enough to need
// several APP2 chunks.

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <jxl/encode.h>
#include <jxl/encode_cxx.h>
#include <libheif/heif.h>
#include <stdio.h>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include <QColorSpace>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <functional>
#include <memory>
#include <vector>

#include "image/ColourDescription.h"
#include "image/MFreeImage.h"

namespace {

QByteArray AdobeRgb() {
    return QColorSpace(QColorSpace::AdobeRgb).iccProfile();
}

// Bytes no decoder looks into, longer than one APP2 chunk holds.
QByteArray LongBytes() {
    QByteArray bytes(70000, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    }
    return bytes;
}

bool WriteFile(const QString& name, const QByteArray& bytes) {
    QFile f(name);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool WriteJpeg(const QString& name, J_COLOR_SPACE space, const QByteArray& icc) {
    FILE* file = fopen(QFile::encodeName(name).constData(), "wb");
    if (file == nullptr) {
        return false;
    }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    const int components = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
    cinfo.image_width = 24;
    cinfo.image_height = 16;
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (!icc.isEmpty()) {
        jpeg_write_icc_profile(&cinfo, reinterpret_cast<const JOCTET*>(icc.constData()),
                               static_cast<unsigned>(icc.size()));
    }
    std::vector<JSAMPLE> row(static_cast<size_t>(24 * components), 90);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    fclose(file);
    return true;
}

// A small bitmap saved by FreeImage with a profile (flagged CMYK for a CMYK TIFF).
QByteArray FreeImageBytes(FREE_IMAGE_FORMAT format, int bpp, int flags, const QByteArray& icc,
                          bool cmyk) {
    FIBITMAP* b = FreeImage_Allocate(20, 12, bpp);
    FIMEMORY* memory = FreeImage_OpenMemory();
    if (!icc.isEmpty()) {
        FIICCPROFILE* profile =
            FreeImage_CreateICCProfile(b, const_cast<char*>(icc.constData()), icc.size());
        if (cmyk) {
            profile->flags |= FIICC_COLOR_IS_CMYK;
        }
    }
    QByteArray bytes;
    if (FreeImage_SaveToMemory(format, b, memory, flags)) {
        BYTE* data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &data, &size);
        bytes = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    }
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(b);
    return bytes;
}

quint32 Crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<uchar>(c);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

QByteArray Chunk(const char* type, const QByteArray& data) {
    QByteArray body = QByteArray(type, 4) + data;
    QByteArray chunk(4, Qt::Uninitialized);
    qToBigEndian<quint32>(static_cast<quint32>(data.size()), chunk.data());
    QByteArray crc(4, Qt::Uninitialized);
    qToBigEndian<quint32>(Crc32(body), crc.data());
    return chunk + body + crc;
}

QByteArray Numbers(std::initializer_list<quint32> values) {
    QByteArray bytes;
    for (const quint32 v : values) {
        char b[4];
        qToBigEndian<quint32>(v, b);
        bytes.append(b, 4);
    }
    return bytes;
}

// A PNG (iCCP when icc is given) with chunks put right before IDAT, and one more after it. (With
// an sRGB chunk beside iCCP, libpng drops the profile.)
QByteArray Png(const QByteArray& icc, const QByteArray& chunks) {
    QByteArray png = FreeImageBytes(FIF_PNG, 24, 0, icc, false);
    png.insert(png.indexOf("IDAT") - 4, chunks);
    png.insert(png.size() - 12, Chunk("gAMA", Numbers({22222})));  // after IDAT: not read
    return png;
}

bool WriteHeif(const QString& name, const QByteArray& icc, quint16 primaries) {
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    heif_error e = heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    if (e.code == heif_error_Ok) {
        e = heif_image_create(64, 64, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    }
    if (e.code == heif_error_Ok) {
        e = heif_image_add_plane(image, heif_channel_interleaved, 64, 64, 8);
    }
    heif_encoding_options* options = heif_encoding_options_alloc();
    heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
    if (e.code == heif_error_Ok && !icc.isEmpty()) {
        e = heif_image_set_raw_color_profile(image, "prof", icc.constData(),
                                             static_cast<size_t>(icc.size()));
    } else if (e.code == heif_error_Ok) {
        // The encoder writes the nclx box its options name, for the image's own.
        nclx->color_primaries = static_cast<heif_color_primaries>(primaries);
        nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
        nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
        nclx->full_range_flag = 1;
        e = heif_image_set_nclx_color_profile(image, nclx);
        options->output_nclx_profile = nclx;
        options->macOS_compatibility_workaround_no_nclx_profile = 0;
    }
    if (e.code == heif_error_Ok) {
        e = heif_context_encode_image(context, image, encoder, options, nullptr);
    }
    heif_encoding_options_free(options);
    heif_nclx_color_profile_free(nclx);
    if (e.code == heif_error_Ok) {
        e = heif_context_write_to_file(context, QFile::encodeName(name).constData());
    }
    if (image != nullptr) {
        heif_image_release(image);
    }
    if (encoder != nullptr) {
        heif_encoder_release(encoder);
    }
    heif_context_free(context);
    return e.code == heif_error_Ok;
}

// A lossless JPEG XL in the profile's colours: its decoded pixels keep them.
bool WriteJxl(const QString& name, const QByteArray& icc) {
    JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = 8;
    info.ysize = 8;
    info.bits_per_sample = 8;
    info.uses_original_profile = JXL_TRUE;
    const std::vector<uint8_t> rgb(8 * 8 * 3, 100);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    if (JxlEncoderSetBasicInfo(encoder.get(), &info) != JXL_ENC_SUCCESS ||
        JxlEncoderSetICCProfile(encoder.get(), reinterpret_cast<const uint8_t*>(icc.constData()),
                                static_cast<size_t>(icc.size())) != JXL_ENC_SUCCESS ||
        JxlEncoderSetFrameLossless(settings, JXL_TRUE) != JXL_ENC_SUCCESS ||
        JxlEncoderAddImageFrame(settings, &format, rgb.data(), rgb.size()) != JXL_ENC_SUCCESS) {
        return false;
    }
    JxlEncoderCloseInput(encoder.get());
    std::vector<uint8_t> out(1 << 16);
    uint8_t* next = out.data();
    size_t left = out.size();
    if (JxlEncoderProcessOutput(encoder.get(), &next, &left) != JXL_ENC_SUCCESS) {
        return false;
    }
    return WriteFile(name, QByteArray(reinterpret_cast<const char*>(out.data()),
                                      static_cast<qsizetype>(next - out.data())));
}

struct Case {
    const char* name;
    std::function<bool(const QString&)> write;
    std::function<ColourDescription()> expected;
};

ColourDescription WithIcc(const QByteArray& icc) {
    ColourDescription d;
    d.icc = icc;
    return d;
}

ColourDescription PngChunks(const QByteArray& icc) {
    ColourDescription d = WithIcc(icc);
    d.srgbChunk = true;
    d.gamma = 45455;
    d.hasChromaticities = true;
    const quint32 chromaticities[8] = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
    std::copy(std::begin(chromaticities), std::end(chromaticities), d.chromaticities);
    return d;
}

const QByteArray kChunks =
    Chunk("sRGB", QByteArray(1, '\0')) + Chunk("gAMA", Numbers({45455})) +
    Chunk("cHRM", Numbers({31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000}));

ColourDescription Nclx(quint16 primaries) {
    ColourDescription d;
    d.primaries = primaries;
    d.transfer = 13;
    d.matrix = 6;
    d.fullRange = true;
    return d;
}

const Case kCases[] = {
    {"rgb_icc.jpg", [](const QString& f) { return WriteJpeg(f, JCS_RGB, LongBytes()); },
     [] { return WithIcc(LongBytes()); }},
    {"grey_icc.jpg", [](const QString& f) { return WriteJpeg(f, JCS_GRAYSCALE, AdobeRgb()); },
     [] { return WithIcc(AdobeRgb()); }},
    // The inks become RGB by formula: their profile no longer applies.
    {"cmyk_icc.jpg", [](const QString& f) { return WriteJpeg(f, JCS_CMYK, AdobeRgb()); },
     [] { return ColourDescription(); }},
    {"plain.jpg", [](const QString& f) { return WriteJpeg(f, JCS_RGB, QByteArray()); },
     [] { return ColourDescription(); }},
    {"icc_gamma.png",
     [](const QString& f) {
         return WriteFile(f, Png(AdobeRgb(), Chunk("gAMA", Numbers({45455}))));
     },
     [] {
         ColourDescription d = WithIcc(AdobeRgb());
         d.gamma = 45455;
         return d;
     }},
    {"chunks.png", [](const QString& f) { return WriteFile(f, Png(QByteArray(), kChunks)); },
     [] { return PngChunks(QByteArray()); }},
    {"rgb_icc.tif",
     [](const QString& f) {
         return WriteFile(f, FreeImageBytes(FIF_TIFF, 24, 0, AdobeRgb(), false));
     },
     [] { return WithIcc(AdobeRgb()); }},
    {"cmyk_icc.tif",
     [](const QString& f) {
         return WriteFile(f, FreeImageBytes(FIF_TIFF, 32, TIFF_CMYK, AdobeRgb(), true));
     },
     [] { return ColourDescription(); }},
    {"icc.heic", [](const QString& f) { return WriteHeif(f, AdobeRgb(), 0); },
     [] { return WithIcc(AdobeRgb()); }},
    {"p3.heic", [](const QString& f) { return WriteHeif(f, QByteArray(), 12); },
     [] { return Nclx(12); }},
    {"icc.jxl", [](const QString& f) { return WriteJxl(f, AdobeRgb()); },
     [] { return WithIcc(AdobeRgb()); }},
};

void ExpectSame(const ColourDescription& got, const ColourDescription& expected,
                const std::string& what) {
    EXPECT_EQ(got.icc.size(), expected.icc.size()) << what;
    EXPECT_TRUE(got.icc == expected.icc) << what;
    EXPECT_EQ(got.primaries, expected.primaries) << what;
    EXPECT_EQ(got.transfer, expected.transfer) << what;
    EXPECT_EQ(got.matrix, expected.matrix) << what;
    EXPECT_EQ(got.fullRange, expected.fullRange) << what;
    EXPECT_EQ(got.srgbChunk, expected.srgbChunk) << what;
    EXPECT_EQ(got.gamma, expected.gamma) << what;
    EXPECT_EQ(got.hasChromaticities, expected.hasChromaticities) << what;
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(got.chromaticities[i], expected.chromaticities[i]) << what << " " << i;
    }
}

class Description : public testing::TestWithParam<Case> {};

TEST_P(Description, IsWhatTheFileSaysOnEveryRoad) {
    const Case& c = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QString::fromLatin1(c.name));
    ASSERT_TRUE(c.write(file)) << c.name;
    const ColourDescription expected = c.expected();

    ColourDescription whole;
    whole.gamma = 1;  // filled afresh, never added to
    FreeImage_Unload(MFreeImage::LoadImageFile(file, true, &whole));
    ExpectSame(whole, expected, std::string(c.name) + " whole");

    ColourDescription reduced;
    QSize own;
    FreeImage_Unload(MFreeImage::LoadReducedImageFile(file, 6, &own, true, &reduced));
    ExpectSame(reduced, expected, std::string(c.name) + " reduced");

    // The worker's road, where the format has it.
    ColourDescription direct;
    std::vector<uchar> memory;
    MFreeImage::PictureLayout layout;
    const auto target = [&](const MFreeImage::PictureLayout& l) {
        memory.resize(static_cast<size_t>(l.bytesPerLine * l.height));
        return memory.data();
    };
    if (MFreeImage::LoadJpegInto(file, true, &own, &layout, target, &direct) ||
        MFreeImage::LoadHeifJxlInto(file, true, &own, &layout, target, &direct)) {
        ExpectSame(direct, expected, std::string(c.name) + " direct");
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Description, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             QString name = QString::fromLatin1(info.param.name);
                             return name.replace(QLatin1Char('.'), QLatin1Char('_')).toStdString();
                         });

}  // namespace
