#include "image/PixelRows.h"

#include <QRect>
#include <algorithm>
#include <cstring>

namespace PixelRows {

namespace {

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

}  // namespace

bool Is32BitBgra(QImage::Format f) {
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
           f == QImage::Format_ARGB32_Premultiplied;
}
bool Is32BitRgba(QImage::Format f) {
    return f == QImage::Format_RGBX8888 || f == QImage::Format_RGBA8888 ||
           f == QImage::Format_RGBA8888_Premultiplied;
}

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
                    std::memcpy(d, table[s[i]], 3);
                }
            } else {
                const bool msbFirst = f == QImage::Format_Mono;
                for (qint32 i = 0; i < w; ++i, d += 3) {
                    const qint64 x = qint64(x0) + i;
                    const int bit = msbFirst ? 7 - int(x & 7) : int(x & 7);
                    std::memcpy(d, table[(s[x >> 3] >> bit) & 1], 3);
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

}  // namespace PixelRows
