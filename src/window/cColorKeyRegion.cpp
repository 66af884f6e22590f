#include "window/cColorKeyRegion.h"

#include "window/WindowArithmetic.h"

QRegion cColorKeyRegion::Kept(qint32 key, const QImage& shown, const Surface& surface) {
    QRegion kept;
    if (surface.band != key) {
        kept = QRegion(QRect(QPoint(), surface.window)) - QRegion(surface.picture);
    }
    if (!shown.isNull()) {
        if (shown.cacheKey() != mPictureImage || key != mPictureKey) {
            mPicture = NotOfColour(shown, key);
            mPictureImage = shown.cacheKey();
            mPictureKey = key;
        }
        kept += mPicture.translated(surface.picture.topLeft());
    }
    for (const QRect& r : surface.whole) {
        kept += r;
    }
    const int w = surface.ring;
    for (const QRect& r : surface.rings) {
        kept += QRegion(r) - QRegion(r.adjusted(w, w, -w, -w));
    }
    return kept;
}

qint32 cColorKeyRegion::ColourAt(const Surface& surface, const QImage& shown, QPoint p) {
    if (!QRect(QPoint(), surface.window).contains(p)) {
        return -1;
    }
    const QPoint inPicture = p - surface.picture.topLeft();
    if (!shown.isNull() && shown.rect().contains(inPicture)) {
        return WindowArithmetic::ColourRef(shown.pixel(inPicture));
    }
    return surface.band;
}

QRegion cColorKeyRegion::NotOfColour(const QImage& picture, qint32 key) {
    const QRgb colour = WindowArithmetic::RgbOf(key);
    // The shown picture is 32-bit already; anything else is brought once to the colours its
    // pixel() gives, not asked pixel by pixel.
    const QImage rows =
        picture.depth() == 32 ? picture : picture.convertToFormat(QImage::Format_ARGB32);
    const int width = rows.width();
    QRegion region;
    // Row by row, each run of other pixels added as it ends, left to right: the order Qt builds a
    // region from a bitmap in, so the region is the very one a colour mask gives.
    for (int y = 0; y < rows.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rows.constScanLine(y));
        int start = -1;
        for (int x = 0; x <= width; ++x) {
            const bool other = x < width && row[x] != colour;
            if (other && start < 0) {
                start = x;
            } else if (!other && start >= 0) {
                region += QRect(start, y, x - start, 1);
                start = -1;
            }
        }
    }
    return region;
}
