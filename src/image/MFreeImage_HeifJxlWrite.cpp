// HEIC and AVIF written by libheif (x265 and aom in the distribution's build), JPEG XL by libjxl,
// at the library defaults their own command-line encoders use, so a save is neither slower nor
// larger than theirs at the same quality.

#include <jxl/encode.h>
#include <jxl/encode_cxx.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>
#include <libheif/heif.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "image/MFreeImage_OwnFormats.h"

namespace MFreeImage::Detail {

namespace {

std::atomic<int> gHeifCompressionForTesting{0};

struct HeifContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HeifEncoderDeleter {
    void operator()(heif_encoder* e) const { heif_encoder_release(e); }
};
struct HeifImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct HeifOptionsDeleter {
    void operator()(heif_encoding_options* o) const { heif_encoding_options_free(o); }
};
struct HeifNclxDeleter {
    void operator()(heif_color_profile_nclx* n) const { heif_nclx_color_profile_free(n); }
};

bool Ok(const heif_error& error) {
    return error.code == heif_error_Ok;
}

heif_error AppendToArray(heif_context*, const void* data, size_t size, void* userdata) {
    try {
        static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data),
                                                   static_cast<qsizetype>(size));
        return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
    } catch (...) {
        return heif_error{heif_error_Encoding_error, heif_suberror_Unspecified, "out of memory"};
    }
}

// cjxl's mapping of a quality to a Butteraugli distance: 90 is distance 1, its default.
float JxlDistance(int quality) {
    if (quality >= 30) {
        return 0.1F + static_cast<float>(100 - quality) * 0.09F;
    }
    return 6.4F + static_cast<float>(std::pow(2.5, (30 - quality) / 5.0) / 6.25);
}

// A libheif image of interleaved R G B (A) rows, copied a row at a time; null when refused.
heif_image* InterleavedImage(const QImage& rgba, bool alpha) {
    const int width = rgba.width();
    const int height = rgba.height();
    heif_image* made = nullptr;
    if (!Ok(heif_image_create(width, height, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              &made))) {
        return nullptr;
    }
    std::unique_ptr<heif_image, HeifImageDeleter> image(made);
    if (!Ok(heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, 8))) {
        return nullptr;
    }
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    const auto rowBytes = static_cast<size_t>(width) * (alpha ? 4 : 3);
    if (plane == nullptr || stride < static_cast<int>(rowBytes)) {
        return nullptr;
    }
    for (int y = 0; y < height; ++y) {
        std::memcpy(plane + static_cast<qsizetype>(stride) * y, rgba.constScanLine(y), rowBytes);
    }
    return image.release();
}

}  // namespace

void SetHeifCompressionForTesting(int compression) {
    gHeifCompressionForTesting = compression;
}

QByteArray EncodeHeif(const QImage& rgba, bool avif, const QByteArray& profile, int quality) {
    const bool alpha = rgba.format() == QImage::Format_RGBA8888;
    std::unique_ptr<heif_context, HeifContextDeleter> context(heif_context_alloc());
    if (!context) {
        return {};
    }
    const int forced = gHeifCompressionForTesting;
    const auto compression = forced != 0 ? static_cast<heif_compression_format>(forced)
                             : avif      ? heif_compression_AV1
                                         : heif_compression_HEVC;
    heif_encoder* rawEncoder = nullptr;
    if (!Ok(heif_context_get_encoder_for_format(context.get(), compression, &rawEncoder)) ||
        rawEncoder == nullptr) {
        return {};  // this build of the library has no such encoder
    }
    const std::unique_ptr<heif_encoder, HeifEncoderDeleter> encoder(rawEncoder);

    // The colour description heif-enc writes by default; lossless keeps RGB as it is (identity
    // matrix, no chroma subsampling), as heif-enc's lossless settings do. This libheif still
    // rounds RGB through its conversion on the way: values come back within 1.
    const std::unique_ptr<heif_color_profile_nclx, HeifNclxDeleter> nclx(
        heif_nclx_color_profile_alloc());
    if (!nclx) {
        return {};
    }
    nclx->color_primaries = heif_color_primaries_ITU_R_BT_709_5;
    nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
    nclx->full_range_flag = 1;
    if (quality >= 100) {
        nclx->matrix_coefficients = heif_matrix_coefficients_RGB_GBR;
        if (!Ok(heif_encoder_set_lossless(encoder.get(), 1)) ||
            !Ok(heif_encoder_set_parameter_string(encoder.get(), "chroma", "444"))) {
            return {};
        }
    } else {
        nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
        if (!Ok(heif_encoder_set_lossy_quality(encoder.get(), quality))) {
            return {};
        }
    }

    const std::unique_ptr<heif_image, HeifImageDeleter> image(InterleavedImage(rgba, alpha));
    if (!image) {
        return {};
    }
    if (!profile.isEmpty() &&
        !Ok(heif_image_set_raw_color_profile(image.get(), "prof", profile.constData(),
                                             static_cast<size_t>(profile.size())))) {
        return {};
    }

    const std::unique_ptr<heif_encoding_options, HeifOptionsDeleter> options(
        heif_encoding_options_alloc());
    if (!options) {
        return {};
    }
    options->output_nclx_profile = nclx.get();
    // With a profile the nclx box still says how YCbCr maps back to RGB.
    options->save_two_colr_boxes_when_ICC_and_nclx_available = 1;
    if (!Ok(heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(),
                                      nullptr))) {
        return {};
    }
    QByteArray bytes;
    heif_writer writer{1, &AppendToArray};
    if (!Ok(heif_context_write(context.get(), &writer, &bytes))) {
        return {};
    }
    return bytes;
}

