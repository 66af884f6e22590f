// WebP in and out through libwebp: read into the same standard bitmaps as every other file, its
// ICC profile handed on; written at the quality asked, lossless at 100, the profile in an ICCP
// chunk.

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <memory>

#include "base/NumberedError.h"
#include "image/ColourDescription.h"
#include "image/MFreeImage.h"
#include "image/MFreeImage_OwnFormats.h"
#include "image/MFreeImage_Private.h"

namespace MFreeImage::Detail {

namespace {

struct DemuxDeleter {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};
struct MuxDeleter {
    void operator()(WebPMux* m) const { WebPMuxDelete(m); }
};

// libwebp's byte order for FreeImage's pixels.
#if FREEIMAGE_COLORORDER == FREEIMAGE_COLORORDER_BGR
constexpr WEBP_CSP_MODE kMode24 = MODE_BGR;
constexpr WEBP_CSP_MODE kMode32 = MODE_BGRA;
#else
constexpr WEBP_CSP_MODE kMode24 = MODE_RGB;
constexpr WEBP_CSP_MODE kMode32 = MODE_RGBA;
#endif

BitmapPtr Allocate(int width, int height, int bpp) {
    BitmapPtr bitmap(FreeImage_Allocate(width, height, bpp, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                                        FI_RGBA_BLUE_MASK));
    if (!bitmap) {
        RaiseInvalidPicture();
    }
    return bitmap;
}

// An animation's first frame as it is shown: composed on the canvas by libwebp.
BitmapPtr FirstFrame(const WebPData& webp, int width, int height, bool alpha) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        RaiseInvalidPicture();
    }
    options.color_mode = kMode32;
    const std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(
        WebPAnimDecoderNew(&webp, &options));
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!decoder || !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) ||
        canvas == nullptr) {
        RaiseInvalidPicture();
    }
    BitmapPtr bitmap = Allocate(width, height, 32);
    const auto rowBytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        std::memcpy(FreeImage_GetScanLine(bitmap.get(), height - 1 - y),
                    canvas + rowBytes * static_cast<size_t>(y), rowBytes);
    }
    if (!alpha) {
        bitmap.reset(FreeImage_ConvertTo24Bits(bitmap.get()));
        if (!bitmap) {
            RaiseInvalidPicture();
        }
    }
    return bitmap;
}

// A still picture decoded straight into the bitmap's rows (turned over by libwebp), scaled by
// libwebp to size when that differs from the picture's own.
BitmapPtr Still(const WebPData& webp, QSize size) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config) ||
        WebPGetFeatures(webp.bytes, webp.size, &config.input) != VP8_STATUS_OK) {
        RaiseInvalidPicture();
    }
    const bool alpha = config.input.has_alpha != 0;
    BitmapPtr bitmap = Allocate(size.width(), size.height(), alpha ? 32 : 24);
    if (size != QSize(config.input.width, config.input.height)) {
        config.options.use_scaling = 1;
        config.options.scaled_width = size.width();
        config.options.scaled_height = size.height();
    }
    config.options.flip = 1;  // FreeImage keeps the bottom row first
    config.output.colorspace = alpha ? kMode32 : kMode24;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = FreeImage_GetBits(bitmap.get());
    config.output.u.RGBA.stride = static_cast<int>(FreeImage_GetPitch(bitmap.get()));
    config.output.u.RGBA.size =
        static_cast<size_t>(FreeImage_GetPitch(bitmap.get())) * static_cast<size_t>(size.height());
    const VP8StatusCode status = WebPDecode(webp.bytes, webp.size, &config);
    WebPFreeDecBuffer(&config.output);  // external memory: frees nothing of the bitmap's
    if (status != VP8_STATUS_OK) {
        RaiseInvalidPicture();
    }
    return bitmap;
}

}  // namespace

bool IsWebpName(const QString& fileName) {
    return OwnFormatOfName(fileName) == OwnFormat::Webp;
}

