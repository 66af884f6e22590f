#include "image/MFreeImage_Private.h"
#include "image/PngEncoder.h"

namespace MFreeImage::Detail {
namespace {

// The bitmap as the PNG encoder reads it, with the colour type the library's own writer would
// choose: greyscale for a black-to-white ramp without transparency, RGB for 32 bits whose alpha
// is opaque everywhere. False for a bitmap it does not describe.
bool DescribeForPng(FIBITMAP* b, PngEncoder::Source& s) {
    if (FreeImage_GetImageType(b) != FIT_BITMAP || !FreeImage_HasPixels(b)) {
        return false;
    }
    const unsigned bpp = FreeImage_GetBPP(b);
    switch (bpp) {
        case 1:
            s.layout = PngEncoder::Layout::Index1;
            break;
        case 4:
            s.layout = PngEncoder::Layout::Index4;
            break;
        case 8:
            s.layout = PngEncoder::Layout::Index8;
            break;
        case 24:
            s.layout = PngEncoder::Layout::Bgr24;
            break;
        case 32:
            s.layout = FreeImage_GetColorType(b) == FIC_RGBALPHA ? PngEncoder::Layout::Bgra32
                                                                 : PngEncoder::Layout::Bgrx32;
            break;
        default:
            return false;
    }
    if (bpp >= 24 && (FI_RGBA_RED != 2 || FreeImage_GetRedMask(b) != FI_RGBA_RED_MASK)) {
        return false;  // not the blue-first byte order described
    }
    s.width = static_cast<int>(FreeImage_GetWidth(b));
    s.height = static_cast<int>(FreeImage_GetHeight(b));
    // FreeImage keeps the bottom row first.
    const auto pitch = static_cast<std::ptrdiff_t>(FreeImage_GetPitch(b));
    s.topRow = FreeImage_GetScanLine(b, s.height - 1);
    s.stride = -pitch;
    if (bpp <= 8) {
        const bool transparent =
            FreeImage_IsTransparent(b) && FreeImage_GetTransparencyCount(b) > 0;
        s.grey = FreeImage_GetColorType(b) == FIC_MINISBLACK && !transparent;
        if (!s.grey) {
            const RGBQUAD* palette = FreeImage_GetPalette(b);
            const unsigned entries = FreeImage_GetColorsUsed(b);
            for (unsigned i = 0; i < entries; ++i) {
                s.palette.push_back({palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue});
            }
            if (transparent) {
                const BYTE* table = FreeImage_GetTransparencyTable(b);
                const unsigned count =
                    qMin(FreeImage_GetTransparencyCount(b), static_cast<unsigned>(entries));
                s.transparency.assign(table, table + count);
            }
        }
    }
    if (const FIICCPROFILE* profile = FreeImage_GetICCProfile(b);
        profile != nullptr && profile->data != nullptr && profile->size > 0) {
        s.icc = static_cast<const std::uint8_t*>(profile->data);
        s.iccSize = static_cast<std::size_t>(profile->size);
    }
    s.dotsPerMeterX = FreeImage_GetDotsPerMeterX(b);
    s.dotsPerMeterY = FreeImage_GetDotsPerMeterY(b);
    return true;
}

}  // namespace

QByteArray EncodeBitmap(FREE_IMAGE_FORMAT format, FIBITMAP* bitmap, int flags) {
    if (format == FIF_PNG && flags == PNG_DEFAULT) {
        PngEncoder::Source source;
        if (DescribeForPng(bitmap, source)) {
            return PngEncoder::Encode(source);
        }
    }
    QByteArray bytes;
    MemoryPtr encoded(FreeImage_OpenMemory());
    if (!encoded || !FreeImage_SaveToMemory(format, bitmap, encoded.get(), flags)) {
        return bytes;
    }
    BYTE* data = nullptr;
    DWORD size = 0;
    if (FreeImage_AcquireMemory(encoded.get(), &data, &size) && size > 0) {
        try {
            bytes = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
        } catch (...) {
            bytes.clear();  // out of memory
        }
    }
    return bytes;
}

}  // namespace MFreeImage::Detail
