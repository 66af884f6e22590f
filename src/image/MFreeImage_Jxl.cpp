// JPEG XL through libjxl: the first frame (of an animation too), 8 bits per channel, turned by
// the file's orientation when asked; a lossy file's DC pass for a small enough reduced decode.

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>

#include <QByteArray>
#include <cstdint>
#include <utility>
#include <vector>

#include "image/ColourDescription.h"
#include "image/MFreeImage.h"
#include "image/MFreeImage_Private.h"

namespace MFreeImage::Detail {

namespace {

// The rows libjxl wrote into a sink's memory in its own order (red first) turned into the
// picture's, in place, one row at a time while it is in the cache; the alpha bytes ANDed and ORed
// for SettleAlpha.
void ToPictureOrder(uchar* ioRows, const PictureLayout& iLayout, int iChannels, uchar& oAll,
                    uchar& oAny) {
    uchar all = 0xFF;
    uchar any = 0x00;
    for (int y = 0; y < iLayout.height; ++y) {
        uchar* p = ioRows + iLayout.bytesPerLine * y;
        for (int x = 0; x < iLayout.width; ++x, p += iChannels) {
            std::swap(p[0], p[2]);
        }
        if (iChannels == 4) {
            const uchar* alpha = ioRows + iLayout.bytesPerLine * y + 3;
            for (int x = 0; x < iLayout.width; ++x, alpha += 4) {
                all &= *alpha;
                any |= *alpha;
            }
        }
    }
    oAll = all;
    oAny = any;
}

// The profile of the pixels as the decoder hands them out.
void Describe(const JxlDecoder* iDecoder, ColourDescription& oColour) {
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(iDecoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0) {
        return;
    }
    QByteArray icc(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (JxlDecoderGetColorAsICCProfile(iDecoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       reinterpret_cast<uint8_t*>(icc.data()),
                                       size) == JXL_DEC_SUCCESS) {
        oColour.icc = icc;
    }
}

}  // namespace

// For iMaxSide > 0 no more than 1/8 of the longer side, a lossy file's DC pass is enough: flushed,
// it spares decoding the rest of the frame.
FIBITMAP* LoadJxl(const QByteArray& iData, bool iUpright, int iMaxSide, QSize* oOwnSize,
                  ColourDescription* oColour, PictureSink* iSink) {
    if (iSink != nullptr) {
        iMaxSide = 0;
    }
    JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    const int events = JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE |
                       (oColour != nullptr ? JXL_DEC_COLOR_ENCODING : 0) |
                       (iMaxSide > 0 ? JXL_DEC_FRAME_PROGRESSION : 0);
    if (!decoder || JxlDecoderSubscribeEvents(decoder.get(), events) != JXL_DEC_SUCCESS ||
        (iMaxSide > 0 && JxlDecoderSetProgressiveDetail(decoder.get(), kDC) != JXL_DEC_SUCCESS) ||
        JxlDecoderSetKeepOrientation(decoder.get(), iUpright ? JXL_FALSE : JXL_TRUE) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(decoder.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(iData.constData()),
                           static_cast<size_t>(iData.size())) != JXL_DEC_SUCCESS) {
        RaiseInvalidPicture();
    }
    JxlDecoderCloseInput(decoder.get());
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    quint64 width = 0;
    quint64 height = 0;
    std::vector<uint8_t> pixels;
    uchar* sinkRows = nullptr;
    const auto stride = [&] { return static_cast<qsizetype>(width * format.num_channels); };
    for (;;) {
        switch (JxlDecoderProcessInput(decoder.get())) {
            case JXL_DEC_BASIC_INFO: {
                JxlBasicInfo info{};
                if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) {
                    RaiseInvalidPicture();
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
            case JXL_DEC_COLOR_ENCODING:
                Describe(decoder.get(), *oColour);
                break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
                if (iSink != nullptr) {
                    // Straight into the sink: Qt's row length is libjxl's rounded to 4 bytes.
                    if (sinkRows != nullptr) {
                        RaiseInvalidPicture();  // one frame only
                    }
                    const int channels = static_cast<int>(format.num_channels);
                    iSink->layout =
                        RgbLayout(static_cast<int>(width), static_cast<int>(height), channels);
                    format.align = 4;
                    const size_t size = static_cast<size_t>(iSink->layout.bytesPerLine) *
                                        static_cast<size_t>(height);
                    size_t needed = 0;
                    if (JxlDecoderImageOutBufferSize(decoder.get(), &format, &needed) !=
                            JXL_DEC_SUCCESS ||
                        needed > size || (sinkRows = iSink->target(iSink->layout)) == nullptr ||
                        JxlDecoderSetImageOutBuffer(decoder.get(), &format, sinkRows, size) !=
                            JXL_DEC_SUCCESS) {
                        RaiseInvalidPicture();
                    }
                    break;
                }
                const size_t wanted = static_cast<size_t>(width * height * format.num_channels);
                size_t size = 0;
                if (JxlDecoderImageOutBufferSize(decoder.get(), &format, &size) !=
                        JXL_DEC_SUCCESS ||
                    size != wanted) {
                    RaiseInvalidPicture();
                }
                pixels.resize(size);
                if (JxlDecoderSetImageOutBuffer(decoder.get(), &format, pixels.data(), size) !=
                    JXL_DEC_SUCCESS) {
                    RaiseInvalidPicture();
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
                if (iSink != nullptr) {
                    if (sinkRows == nullptr) {
                        RaiseInvalidPicture();
                    }
                    uchar all = 0xFF;
                    uchar any = 0x00;
                    ToPictureOrder(sinkRows, iSink->layout, static_cast<int>(format.num_channels),
                                   all, any);
                    SettleAlpha(iSink->layout, all, any, sinkRows);
                    return nullptr;
                }
                if (pixels.empty()) {
                    RaiseInvalidPicture();
                }
                return FromRgbRows(pixels.data(), stride(), static_cast<int>(width),
                                   static_cast<int>(height), static_cast<int>(format.num_channels));
            default:
                // An error, more input wanted from a truncated file, or the end without a frame.
                RaiseInvalidPicture();
        }
    }
}

}  // namespace MFreeImage::Detail
