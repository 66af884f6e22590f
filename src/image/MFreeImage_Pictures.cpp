// Bitmaps and pictures: FreeImage's bottom-up rows turned into Qt's top-down ones and back, the
// one place the two layouts meet.

#include "image/MFreeImage.h"

#include <FreeImage.h>

#include <QImage>
#include <cstring>

#include "image/MFreeImage_Private.h"
#include "image/PixelMemory.h"

namespace MFreeImage {

using namespace Detail;

PictureLayout LayoutOfBitmap(FIBITMAP* b) {
    PictureLayout layout;
    if (b == nullptr || !IsStandardBitmap(b)) {
        return layout;
    }
    const qint64 width = FreeImage_GetWidth(b);
    const qint64 height = FreeImage_GetHeight(b);
    if (width == 0 || height == 0 || TooManyPixels(b)) {
        return layout;
    }
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);
    const unsigned bpp = FreeImage_GetBPP(b);
    switch (bpp) {
        case 1:
            layout.format = QImage::Format_Mono;
            break;
        case 4:
            layout.format = QImage::Format_Indexed8;
            layout.copy = RowCopy::Nibbles;
            break;
        case 8:
            layout.format = QImage::Format_Indexed8;
            break;
        case 16:
            layout.format = FreeImage_GetGreenMask(b) == FI16_565_GREEN_MASK
                                ? QImage::Format_RGB16
                                : QImage::Format_RGB555;
            break;
        case 24:
            layout.format = QImage::Format_BGR888;
            break;
        case 32: {
            // Alpha decides: all opaque is RGB32; all zero is an unused byte (usual in 32-bit
            // BMP), shown opaque rather than as an invisible picture; anything else is ARGB32.
            unsigned char all = 0xFF;
            unsigned char any = 0x00;
            for (int y = 0; y < layout.height; ++y) {
                const BYTE* px = FreeImage_GetScanLine(b, y) + FI_RGBA_ALPHA;
                for (int x = 0; x < layout.width; ++x, px += 4) {
                    all &= *px;
                    any |= *px;
                }
            }
            if (all == 0xFF) {
                layout.format = QImage::Format_RGB32;
            } else if (any == 0x00) {
                layout.format = QImage::Format_RGB32;
                layout.copy = RowCopy::Opaque;
            } else {
                layout.format = QImage::Format_ARGB32;
            }
            break;
        }
        default:
            return PictureLayout();
    }
    // Qt's row length: whole 32-bit words.
    const int depth = bpp == 4 ? 8 : static_cast<int>(bpp);
    layout.bytesPerLine = static_cast<qsizetype>((width * depth + 31) / 32 * 4);
    layout.dotsPerMeterX =
        static_cast<int>(qMin<unsigned>(FreeImage_GetDotsPerMeterX(b), 1u << 30));
    layout.dotsPerMeterY =
        static_cast<int>(qMin<unsigned>(FreeImage_GetDotsPerMeterY(b), 1u << 30));
    if (bpp <= 8) {
        // The palette as FreeImage keeps it, opaque, at full length for the depth so that every
        // index a row can hold names a colour.
        const RGBQUAD* palette = FreeImage_GetPalette(b);
        const unsigned used = FreeImage_GetColorsUsed(b);
        const unsigned entries = 1u << bpp;
        layout.colors.reserve(static_cast<qsizetype>(entries));
        for (unsigned i = 0; i < entries; ++i) {
            layout.colors.append(
                i < used ? qRgb(palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue)
                         : qRgb(0, 0, 0));
        }
    }
    return layout;
}

void CopyPictureRows(FIBITMAP* b, const PictureLayout& layout, int first, int count, uchar* dst,
                     qsizetype dstBytesPerLine) {
    const size_t line = FreeImage_GetLine(b);
    for (int y = first; y < first + count; ++y, dst += dstBytesPerLine) {
        const BYTE* src = FreeImage_GetScanLine(b, layout.height - 1 - y);
        switch (layout.copy) {
            case RowCopy::Plain:
                std::memcpy(dst, src, line);
                break;
            case RowCopy::Nibbles: {
                uchar* out = dst;
                const int pairs = layout.width / 2;
                for (int i = 0; i < pairs; ++i) {
                    *out++ = src[i] >> 4;
                    *out++ = src[i] & 0x0F;
                }
                if (layout.width % 2 != 0) {
                    *out = src[pairs] >> 4;
                }
                break;
            }
            case RowCopy::Opaque: {
                std::memcpy(dst, src, line);
                uchar* alpha = dst + FI_RGBA_ALPHA;
                for (int x = 0; x < layout.width; ++x, alpha += 4) {
                    *alpha = 0xFF;
                }
                break;
            }
        }
    }
}

