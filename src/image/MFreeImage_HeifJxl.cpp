// HEIF, AVIF and JPEG XL: formats FreeImage cannot read, decoded by libheif and libjxl into the
// same standard bitmaps as every other file, so that reduction, the picture layout and the decode
// worker treat them as they treat the rest.

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <libheif/heif.h>

#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/NumberedError.h"
#include "image/MFreeImage.h"
#include "image/MFreeImage_Private.h"

namespace MFreeImage::Detail {

namespace {

[[noreturn]] void Refuse() {
    RaiseInvalidPicture();
}

// Refuses a size in pixels that is empty or above the pixel limit, before any pixel is decoded.
void CheckSize(quint64 width, quint64 height) {
    if (width == 0 || height == 0 || height > static_cast<quint64>(kMaxPicturePixels) / width) {
        Refuse();
    }
}

// A new 24-bit (3 channels) or 32-bit (4) bitmap from interleaved 8-bit R G B (A) rows, top row
// first, iStride bytes apart. FreeImage keeps its rows bottom-up and its channels in its own
// order, so the bytes are placed one by one.
FIBITMAP* FromRgbRows(const uint8_t* iRows, qsizetype iStride, int iWidth, int iHeight,
                      int iChannels) {
    BitmapPtr bitmap(FreeImage_Allocate(iWidth, iHeight, iChannels * 8, FI_RGBA_RED_MASK,
                                        FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    if (!bitmap) {
        Refuse();
    }
    for (int y = 0; y < iHeight; ++y) {
        const uint8_t* src = iRows + iStride * y;
        BYTE* dst = FreeImage_GetScanLine(bitmap.get(), iHeight - 1 - y);
        for (int x = 0; x < iWidth; ++x, src += iChannels, dst += iChannels) {
            dst[FI_RGBA_RED] = src[0];
            dst[FI_RGBA_GREEN] = src[1];
            dst[FI_RGBA_BLUE] = src[2];
            if (iChannels == 4) {
                dst[FI_RGBA_ALPHA] = src[3];
            }
        }
    }
    return bitmap.release();
}

struct HeifContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HeifHandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct HeifImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct HeifOptionsDeleter {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

void Check(const heif_error& error) {
    if (error.code != heif_error_Ok) {
        Refuse();
    }
}

// The primary image, turned and mirrored by its irot/imir boxes when iUpright (EXIF orientation
// inside the file is never applied), 8 bits per channel whatever the file holds.
FIBITMAP* LoadHeif(const QByteArray& iData, bool iUpright) {
    std::unique_ptr<heif_context, HeifContextDeleter> context(heif_context_alloc());
    if (!context) {
        Refuse();
    }
    Check(heif_context_read_from_memory_without_copy(context.get(), iData.constData(),
                                                     static_cast<size_t>(iData.size()), nullptr));
    heif_image_handle* rawHandle = nullptr;
    Check(heif_context_get_primary_image_handle(context.get(), &rawHandle));
    std::unique_ptr<heif_image_handle, HeifHandleDeleter> handle(rawHandle);
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    CheckSize(static_cast<quint64>(qMax(0, width)), static_cast<quint64>(qMax(0, height)));
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;

    std::unique_ptr<heif_decoding_options, HeifOptionsDeleter> options(
        heif_decoding_options_alloc());
    if (!options) {
        Refuse();
    }
    options->ignore_transformations = iUpright ? 0 : 1;
    heif_image* rawImage = nullptr;
    Check(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                            options.get()));
    std::unique_ptr<heif_image, HeifImageDeleter> image(rawImage);
    int stride = 0;
    const uint8_t* rows =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int outWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int outHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
    const int channels = alpha ? 4 : 3;
    if (rows == nullptr || outWidth <= 0 || outHeight <= 0 || stride < outWidth * channels) {
        Refuse();
    }
    CheckSize(static_cast<quint64>(outWidth), static_cast<quint64>(outHeight));
    return FromRgbRows(rows, stride, outWidth, outHeight, channels);
}

// The first frame (of an animation too), turned by the file's orientation when iUpright.
FIBITMAP* LoadJxl(const QByteArray& iData, bool iUpright) {
    JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    if (!decoder ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(decoder.get(), iUpright ? JXL_FALSE : JXL_TRUE) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(decoder.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(iData.constData()),
                           static_cast<size_t>(iData.size())) != JXL_DEC_SUCCESS) {
        Refuse();
    }
    JxlDecoderCloseInput(decoder.get());
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    quint64 width = 0;
    quint64 height = 0;
    std::vector<uint8_t> pixels;
    for (;;) {
        switch (JxlDecoderProcessInput(decoder.get())) {
            case JXL_DEC_BASIC_INFO: {
                JxlBasicInfo info{};
                if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) {
                    Refuse();
                }
                width = info.xsize;
                height = info.ysize;
                if (iUpright && info.orientation >= JXL_ORIENT_TRANSPOSE) {
                    std::swap(width, height);  // the stored size, turned a quarter
                }
                CheckSize(width, height);
                format.num_channels = info.alpha_bits > 0 ? 4 : 3;
                break;
            }
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
                const size_t wanted = static_cast<size_t>(width * height * format.num_channels);
                size_t size = 0;
                if (JxlDecoderImageOutBufferSize(decoder.get(), &format, &size) !=
                        JXL_DEC_SUCCESS ||
                    size != wanted) {
                    Refuse();
                }
                pixels.resize(size);
                if (JxlDecoderSetImageOutBuffer(decoder.get(), &format, pixels.data(), size) !=
                    JXL_DEC_SUCCESS) {
                    Refuse();
                }
                break;
            }
            case JXL_DEC_FULL_IMAGE:
                if (pixels.empty()) {
                    Refuse();
                }
                return FromRgbRows(pixels.data(),
                                   static_cast<qsizetype>(width * format.num_channels),
                                   static_cast<int>(width), static_cast<int>(height),
                                   static_cast<int>(format.num_channels));
            default:
                // An error, more input wanted from a truncated file, or the end without a frame.
                Refuse();
        }
    }
}

QString LowerSuffix(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
}

}  // namespace

bool IsHeifJxlName(const QString& fileName) {
    const QString suffix = LowerSuffix(fileName);
    return suffix == QLatin1String("heic") || suffix == QLatin1String("heif") ||
           suffix == QLatin1String("avif") || suffix == QLatin1String("jxl");
}

FIBITMAP* LoadHeifJxl(const QString& fileName, bool upright, int maxSide, QSize* oOwnSize) {
    Q_UNUSED(maxSide)
    Q_UNUSED(oOwnSize)
    // Only regular files, as for the other formats: a pipe or a device would never end.
    if (!QFileInfo(fileName).isFile()) {
        Refuse();
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        Refuse();
    }
    const QByteArray data = file.readAll();
    if (data.isEmpty()) {
        Refuse();
    }
    try {
        return LowerSuffix(fileName) == QLatin1String("jxl") ? LoadJxl(data, upright)
                                                             : LoadHeif(data, upright);
    } catch (const NumberedError&) {
        throw;
    } catch (...) {
        // Memory refused, or anything a decoder throws on a damaged file.
        Refuse();
    }
}

}  // namespace MFreeImage::Detail