QByteArray EncodeJxl(const QImage& rgba, const QByteArray& profile, int quality) {
    const bool alpha = rgba.format() == QImage::Format_RGBA8888;
    const bool lossless = quality >= 100;
    const JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    const JxlThreadParallelRunnerPtr runner =
        JxlThreadParallelRunnerMake(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads());
    if (!encoder || !runner ||
        JxlEncoderSetParallelRunner(encoder.get(), JxlThreadParallelRunner, runner.get()) !=
            JXL_ENC_SUCCESS) {
        return {};
    }
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = static_cast<uint32_t>(rgba.width());
    info.ysize = static_cast<uint32_t>(rgba.height());
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.alpha_bits = alpha ? 8 : 0;
    info.num_extra_channels = alpha ? 1 : 0;
    // Lossy pictures go to the XYB space and come back as sRGB; the values of a picture with a
    // profile of its own must come back as they were, in that profile, so they stay in it.
    info.uses_original_profile = lossless || !profile.isEmpty() ? JXL_TRUE : JXL_FALSE;
    if (JxlEncoderSetBasicInfo(encoder.get(), &info) != JXL_ENC_SUCCESS) {
        return {};
    }
    if (!profile.isEmpty()) {
        if (JxlEncoderSetICCProfile(encoder.get(),
                                    reinterpret_cast<const uint8_t*>(profile.constData()),
                                    static_cast<size_t>(profile.size())) != JXL_ENC_SUCCESS) {
            return {};  // a profile the library cannot carry: not written without it
        }
    } else {
        JxlColorEncoding srgb;
        JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
        if (JxlEncoderSetColorEncoding(encoder.get(), &srgb) != JXL_ENC_SUCCESS) {
            return {};
        }
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    if (settings == nullptr ||
        (lossless && JxlEncoderSetFrameLossless(settings, JXL_TRUE) != JXL_ENC_SUCCESS) ||
        JxlEncoderSetFrameDistance(settings, lossless ? 0.0F : JxlDistance(quality)) !=
            JXL_ENC_SUCCESS) {
        return {};
    }
    // QImage pads rows to 4 bytes, exactly as an alignment of 4 does.
    const JxlPixelFormat format{alpha ? 4U : 3U, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
    const auto size = static_cast<size_t>(rgba.bytesPerLine()) * static_cast<size_t>(rgba.height());
    if (JxlEncoderAddImageFrame(settings, &format, rgba.constBits(), size) != JXL_ENC_SUCCESS) {
        return {};
    }
    JxlEncoderCloseInput(encoder.get());
    std::vector<uint8_t> out(size / 4 + 4096);
    uint8_t* next = out.data();
    size_t room = out.size();
    for (;;) {
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder.get(), &next, &room);
        if (status == JXL_ENC_SUCCESS) {
            break;
        }
        if (status != JXL_ENC_NEED_MORE_OUTPUT) {
            return {};
        }
        const auto used = static_cast<size_t>(next - out.data());
        out.resize(out.size() * 2);
        next = out.data() + used;
        room = out.size() - used;
    }
    return QByteArray(reinterpret_cast<const char*>(out.data()),
                      static_cast<qsizetype>(next - out.data()));
}

}  // namespace MFreeImage::Detail
