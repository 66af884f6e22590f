// HEIF, AVIF and JPEG XL: formats FreeImage cannot read, decoded by libheif and libjxl into the
// same standard bitmaps as every other file, so that reduction, the picture layout and the decode
// worker treat them as they treat the rest.

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <libheif/heif.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
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
    if (width == 0 || height == 0 || TooManyPixels(width, height)) {
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

// A new bitmap 1/iFactor the size (rounded up) of such rows, each pixel the mean of the block it
// covers: a pass flushed at full size from a coarser one is flat over those blocks anyway, and the
// caller's scaling of a far smaller bitmap costs next to nothing.
FIBITMAP* ShrunkFromRgbRows(const uint8_t* iRows, qsizetype iStride, int iWidth, int iHeight,
                            int iChannels, int iFactor) {
    const int outWidth = (iWidth + iFactor - 1) / iFactor;
    const int outHeight = (iHeight + iFactor - 1) / iFactor;
    const qsizetype outStride = static_cast<qsizetype>(outWidth) * iChannels;
    std::vector<uint8_t> out(static_cast<size_t>(outStride) * outHeight);
    std::vector<quint32> sums(static_cast<size_t>(outStride));
    for (int oy = 0; oy < outHeight; ++oy) {
        const int top = oy * iFactor;
        const int rows = qMin(iHeight - top, iFactor);
        std::fill(sums.begin(), sums.end(), 0);
        for (int y = top; y < top + rows; ++y) {
            const uint8_t* src = iRows + iStride * y;
            const uint8_t* const end = src + static_cast<qsizetype>(iWidth) * iChannels;
            quint32* sum = sums.data();
            while (src != end) {
                const uint8_t* const blockEnd =
                    src + qMin<qsizetype>(end - src, static_cast<qsizetype>(iFactor) * iChannels);
                for (; src != blockEnd; src += iChannels) {
                    for (int c = 0; c < iChannels; ++c) {
                        sum[c] += src[c];
                    }
                }
                sum += iChannels;
            }
        }
        uint8_t* dst = out.data() + outStride * oy;
        const quint32* sum = sums.data();
        for (int ox = 0; ox < outWidth; ++ox, sum += iChannels, dst += iChannels) {
            const auto count = static_cast<quint32>(rows * qMin(iWidth - ox * iFactor, iFactor));
            for (int c = 0; c < iChannels; ++c) {
                dst[c] = static_cast<uint8_t>((sum[c] + count / 2) / count);
            }
        }
    }
    return FromRgbRows(out.data(), outStride, outWidth, outHeight, iChannels);
}

// iSize with its sides ordered as iLike's are (wide or tall); as it is when iLike is square.
QSize OrientedLike(QSize iSize, QSize iLike) {
    const bool wide = iLike.width() > iLike.height();
    const bool tall = iLike.width() < iLike.height();
    return (wide && iSize.width() < iSize.height()) || (tall && iSize.width() > iSize.height())
               ? iSize.transposed()
               : iSize;
}

struct HeifContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HeifHandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
using HeifHandlePtr = std::unique_ptr<heif_image_handle, HeifHandleDeleter>;
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

QSize HandleSize(const heif_image_handle* iHandle) {
    return QSize(heif_image_handle_get_width(iHandle), heif_image_handle_get_height(iHandle));
}

// Refuses an image whose size, as libheif gives it or as its ispe box declares it (what a decode
// allocates before any cropping), is empty or above the pixel limit.
void CheckHandleSize(const heif_image_handle* iHandle) {
    const auto check = [](int width, int height) {
        CheckSize(static_cast<quint64>(qMax(0, width)), static_cast<quint64>(qMax(0, height)));
    };
    check(heif_image_handle_get_width(iHandle), heif_image_handle_get_height(iHandle));
    const int ispeWidth = heif_image_handle_get_ispe_width(iHandle);
    const int ispeHeight = heif_image_handle_get_ispe_height(iHandle);
    if (ispeWidth != 0 || ispeHeight != 0) {
        check(ispeWidth, ispeHeight);
    }
}

// The smallest thumbnail of iPrimary whose longer side is at least iMaxSide and that is smaller
// than iPrimary itself; null when there is none.
HeifHandlePtr ThumbnailFor(const heif_image_handle* iPrimary, int iMaxSide) {
    const int count = heif_image_handle_get_number_of_thumbnails(iPrimary);
    if (count <= 0) {
        return nullptr;
    }
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    const int listed = heif_image_handle_get_list_of_thumbnail_IDs(iPrimary, ids.data(), count);
    const QSize primary = HandleSize(iPrimary);
    int bestSide = qMax(primary.width(), primary.height());
    HeifHandlePtr best;
    for (int i = 0; i < listed; ++i) {
        heif_image_handle* raw = nullptr;
        if (heif_image_handle_get_thumbnail(iPrimary, ids[static_cast<size_t>(i)], &raw).code !=
            heif_error_Ok) {
            continue;
        }
        HeifHandlePtr thumbnail(raw);
        const QSize size = HandleSize(thumbnail.get());
        const int side = qMax(size.width(), size.height());
        if (side >= iMaxSide && side < bestSide) {
            best = std::move(thumbnail);
            bestSide = side;
        }
    }
    return best;
}

// One image of the file, turned and mirrored by its own irot/imir boxes when iUpright (EXIF
// orientation inside the file is never applied), 8 bits per channel whatever the file holds.
BitmapPtr DecodeHeifImage(const heif_image_handle* iHandle, bool iUpright) {
    CheckHandleSize(iHandle);
    const bool alpha = heif_image_handle_has_alpha_channel(iHandle) != 0;
    std::unique_ptr<heif_decoding_options, HeifOptionsDeleter> options(
        heif_decoding_options_alloc());
    if (!options) {
        Refuse();
    }
    options->ignore_transformations = iUpright ? 0 : 1;
    heif_image* rawImage = nullptr;
    Check(heif_decode_image(iHandle, &rawImage, heif_colorspace_RGB,
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
    return BitmapPtr(FromRgbRows(rows, stride, outWidth, outHeight, channels));
}

// The primary image, or for iMaxSide > 0 its smallest thumbnail at least that large where the file
// has one.
FIBITMAP* LoadHeif(const QByteArray& iData, bool iUpright, int iMaxSide, QSize* oOwnSize) {
    std::unique_ptr<heif_context, HeifContextDeleter> context(heif_context_alloc());
    if (!context) {
        Refuse();
    }
    Check(heif_context_read_from_memory_without_copy(context.get(), iData.constData(),
                                                     static_cast<size_t>(iData.size()), nullptr));
    heif_image_handle* rawHandle = nullptr;
    Check(heif_context_get_primary_image_handle(context.get(), &rawHandle));
    const HeifHandlePtr primary(rawHandle);
    // A picture too large is refused even where a thumbnail would do: it opens nowhere.
    CheckHandleSize(primary.get());
    if (iMaxSide > 0) {
        if (const HeifHandlePtr thumbnail = ThumbnailFor(primary.get(), iMaxSide)) {
            BitmapPtr bitmap;
            try {
                bitmap = DecodeHeifImage(thumbnail.get(), iUpright);
            } catch (const NumberedError&) {
                // A damaged thumbnail: the primary image still serves.
            }
            if (bitmap) {
                // libheif's size of an image is turned or not depending on the order of the
                // file's boxes; the thumbnail, decoded the same way, shows how the picture stands.
                if (oOwnSize != nullptr) {
                    *oOwnSize = OrientedLike(HandleSize(primary.get()), BitmapSize(bitmap.get()));
                }
                return bitmap.release();
            }
        }
    }
    BitmapPtr bitmap = DecodeHeifImage(primary.get(), iUpright);
    if (oOwnSize != nullptr) {
        *oOwnSize = BitmapSize(bitmap.get());
    }
    return bitmap.release();
}

// The first frame (of an animation too), turned by the file's orientation when iUpright. For
// iMaxSide > 0 no more than 1/8 of the longer side, a lossy file's DC pass is enough: flushed, it
// spares decoding the rest of the frame.
FIBITMAP* LoadJxl(const QByteArray& iData, bool iUpright, int iMaxSide, QSize* oOwnSize) {
    JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    const int events =
        JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE | (iMaxSide > 0 ? JXL_DEC_FRAME_PROGRESSION : 0);
    if (!decoder || JxlDecoderSubscribeEvents(decoder.get(), events) != JXL_DEC_SUCCESS ||
        (iMaxSide > 0 && JxlDecoderSetProgressiveDetail(decoder.get(), kDC) != JXL_DEC_SUCCESS) ||
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
    const auto stride = [&] { return static_cast<qsizetype>(width * format.num_channels); };
    for (;;) {
        switch (JxlDecoderProcessInput(decoder.get())) {
            case JXL_DEC_BASIC_INFO: {
                JxlBasicInfo info{};
                if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) {
                    Refuse();
                }
                // The size as the pixels come out: libjxl gives it turned when it turns them.
                width = info.xsize;
                height = info.ysize;
                CheckSize(width, height);
                if (oOwnSize != nullptr) {
                    *oOwnSize = QSize(static_cast<int>(width), static_cast<int>(height));
                }
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
            case JXL_DEC_FRAME_PROGRESSION: {
                const size_t ratio = JxlDecoderGetIntendedDownsamplingRatio(decoder.get());
                if (ratio > 1 && !pixels.empty() &&
                    static_cast<quint64>(iMaxSide) * ratio <= qMax(width, height) &&
                    JxlDecoderFlushImage(decoder.get()) == JXL_DEC_SUCCESS) {
                    return ShrunkFromRgbRows(
                        pixels.data(), stride(), static_cast<int>(width), static_cast<int>(height),
                        static_cast<int>(format.num_channels), static_cast<int>(ratio));
                }
                break;  // too coarse for the size asked: on to the full frame
            }
            case JXL_DEC_FULL_IMAGE:
                if (pixels.empty()) {
                    Refuse();
                }
                return FromRgbRows(pixels.data(), stride(), static_cast<int>(width),
                                   static_cast<int>(height), static_cast<int>(format.num_channels));
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

const QStringList& HeifJxlExtensions() {
    static const QStringList kExtensions{QStringLiteral("heic"), QStringLiteral("heif"),
                                         QStringLiteral("avif"), QStringLiteral("jxl")};
    return kExtensions;
}

bool IsHeifJxlName(const QString& fileName) {
    return HeifJxlExtensions().contains(LowerSuffix(fileName));
}

FIBITMAP* LoadHeifJxl(const QString& fileName, bool upright, int maxSide, QSize* oOwnSize) {
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
        return LowerSuffix(fileName) == QLatin1String("jxl")
                   ? LoadJxl(data, upright, maxSide, oOwnSize)
                   : LoadHeif(data, upright, maxSide, oOwnSize);
    } catch (const NumberedError&) {
        throw;
    } catch (...) {
        // Memory refused, or anything a decoder throws on a damaged file.
        Refuse();
    }
}

}  // namespace MFreeImage::Detail
