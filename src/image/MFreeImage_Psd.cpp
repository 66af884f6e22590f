// Indexed-colour PSD files: the library reads their index rows but leaves the file's palette
// (the colour mode data section) behind and hands a grey ramp instead.

#include <QFile>

#include "image/MFreeImage_Private.h"

namespace MFreeImage::Detail {

namespace {

// Big-endian numbers of the PSD header.
quint32 BigEndian(const uchar* p, int bytes) {
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = (value << 8) | p[i];
    }
    return value;
}

}  // namespace

bool ApplyPsdPalette(const QString& fileName, FIBITMAP* bitmap) {
    // The fixed header (26 bytes), the colour mode data's length (4) and the palette: 256 reds,
    // then 256 greens, then 256 blues.
    constexpr int kHeader = 26;
    constexpr int kPaletteBytes = 768;
    constexpr quint32 kIndexedMode = 2;
    if (bitmap == nullptr || FreeImage_GetImageType(bitmap) != FIT_BITMAP ||
        FreeImage_GetBPP(bitmap) != 8 || FreeImage_GetPalette(bitmap) == nullptr) {
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(kHeader + 4 + kPaletteBytes);
    if (head.size() != kHeader + 4 + kPaletteBytes) {
        return false;
    }
    const auto* p = reinterpret_cast<const uchar*>(head.constData());
    const quint32 version = BigEndian(p + 4, 2);
    const quint32 depth = BigEndian(p + 22, 2);
    const quint32 mode = BigEndian(p + 24, 2);
    const quint32 length = BigEndian(p + kHeader, 4);
    if (head.left(4) != "8BPS" || (version != 1 && version != 2) || depth != 8 ||
        mode != kIndexedMode || length != kPaletteBytes) {
        return false;
    }
    const uchar* colors = p + kHeader + 4;
    RGBQUAD* palette = FreeImage_GetPalette(bitmap);
    const unsigned entries = qMin(FreeImage_GetColorsUsed(bitmap), 256u);
    for (unsigned i = 0; i < entries; ++i) {
        palette[i].rgbRed = colors[i];
        palette[i].rgbGreen = colors[256 + i];
        palette[i].rgbBlue = colors[512 + i];
        palette[i].rgbReserved = 0;
    }
    return true;
}

}  // namespace MFreeImage::Detail
