// HEIF and AVIF through libheif: the primary image (or, for a reduced decode, a thumbnail large
// enough), 8 bits per channel, turned by the file's own irot/imir boxes when asked.

#include <libheif/heif.h>

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "base/NumberedError.h"
#include "image/ColourDescription.h"
#include "image/MFreeImage.h"
#include "image/MFreeImage_Private.h"

namespace MFreeImage::Detail {

namespace {

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
using HeifImagePtr = std::unique_ptr<heif_image, HeifImageDeleter>;
struct HeifOptionsDeleter {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
struct NclxDeleter {
    void operator()(heif_color_profile_nclx* n) const { heif_nclx_color_profile_free(n); }
};

void Check(const heif_error& error) {
    if (error.code != heif_error_Ok) {
        RaiseInvalidPicture();
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

// What the image's colr box says: an ICC profile (prof or rICC) or nclx code points. libheif may
// give nclx defaults for a file without the box; they are kept as given.
void Describe(const heif_image_handle* iHandle, ColourDescription& oColour) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(iHandle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        const size_t size = heif_image_handle_get_raw_color_profile_size(iHandle);
        QByteArray icc(static_cast<qsizetype>(size), Qt::Uninitialized);
        if (size > 0 &&
            heif_image_handle_get_raw_color_profile(iHandle, icc.data()).code == heif_error_Ok) {
            oColour.icc = icc;
        }
        return;
    }
    heif_color_profile_nclx* raw = nullptr;
    if (heif_image_handle_get_nclx_color_profile(iHandle, &raw).code != heif_error_Ok) {
        return;
    }
    const std::unique_ptr<heif_color_profile_nclx, NclxDeleter> nclx(raw);
    if (nclx) {
        oColour.primaries = static_cast<quint16>(nclx->color_primaries);
        oColour.transfer = static_cast<quint16>(nclx->transfer_characteristics);
        oColour.matrix = static_cast<quint16>(nclx->matrix_coefficients);
        oColour.fullRange = nclx->full_range_flag != 0;
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

// One image of the file decoded by libheif to interleaved RGB (RGBA with alpha), turned and
// mirrored by its own irot/imir boxes when iUpright (EXIF orientation inside the file is never
// applied), 8 bits per channel whatever the file holds.
struct Decoded {
    HeifImagePtr image;
    const uint8_t* rows = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
    int channels = 3;
};

Decoded DecodeImage(const heif_image_handle* iHandle, bool iUpright) {
    CheckHandleSize(iHandle);
    const bool alpha = heif_image_handle_has_alpha_channel(iHandle) != 0;
    std::unique_ptr<heif_decoding_options, HeifOptionsDeleter> options(
        heif_decoding_options_alloc());
    if (!options) {
        RaiseInvalidPicture();
    }
    options->ignore_transformations = iUpright ? 0 : 1;
    heif_image* rawImage = nullptr;
    Check(heif_decode_image(iHandle, &rawImage, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                            options.get()));
    Decoded d;
    d.image.reset(rawImage);
    d.rows = heif_image_get_plane_readonly(d.image.get(), heif_channel_interleaved, &d.stride);
    d.width = heif_image_get_width(d.image.get(), heif_channel_interleaved);
    d.height = heif_image_get_height(d.image.get(), heif_channel_interleaved);
    d.channels = alpha ? 4 : 3;
    if (d.rows == nullptr || d.width <= 0 || d.height <= 0 || d.stride < d.width * d.channels) {
        RaiseInvalidPicture();
    }
    CheckSize(static_cast<quint64>(d.width), static_cast<quint64>(d.height));
    return d;
}

BitmapPtr ToBitmap(const Decoded& d) {
    return BitmapPtr(FromRgbRows(d.rows, d.stride, d.width, d.height, d.channels));
}

// The decoded rows copied once into the sink's memory, blue first.
void ToSink(const Decoded& d, PictureSink& ioSink) {
    PictureLayout layout = RgbLayout(d.width, d.height, d.channels);
    uchar all = 0xFF;
    uchar any = 0x00;
    if (d.channels == 4) {
        for (int y = 0; y < d.height; ++y) {
            const uint8_t* alpha = d.rows + static_cast<qsizetype>(d.stride) * y + 3;
            for (int x = 0; x < d.width; ++x, alpha += 4) {
                all &= *alpha;
                any |= *alpha;
            }
        }
    }
    uchar* rows = ioSink.target(layout);
    if (rows == nullptr) {
        RaiseInvalidPicture();
    }
    const auto copy = [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            RgbRowToPicture(d.rows + static_cast<qsizetype>(d.stride) * y,
                            rows + layout.bytesPerLine * y, static_cast<size_t>(d.width),
                            d.channels);
        }
    };
    // A large picture's rows go on two threads: the copy is bound by taking the new pages.
    if (qint64(d.width) * d.height >= (qint64(1) << 20)) {
        const int half = d.height / 2;
        std::thread other(copy, half, d.height);
        copy(0, half);
        other.join();
    } else {
        copy(0, d.height);
    }
    SettleAlpha(layout, all, any, rows);
    ioSink.layout = layout;
}

}  // namespace

FIBITMAP* LoadHeif(const QByteArray& iData, bool iUpright, int iMaxSide, QSize* oOwnSize,
                   ColourDescription* oColour, PictureSink* iSink) {
    std::unique_ptr<heif_context, HeifContextDeleter> context(heif_context_alloc());
    if (!context) {
        RaiseInvalidPicture();
    }
    Check(heif_context_read_from_memory_without_copy(context.get(), iData.constData(),
                                                     static_cast<size_t>(iData.size()), nullptr));
    heif_image_handle* rawHandle = nullptr;
    Check(heif_context_get_primary_image_handle(context.get(), &rawHandle));
    const HeifHandlePtr primary(rawHandle);
    // A picture too large is refused even where a thumbnail would do: it opens nowhere.
    CheckHandleSize(primary.get());
    if (oColour != nullptr) {
        Describe(primary.get(), *oColour);
    }
    if (iMaxSide > 0 && iSink == nullptr) {
        if (const HeifHandlePtr thumbnail = ThumbnailFor(primary.get(), iMaxSide)) {
            BitmapPtr bitmap;
            try {
                bitmap = ToBitmap(DecodeImage(thumbnail.get(), iUpright));
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
    const Decoded decoded = DecodeImage(primary.get(), iUpright);
    if (oOwnSize != nullptr) {
        *oOwnSize = QSize(decoded.width, decoded.height);
    }
    if (iSink != nullptr) {
        ToSink(decoded, *iSink);
        return nullptr;
    }
    return ToBitmap(decoded).release();
}

}  // namespace MFreeImage::Detail