QImage ImageToPicture(FIBITMAP* iBitmap, bool iFree) {
    BitmapPtr owned(iFree ? iBitmap : nullptr);
    if (iBitmap == nullptr) {
        return QImage();
    }
    EnsureInitialised();
    FIBITMAP* source = iBitmap;
    BitmapPtr converted;
    if (!IsStandardBitmap(source)) {
        converted.reset(ToStandardBitmap(source));
        if (!converted || !IsStandardBitmap(converted.get())) {
            return QImage();
        }
        source = converted.get();
    }
    const PictureLayout layout = LayoutOfBitmap(source);
    if (layout.format == QImage::Format_Invalid) {
        return QImage();
    }
    // CopyPictureRows writes a row's pixel bytes (a nibble row one byte per pixel); the memory
    // may be recycled, so everything after them is cleared by the allocation.
    const qsizetype written = layout.copy == RowCopy::Nibbles
                                  ? qsizetype(layout.width)
                                  : qsizetype(FreeImage_GetLine(source));
    QImage picture = PixelMemory::NewImage(layout.width, layout.height, layout.bytesPerLine,
                                           layout.format, written);
    if (picture.isNull()) {
        return QImage();
    }
    CopyPictureRows(source, layout, 0, layout.height, picture.bits(), picture.bytesPerLine());
    if (!layout.colors.isEmpty()) {
        picture.setColorTable(layout.colors);
    }
    if (layout.dotsPerMeterX > 0 && layout.dotsPerMeterY > 0) {
        picture.setDotsPerMeterX(layout.dotsPerMeterX);
        picture.setDotsPerMeterY(layout.dotsPerMeterY);
    }
    return picture;
}

FIBITMAP* PictureToImage(const QImage& iPicture) {
    if (iPicture.isNull()) {
        return nullptr;
    }
    EnsureInitialised();
    QImage picture = iPicture;
    unsigned bpp = 0;
    unsigned red = 0;
    unsigned green = 0;
    unsigned blue = 0;
    bool forceOpaque = false;
    switch (picture.format()) {
        case QImage::Format_MonoLSB:
            picture = picture.convertToFormat(QImage::Format_Mono);
            bpp = 1;
            break;
        case QImage::Format_Mono:
            bpp = 1;
            break;
        case QImage::Format_Indexed8:
        case QImage::Format_Grayscale8:
            bpp = 8;
            break;
        case QImage::Format_RGB16:
            bpp = 16;
            red = FI16_565_RED_MASK;
            green = FI16_565_GREEN_MASK;
            blue = FI16_565_BLUE_MASK;
            break;
        case QImage::Format_RGB555:
            bpp = 16;
            red = FI16_555_RED_MASK;
            green = FI16_555_GREEN_MASK;
            blue = FI16_555_BLUE_MASK;
            break;
        case QImage::Format_BGR888:
            bpp = 24;
            break;
        case QImage::Format_RGB32:
            // Qt ignores the alpha byte of RGB32; a file must not see a stray value there.
            bpp = 32;
            forceOpaque = true;
            break;
        case QImage::Format_ARGB32:
            bpp = 32;
            break;
        default:
            if (picture.hasAlphaChannel()) {
                picture = picture.convertToFormat(QImage::Format_ARGB32);
                bpp = 32;
            } else {
                picture = picture.convertToFormat(QImage::Format_BGR888);
                bpp = 24;
            }
            break;
    }
    if (picture.isNull()) {
        return nullptr;
    }
    if (bpp == 24 || bpp == 32) {
        red = FI_RGBA_RED_MASK;
        green = FI_RGBA_GREEN_MASK;
        blue = FI_RGBA_BLUE_MASK;
    }
    const int width = picture.width();
    const int height = picture.height();
    BitmapPtr bitmap(FreeImage_Allocate(width, height, static_cast<int>(bpp), red, green, blue));
    if (!bitmap) {
        return nullptr;
    }
    const size_t line = FreeImage_GetLine(bitmap.get());
    for (int y = 0; y < height; ++y) {
        BYTE* dst = FreeImage_GetScanLine(bitmap.get(), height - 1 - y);
        std::memcpy(dst, picture.constScanLine(y), line);
        if (forceOpaque) {
            BYTE* alpha = dst + FI_RGBA_ALPHA;
            for (int x = 0; x < width; ++x, alpha += 4) {
                *alpha = 0xFF;
            }
        }
    }
    if (bpp <= 8) {
        RGBQUAD* palette = FreeImage_GetPalette(bitmap.get());
        const unsigned entries = FreeImage_GetColorsUsed(bitmap.get());
        const QList<QRgb> table = picture.colorTable();
        for (unsigned i = 0; i < entries; ++i) {
            QRgb c = 0;
            if (picture.format() == QImage::Format_Grayscale8) {
                c = qRgb(static_cast<int>(i), static_cast<int>(i), static_cast<int>(i));
            } else if (i < static_cast<unsigned>(table.size())) {
                c = table[static_cast<qsizetype>(i)];
            }
            palette[i].rgbRed = static_cast<BYTE>(qRed(c));
            palette[i].rgbGreen = static_cast<BYTE>(qGreen(c));
            palette[i].rgbBlue = static_cast<BYTE>(qBlue(c));
            palette[i].rgbReserved = 0;
        }
    }
    // Resolution travels with the picture; QImage always has one (96 dpi unless told otherwise).
    FreeImage_SetDotsPerMeterX(bitmap.get(),
                               static_cast<unsigned>(qMax(0, picture.dotsPerMeterX())));
    FreeImage_SetDotsPerMeterY(bitmap.get(),
                               static_cast<unsigned>(qMax(0, picture.dotsPerMeterY())));
    return bitmap.release();
}

}  // namespace MFreeImage
