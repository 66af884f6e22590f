#include "image/mdlPhotoShop.h"

#include <QRect>
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "base/NumberedError.h"
#include "base/Rounding.h"
#include "image/PixelKernels.h"
#include "image/PixelMemory.h"

namespace mdlPhotoShop {
namespace {

constexpr qint64 kMax32 = std::numeric_limits<qint32>::max();
constexpr qint64 kMin32 = std::numeric_limits<qint32>::min();

[[noreturn]] void Raise(int number, const char* text) {
    throw NumberedError(number, QStringLiteral("mdlPhotoShop"), QString::fromLatin1(text));
}

qint32 Checked32(qint64 v) {
    if (v > kMax32 || v < kMin32) {
        Raise(6, ErrorText::Overflow);
    }
    return static_cast<qint32>(v);
}

// The module's one pixel buffer: Format_BGR888, rows of RowBytes(width) bytes, top row first.
// `borrowed` when it shares a caller's picture; such a buffer is only ever read.
struct PixelBuffer {
    QImage image;
    qint32 width = 0;
    qint32 height = 0;
    bool borrowed = false;
};
PixelBuffer gPixels;

// Empties the buffer when an operation ends, however it ends.
struct ClearOnExit {
    ClearOnExit() = default;
    ClearOnExit(const ClearOnExit&) = delete;
    ClearOnExit& operator=(const ClearOnExit&) = delete;
    ~ClearOnExit() { ClearPixels(); }
};

// The byte count of a w x h 24-bit buffer; raises 6 beyond the signed 32-bit range.
qint32 BufferBytes(qint32 w, qint32 h) {
    return Checked32(qint64(RowBytes(w)) * h);
}

// A 24-bit picture whose 3w pixel bytes of every row the caller writes, every one of them: the
// memory may be recycled and hold an old picture there. The padding is already 0. Null when
// memory runs out.
QImage New24(qint32 w, qint32 h) {
    return PixelMemory::NewImage(w, h, RowBytes(w), QImage::Format_BGR888, qsizetype(3) * w);
}

inline void Copy3(uchar* d, const uchar* s) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
}

bool Is32BitBgra(QImage::Format f) {
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
           f == QImage::Format_ARGB32_Premultiplied;
}
bool Is32BitRgba(QImage::Format f) {
    return f == QImage::Format_RGBX8888 || f == QImage::Format_RGBA8888 ||
           f == QImage::Format_RGBA8888_Premultiplied;
}

// Rows of red-green-blue pixels (`stride` bytes each, any fourth byte ignored) as blue-green-red.
void SwapRedBlueRows(const QImage& src, qint32 x0, qint32 y0, qint32 w, qint32 n, uchar* out,
                     qsizetype outBpl, int stride) {
    for (qint32 j = 0; j < n; ++j) {
        const uchar* s = src.constScanLine(y0 + j) + qsizetype(stride) * x0;
        uchar* d = out + j * outBpl;
        for (qint32 i = 0; i < w; ++i, s += stride, d += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
}

// Writes the source rectangle (x0, y0, w, n), which lies inside the source, as 24-bit rows
// (3w bytes each, padding untouched) at `out`, rows `outBpl` bytes apart. False when memory for
// a conversion runs out.
bool ConvertRows(const QImage& src, qint32 x0, qint32 y0, qint32 w, qint32 n, uchar* out,
                 qsizetype outBpl) {
    const QImage::Format f = src.format();
    const qsizetype rowOut = qsizetype(3) * w;
    if (f == QImage::Format_BGR888) {
        for (qint32 j = 0; j < n; ++j) {
            std::memcpy(out + j * outBpl, src.constScanLine(y0 + j) + qsizetype(3) * x0, rowOut);
        }
        return true;
    }
    if (f == QImage::Format_RGB888) {
        SwapRedBlueRows(src, x0, y0, w, n, out, outBpl, 3);
        return true;
    }
    if (Is32BitBgra(f)) {
        // 0xAARRGGBB words: the colour bytes as stored, alpha dropped.
        for (qint32 j = 0; j < n; ++j) {
            const auto* s = reinterpret_cast<const quint32*>(src.constScanLine(y0 + j)) + x0;
            uchar* d = out + j * outBpl;
            for (qint32 i = 0; i < w; ++i, d += 3) {
                const quint32 p = s[i];
                d[0] = uchar(p);
                d[1] = uchar(p >> 8);
                d[2] = uchar(p >> 16);
            }
        }
        return true;
    }
    if (Is32BitRgba(f)) {
        SwapRedBlueRows(src, x0, y0, w, n, out, outBpl, 4);  // alpha dropped
        return true;
    }
    if (f == QImage::Format_Indexed8 || f == QImage::Format_Mono || f == QImage::Format_MonoLSB) {
        // Colour table as B, G, R; indices beyond the table are black, as Qt shows them.
        uchar table[256][3] = {};
        const QList<QRgb> colours = src.colorTable();
        const qsizetype count = std::min<qsizetype>(colours.size(), 256);
        for (qsizetype k = 0; k < count; ++k) {
            table[k][0] = uchar(qBlue(colours[k]));
            table[k][1] = uchar(qGreen(colours[k]));
            table[k][2] = uchar(qRed(colours[k]));
        }
        for (qint32 j = 0; j < n; ++j) {
            const uchar* s = src.constScanLine(y0 + j);
            uchar* d = out + j * outBpl;
            if (f == QImage::Format_Indexed8) {
                s += x0;
                for (qint32 i = 0; i < w; ++i, d += 3) {
                    Copy3(d, table[s[i]]);
                }
            } else {
                const bool msbFirst = f == QImage::Format_Mono;
                for (qint32 i = 0; i < w; ++i, d += 3) {
                    const qint64 x = qint64(x0) + i;
                    const int bit = msbFirst ? 7 - int(x & 7) : int(x & 7);
                    Copy3(d, table[(s[x >> 3] >> bit) & 1]);
                }
            }
        }
        return true;
    }
    // Anything else (16-bit and the rarer formats): Qt converts a band of rows at a time to
    // 32 bits, which keeps the extra memory small.
    const qint32 band = std::max<qint32>(1, qint32((qint64(1) << 20) / (qint64(4) * w)));
    for (qint32 j = 0; j < n; j += band) {
        const qint32 rows = std::min(band, n - j);
        const QImage part =
            src.copy(QRect(x0, y0 + j, w, rows)).convertToFormat(QImage::Format_RGB32);
        if (part.isNull()) {
            return false;
        }
        ConvertRows(part, 0, 0, w, rows, out + j * outBpl, outBpl);
    }
    return true;
}

// Source coordinate under the centre of result pixel i of n, for a source of `size` pixels:
// floor((2i + 1) * size / (2n)), always 0..size-1.
inline qint32 NearestSource(qint64 i, qint64 size, qint64 n) {
    return qint32(((2 * i + 1) * size) / (2 * n));
}

// Nearest-neighbour stretch of `src` (Format_BGR888 or one of the 32-bit formats) into `out`,
// which has the same pixel size and is w x h.
void ScaleInto(const QImage& src, QImage& out, const std::vector<qsizetype>& offsets) {
    const qint32 W = src.width();
    const qint32 H = src.height();
    const qint32 w = out.width();
    const qint32 h = out.height();
    const bool wide = src.depth() == 32;
    const qsizetype outBpl = out.bytesPerLine();
    const qsizetype rowBytes = qsizetype(wide ? 4 : 3) * w;
    const int pixelBytes = wide ? 4 : 3;
    const qsizetype srcRowBytes = qsizetype(pixelBytes) * W;
    uchar* base = out.bits();
    qint32 lastRow = -1;
    for (qint32 y = 0; y < h; ++y) {
        uchar* d = base + y * outBpl;
        const qint32 sy = NearestSource(y, H, h);
        if (sy == lastRow) {  // enlarging: the row above already holds this source row
            std::memcpy(d, d - outBpl, size_t(rowBytes));
            continue;
        }
        lastRow = sy;
        PixelKernels::GatherRow(src.constScanLine(sy), srcRowBytes, offsets.data(), w, pixelBytes,
                                d);
    }
}

}  // namespace

qint32 RowBytes(qint32 w) {
    const qint32 n = Checked32(qint64(3) * w + 3);
    return (n / 4) * 4;
}

qint32 RowPadding(qint32 w) {
    return 3 - Checked32(qint64(3) * w + 3) % 4;
}

bool LoadPixels(const QImage& picture) {
    ClearPixels();
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) {
        return false;
    }
    const qint32 w = picture.width();
    const qint32 h = picture.height();
    BufferBytes(w, h);
    if (picture.format() == QImage::Format_BGR888 && picture.bytesPerLine() == RowBytes(w)) {
        gPixels = PixelBuffer{picture, w, h, true};
        return true;
    }
    QImage image = New24(w, h);
    if (image.isNull() || !ConvertRows(picture, 0, 0, w, h, image.bits(), image.bytesPerLine())) {
        return false;
    }
    gPixels = PixelBuffer{image, w, h, false};
    return true;
}

QImage PixelsToPicture() {
    if (gPixels.width <= 0 || gPixels.height <= 0 || gPixels.image.isNull()) {
        return QImage();
    }
    if (!gPixels.borrowed) {
        return gPixels.image;
    }
    QImage out = New24(gPixels.width, gPixels.height);
    if (!out.isNull()) {
        ConvertRows(gPixels.image, 0, 0, gPixels.width, gPixels.height, out.bits(),
                    out.bytesPerLine());
    }
    return out;
}

void ClearPixels() {
    gPixels = PixelBuffer{};
}

QImage CopyPicture24(const QImage& picture) {
    if (picture.isNull()) {
        Raise(91, ErrorText::ObjectNotSet);
    }
    const qint32 w = picture.width();
    const qint32 h = picture.height();
    BufferBytes(w, h);
    QImage out = New24(w, h);
    if (out.isNull() || !ConvertRows(picture, 0, 0, w, h, out.bits(), out.bytesPerLine())) {
        return QImage();
    }
    return out;
}

QImage ScalePicture(const QImage& picture, qint32 w, qint32 h) {
    if (picture.isNull()) {
        Raise(91, ErrorText::ObjectNotSet);
    }
    if (w <= 0 || h <= 0) {
        return QImage();
    }
    const bool wide = Is32BitBgra(picture.format()) || Is32BitRgba(picture.format());
    BufferBytes(w, h);
    if (wide) {
        Checked32(qint64(4) * w * h);
    }
    const QImage src =
        (wide || picture.format() == QImage::Format_BGR888) ? picture : CopyPicture24(picture);
    if (src.isNull()) {
        return QImage();
    }
    QImage out =
        wide ? PixelMemory::NewImage(w, h, qsizetype(4) * w, picture.format(), qsizetype(4) * w)
             : New24(w, h);
    if (out.isNull()) {
        return QImage();
    }
    try {
        std::vector<qsizetype> offsets(static_cast<size_t>(w));
        const qsizetype pixelBytes = wide ? 4 : 3;
        for (qint32 x = 0; x < w; ++x) {
            offsets[size_t(x)] = pixelBytes * NearestSource(x, src.width(), w);
        }
        ScaleInto(src, out, offsets);
    } catch (const std::bad_alloc&) {
        return QImage();
    }
    return out;
}

QImage CopyRegion(const QImage& picture, qint32 x, qint32 y, qint32 w, qint32 h) {
    if (picture.isNull()) {
        Raise(91, ErrorText::ObjectNotSet);
    }
    if (w <= 0 || h <= 0) {
        return QImage();
    }
    BufferBytes(w, h);
    QImage out = New24(w, h);
    if (out.isNull()) {
        return QImage();
    }
    // Only the part that overlaps the source is copied; the rest is made black.
    const qint64 left = std::max<qint64>(x, 0);
    const qint64 top = std::max<qint64>(y, 0);
    const qint64 right = std::min<qint64>(qint64(x) + w, picture.width());
    const qint64 bottom = std::min<qint64>(qint64(y) + h, picture.height());
    const bool overlaps = left < right && top < bottom;
    // Rows [rowsIn, rowsEnd) and columns [colsIn, colsEnd) of the result receive source pixels.
    const qint32 rowsIn = overlaps ? qint32(top - y) : h;
    const qint32 rowsEnd = overlaps ? qint32(bottom - y) : h;
    const qsizetype colsIn = overlaps ? 3 * (left - x) : 0;
    const qsizetype colsEnd = overlaps ? 3 * (right - x) : 0;
    const qsizetype rowBytes = qsizetype(3) * w;
    const qsizetype bpl = out.bytesPerLine();
    uchar* base = out.bits();
    for (qint32 row = 0; row < h; ++row) {
        uchar* d = base + row * bpl;
        if (row < rowsIn || row >= rowsEnd) {
            std::memset(d, 0, size_t(rowBytes));
            continue;
        }
        std::memset(d, 0, size_t(colsIn));
        std::memset(d + colsEnd, 0, size_t(rowBytes - colsEnd));
    }
    if (overlaps && !ConvertRows(picture, qint32(left), qint32(top), qint32(right - left),
                                 qint32(bottom - top), base + rowsIn * bpl + colsIn, bpl)) {
        return QImage();
    }
    return out;
}

QImage RotatePicture(const QImage& picture, qint16 angle) {
    if (!LoadPixels(picture)) {
        return QImage();
    }
    ClearOnExit clear;
    if (angle == 90 || angle == -90) {
        const qint32 W = gPixels.width;
        const qint32 H = gPixels.height;
        BufferBytes(H, W);
        QImage out = New24(H, W);
        if (out.isNull()) {
            return QImage();
        }
        const QImage& src = gPixels.image;
        PixelKernels::RotateQuarter(src.constBits(), src.bytesPerLine(), W, H, out.bits(),
                                    out.bytesPerLine(), angle == 90);
        gPixels = PixelBuffer{out, H, W, false};
    }
    return PixelsToPicture();
}

QImage FlipPicture(const QImage& picture, const QString& axis) {
    if (!LoadPixels(picture)) {
        return QImage();
    }
    ClearOnExit clear;
    const bool flipX = axis == QLatin1String("X");
    if (flipX || axis == QLatin1String("Y")) {
        const qint32 W = gPixels.width;
        const qint32 H = gPixels.height;
        QImage out = New24(W, H);
        if (out.isNull()) {
            return QImage();
        }
        const QImage& src = gPixels.image;
        const qsizetype rowBytes = qsizetype(3) * W;
        const qsizetype bpl = out.bytesPerLine();
        uchar* base = out.bits();
        for (qint32 y = 0; y < H; ++y) {
            uchar* d = base + y * bpl;
            if (flipX) {
                std::memcpy(d, src.constScanLine(H - 1 - y), rowBytes);
            } else {
                PixelKernels::MirrorRow(src.constScanLine(y), d, W);
            }
        }
        gPixels = PixelBuffer{out, W, H, false};
    }
    return PixelsToPicture();
}

QImage FillBlack(const QImage& picture, qint32 x, qint32 y, qint32 w, qint32 h) {
    if (!LoadPixels(picture)) {
        return QImage();
    }
    ClearOnExit clear;
    const qint32 W = gPixels.width;
    const qint32 H = gPixels.height;
    if (w <= 0 || h <= 0) {
        return PixelsToPicture();
    }
    if (x < 0 || y < 0 || qint64(x) + w > W || qint64(y) + h > H) {
        Raise(9, ErrorText::SubscriptOutOfRange);
    }
    const qsizetype left = qsizetype(3) * x;
    const qsizetype black = qsizetype(3) * w;
    const qsizetype right = qsizetype(3) * W - left - black;
    if (!gPixels.borrowed) {  // our own converted copy: blacken it in place
        const qsizetype bpl = gPixels.image.bytesPerLine();
        uchar* base = gPixels.image.bits();
        for (qint32 row = y; row < y + h; ++row) {
            std::memset(base + row * bpl + left, 0, size_t(black));
        }
        return PixelsToPicture();
    }
    QImage out = New24(W, H);
    if (out.isNull()) {
        return QImage();
    }
    const QImage& src = gPixels.image;
    const qsizetype bpl = out.bytesPerLine();
    uchar* base = out.bits();
    for (qint32 row = 0; row < H; ++row) {
        const uchar* s = src.constScanLine(row);
        uchar* d = base + row * bpl;
        if (row < y || row >= y + h) {
            std::memcpy(d, s, size_t(left + black + right));
            continue;
        }
        std::memcpy(d, s, size_t(left));
        std::memset(d + left, 0, size_t(black));
        std::memcpy(d + left + black, s + left + black, size_t(right));
    }
    gPixels = PixelBuffer{out, W, H, false};
    return PixelsToPicture();
}

QImage GrayPicture(const QImage& picture) {
    if (!LoadPixels(picture)) {
        return QImage();
    }
    ClearOnExit clear;
    const qint32 W = gPixels.width;
    const qint32 H = gPixels.height;
    QImage out = New24(W, H);
    if (out.isNull()) {
        return QImage();
    }
    const QImage& src = gPixels.image;
    const qsizetype bpl = out.bytesPerLine();
    uchar* base = out.bits();
    for (qint32 y = 0; y < H; ++y) {
        PixelKernels::GreyRow(src.constScanLine(y), base + y * bpl, W);
    }
    gPixels = PixelBuffer{out, W, H, false};
    return PixelsToPicture();
}

}  // namespace mdlPhotoShop
