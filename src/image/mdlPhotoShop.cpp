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
#include "image/PixelRows.h"

namespace mdlPhotoShop {
namespace {

using PixelRows::ConvertRows;
using PixelRows::Is32BitBgra;
using PixelRows::Is32BitRgba;

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

// The shape of most operations: a new buffer of the same size, whose row y `row` writes (the
// source buffer, y, the new row's first byte), takes the old buffer's place. False, the buffer
// as it was, when memory runs out.
template <typename WriteRow>
bool ReplaceRows(WriteRow&& row) {
    const qint32 W = gPixels.width;
    const qint32 H = gPixels.height;
    QImage out = New24(W, H);
    if (out.isNull()) {
        return false;
    }
    const qsizetype bpl = out.bytesPerLine();
    uchar* base = out.bits();
    for (qint32 y = 0; y < H; ++y) {
        row(gPixels.image, y, base + y * bpl);
    }
    gPixels = PixelBuffer{out, W, H, false};
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
        const bool done = ReplaceRows([&](const QImage& src, qint32 y, uchar* d) {
            if (flipX) {
                std::memcpy(d, src.constScanLine(H - 1 - y), qsizetype(3) * W);
            } else {
                PixelKernels::MirrorRow(src.constScanLine(y), d, W);
            }
        });
        if (!done) {
            return QImage();
        }
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
    const bool done = ReplaceRows([&](const QImage& src, qint32 row, uchar* d) {
        const uchar* s = src.constScanLine(row);
        if (row < y || row >= y + h) {
            std::memcpy(d, s, size_t(left + black + right));
            return;
        }
        std::memcpy(d, s, size_t(left));
        std::memset(d + left, 0, size_t(black));
        std::memcpy(d + left + black, s + left + black, size_t(right));
    });
    return done ? PixelsToPicture() : QImage();
}

QImage GrayPicture(const QImage& picture) {
    if (!LoadPixels(picture)) {
        return QImage();
    }
    ClearOnExit clear;
    const qint32 W = gPixels.width;
    const bool done = ReplaceRows([W](const QImage& src, qint32 y, uchar* d) {
        PixelKernels::GreyRow(src.constScanLine(y), d, W);
    });
    return done ? PixelsToPicture() : QImage();
}

}  // namespace mdlPhotoShop