FIBITMAP* LoadWebp(const QByteArray& data, int maxSide, QSize* oOwnSize,
                   ColourDescription* oColour) {
    const WebPData webp{reinterpret_cast<const uint8_t*>(data.constData()),
                        static_cast<size_t>(data.size())};
    // The demuxer refuses a file cut short, which the decoders would partly show.
    const std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&webp));
    if (!demux) {
        RaiseInvalidPicture();
    }
    const uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    const uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    const uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
    if (width == 0 || height == 0 || TooManyPixels(width, height)) {
        RaiseInvalidPicture();
    }
    const QSize own(static_cast<int>(width), static_cast<int>(height));
    if (oColour != nullptr && (flags & ICCP_FLAG) != 0) {
        WebPChunkIterator chunk;
        if (WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) {
            oColour->icc = QByteArray(reinterpret_cast<const char*>(chunk.chunk.bytes),
                                      static_cast<qsizetype>(chunk.chunk.size));
            WebPDemuxReleaseChunkIterator(&chunk);
        }
    }
    BitmapPtr bitmap = (flags & ANIMATION_FLAG) != 0
                           ? FirstFrame(webp, own.width(), own.height(), (flags & ALPHA_FLAG) != 0)
                           : Still(webp, ReducedSize(own, maxSide));
    if (oOwnSize != nullptr) {
        *oOwnSize = own;
    }
    return bitmap.release();
}

FIBITMAP* LoadWebpFile(const QString& fileName, int maxSide, QSize* oOwnSize,
                       ColourDescription* oColour) {
    // Only regular files, as for the other formats: a pipe or a device would never end.
    if (!QFileInfo(fileName).isFile()) {
        RaiseInvalidPicture();
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        RaiseInvalidPicture();
    }
    try {
        const QByteArray data = file.readAll();
        return LoadWebp(data, maxSide, oOwnSize, oColour);
    } catch (const NumberedError&) {
        throw;
    } catch (...) {
        RaiseInvalidPicture();  // memory refused
    }
}

QByteArray EncodeWebp(const QImage& rgba, const QByteArray& profile, int quality) {
    const bool alpha = rgba.format() == QImage::Format_RGBA8888;
    WebPConfig config;
    if (!WebPConfigInit(&config)) {
        return {};
    }
    if (quality >= 100) {
        // Effort as the library's defaults (quality 75, method 4); exact keeps the colour of
        // fully transparent pixels too: lossless means every value back.
        config.lossless = 1;
        config.exact = 1;
    } else {
        config.quality = static_cast<float>(quality);
    }
    WebPPicture picture;
    if (!WebPValidateConfig(&config) || !WebPPictureInit(&picture)) {
        return {};
    }
    picture.use_argb = config.lossless;
    picture.width = rgba.width();
    picture.height = rgba.height();
    const int stride = static_cast<int>(rgba.bytesPerLine());
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool encoded = (alpha ? WebPPictureImportRGBA(&picture, rgba.constBits(), stride)
                                : WebPPictureImportRGB(&picture, rgba.constBits(), stride)) &&
                         WebPEncode(&config, &picture);
    WebPPictureFree(&picture);
    QByteArray bytes;
    try {
        if (encoded && profile.isEmpty()) {
            bytes = QByteArray(reinterpret_cast<const char*>(writer.mem),
                               static_cast<qsizetype>(writer.size));
        } else if (encoded) {
            const std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxNew());
            const WebPData image{writer.mem, writer.size};
            const WebPData icc{reinterpret_cast<const uint8_t*>(profile.constData()),
                               static_cast<size_t>(profile.size())};
            WebPData assembled;
            WebPDataInit(&assembled);
            if (mux && WebPMuxSetImage(mux.get(), &image, 0) == WEBP_MUX_OK &&
                WebPMuxSetChunk(mux.get(), "ICCP", &icc, 0) == WEBP_MUX_OK &&
                WebPMuxAssemble(mux.get(), &assembled) == WEBP_MUX_OK) {
                bytes = QByteArray(reinterpret_cast<const char*>(assembled.bytes),
                                   static_cast<qsizetype>(assembled.size));
            }
            WebPDataClear(&assembled);
        }
    } catch (...) {
        bytes.clear();  // out of memory
    }
    WebPMemoryWriterClear(&writer);
    return bytes;
}

}  // namespace MFreeImage::Detail
