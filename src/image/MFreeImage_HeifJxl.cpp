// HEIF, AVIF and JPEG XL: formats FreeImage cannot read, decoded by libheif (MFreeImage_Heif.cpp)
// and libjxl (MFreeImage_Jxl.cpp) into the same standard bitmaps as every other file, so that
// reduction, the picture layout and the decode worker treat them as they treat the rest; or, at
// full size, straight into the decode worker's memory in the same format and bytes. What the two
// share is here.

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/NumberedError.h"
#include "image/ColourDescription.h"
#include "image/MFreeImage.h"
#include "image/MFreeImage_Private.h"

namespace MFreeImage {

namespace Detail {

void CheckSize(quint64 width, quint64 height) {
    if (width == 0 || height == 0 || TooManyPixels(width, height)) {
        RaiseInvalidPicture();
    }
}

void RgbRowToPicture(const uint8_t* iSrc, uchar* oDst, size_t iPixels, int iChannels) {
    // FreeImage's 32-bit order on this platform is Qt's ARGB32 in memory: blue, green, red, alpha.
    static_assert(FI_RGBA_BLUE == 0 && FI_RGBA_GREEN == 1 && FI_RGBA_RED == 2 &&
                  FI_RGBA_ALPHA == 3);
    if (iChannels == 4) {
        for (size_t x = 0; x < iPixels; ++x, iSrc += 4, oDst += 4) {
            oDst[0] = iSrc[2];
            oDst[1] = iSrc[1];
            oDst[2] = iSrc[0];
            oDst[3] = iSrc[3];
        }
    } else {
        for (size_t x = 0; x < iPixels; ++x, iSrc += 3, oDst += 3) {
            oDst[0] = iSrc[2];
            oDst[1] = iSrc[1];
            oDst[2] = iSrc[0];
        }
    }
}

// FreeImage keeps its rows bottom-up; the bytes of a row are the picture's.
FIBITMAP* FromRgbRows(const uint8_t* iRows, qsizetype iStride, int iWidth, int iHeight,
                      int iChannels) {
    BitmapPtr bitmap(FreeImage_Allocate(iWidth, iHeight, iChannels * 8, FI_RGBA_RED_MASK,
                                        FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    if (!bitmap) {
        RaiseInvalidPicture();
    }
    for (int y = 0; y < iHeight; ++y) {
        RgbRowToPicture(iRows + iStride * y, FreeImage_GetScanLine(bitmap.get(), iHeight - 1 - y),
                        static_cast<size_t>(iWidth), iChannels);
    }
    return bitmap.release();
}

// A pass flushed at full size from a coarser one is flat over those blocks anyway, and the
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

PictureLayout RgbLayout(int iWidth, int iHeight, int iChannels) {
    // One row of the bitmap FromRgbRows makes: its row length and resolution stay LayoutOfBitmap's.
    BitmapPtr row(FreeImage_Allocate(iWidth, 1, iChannels * 8, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                                     FI_RGBA_BLUE_MASK));
    if (!row) {
        RaiseInvalidPicture();
    }
    PictureLayout layout = LayoutOfBitmap(row.get());
    layout.height = iHeight;
    layout.format = iChannels == 4 ? QImage::Format_ARGB32 : QImage::Format_BGR888;
    layout.copy = RowCopy::Plain;
    return layout;
}

void SettleAlpha(PictureLayout& ioLayout, uchar iAll, uchar iAny, uchar* ioRows) {
    if (ioLayout.format != QImage::Format_ARGB32) {
        return;
    }
    if (iAll == 0xFF) {
        ioLayout.format = QImage::Format_RGB32;
    } else if (iAny == 0x00) {
        ioLayout.format = QImage::Format_RGB32;
        for (int y = 0; y < ioLayout.height; ++y) {
            uchar* alpha = ioRows + ioLayout.bytesPerLine * y + FI_RGBA_ALPHA;
            for (int x = 0; x < ioLayout.width; ++x, alpha += 4) {
                *alpha = 0xFF;
            }
        }
    }
}

namespace {

QString LowerSuffix(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
}

// The file's bytes decoded by the library its name calls for.
FIBITMAP* Load(const QString& fileName, bool upright, int maxSide, QSize* oOwnSize,
               ColourDescription* oColour, PictureSink* iSink) {
    // Only regular files, as for the other formats: a pipe or a device would never end.
    if (!QFileInfo(fileName).isFile()) {
        RaiseInvalidPicture();
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        RaiseInvalidPicture();
    }
    const QByteArray data = file.readAll();
    if (data.isEmpty()) {
        RaiseInvalidPicture();
    }
    if (oColour != nullptr) {
        *oColour = ColourDescription();
    }
    try {
        return LowerSuffix(fileName) == QLatin1String("jxl")
                   ? LoadJxl(data, upright, maxSide, oOwnSize, oColour, iSink)
                   : LoadHeif(data, upright, maxSide, oOwnSize, oColour, iSink);
    } catch (const NumberedError&) {
        throw;
    } catch (...) {
        // Memory refused, or anything a decoder throws on a damaged file.
        RaiseInvalidPicture();
    }
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

FIBITMAP* LoadHeifJxl(const QString& fileName, bool upright, int maxSide, QSize* oOwnSize,
                      ColourDescription* oColour) {
    return Load(fileName, upright, maxSide, oOwnSize, oColour, nullptr);
}

}  // namespace Detail

using namespace Detail;

bool LoadHeifJxlInto(const QString& iFileName, bool iUpright, QSize* oOwnSize,
                     PictureLayout* oLayout,
                     const std::function<uchar*(const PictureLayout&)>& iTarget,
                     ColourDescription* oColour) {
    if (!IsHeifJxlName(iFileName)) {
        return false;
    }
    PictureSink sink{iTarget, PictureLayout()};
    QSize own;
    BitmapPtr unexpected(Load(iFileName, iUpright, 0, &own, oColour, &sink));
    if (unexpected || sink.layout.format == QImage::Format_Invalid) {
        RaiseInvalidPicture();
    }
    if (oOwnSize != nullptr) {
        *oOwnSize = own;
    }
    *oLayout = sink.layout;
    return true;
}

}  // namespace MFreeImage
