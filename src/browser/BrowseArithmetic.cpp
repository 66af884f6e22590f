#include "browser/BrowseArithmetic.h"

#include "base/Rounding.h"
#include "base/mdlKestrin_File.h"
#include "image/mdlPhotoShop.h"

#include <algorithm>

namespace BrowseArithmetic {

int ThumbSide(double deviceRatio) {
    const double ratio = deviceRatio > 0 ? deviceRatio : 1.0;
    return std::max<qint32>(1, Rounding::Round32(kThumbSide * ratio));
}

QSize ThumbnailSize(QSize ownSize, int maxSide) {
    const int w = ownSize.width();
    const int h = ownSize.height();
    if (w <= 0 || h <= 0 || maxSide <= 0) {
        return {};
    }
    if (w <= maxSide && h <= maxSide) {
        return ownSize;
    }
    const float scale = h < w ? static_cast<float>(maxSide) / static_cast<float>(w)
                              : static_cast<float>(maxSide) / static_cast<float>(h);
    const auto side = [scale, maxSide](int v) {
        const float scaled = scale * static_cast<float>(v);
        return std::clamp<qint32>(Rounding::Round32(scaled), 1, maxSide);
    };
    return {side(w), side(h)};
}

QImage MakeThumbnail(const QImage& decoded, QSize ownSize, double deviceRatio) {
    if (decoded.isNull()) {
        return {};
    }
    const double ratio = deviceRatio > 0 ? deviceRatio : 1.0;
    const QSize size = ThumbnailSize(
        ownSize.isValid() && !ownSize.isEmpty() ? ownSize : decoded.size(), ThumbSide(ratio));
    if (size.isEmpty()) {
        return {};
    }
    try {
        // The decoded picture may live in memory shared with a decode worker: keep only a copy.
        QImage thumbnail = decoded.size() == size
                               ? decoded.copy()
                               : mdlPhotoShop::ScalePicture(decoded, size.width(), size.height());
        thumbnail.setDevicePixelRatio(ratio);
        return thumbnail;
    } catch (...) {
        // No memory for the thumbnail: the cell stays empty, as for a file that does not decode.
        return {};
    }
}

int ScrollMaximum(int count) {
    return std::max(1, count / kColumns);
}

int PageStart(int value) {
    return (value - 1) * kColumns + 1;
}

PageRange ShowRange(int start, int count) {
    if (count <= 0) {
        return {};
    }
    start = std::clamp(start, 1, count);
    return {start, std::min(count, start + kCells - 1)};
}

int ScrollStep(int value, int direct, int maximum) {
    return std::max(1, std::min(value + direct, maximum));
}

QList<QPoint> CascadePositions(int n, double screenW, double screenH) {
    const qint32 x0 = Rounding::Round32(screenW / 4);
    const qint32 y0 = Rounding::Round32(screenH / 6);
    QList<QPoint> out;
    qint32 x = x0;
    qint32 y = y0;
    for (int i = 0; i < n; ++i) {
        out << QPoint(x, y);
        x += 500;
        y += 500;
        if (x > screenW * 3 / 4 || y > screenH * 3 / 4) {
            x = x0;
            y = y0;
        }
    }
    return out;
}

QString CountText(int total, int selected) {
    return QStringLiteral("总共%1张图片，您选中了其中的%2张。").arg(total).arg(selected);
}

namespace {
QString ShownName(const QString& path) {
    const QString name = mdlKestrin_File::GetFileName(path);
    return name.isEmpty() ? path : name;
}

QString WithoutMnemonic(QString caption) {
    return caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
}  // namespace

QString CheckCaption(const QString& path) {
    return WithoutMnemonic(ShownName(path));
}

QString CheckCaption(const QString& path, const QFontMetrics& metrics, int width) {
    // Elided before "&" is doubled: the cut is measured on what shows, and never splits a pair.
    return WithoutMnemonic(metrics.elidedText(ShownName(path), Qt::ElideMiddle, width));
}

}  // namespace BrowseArithmetic
