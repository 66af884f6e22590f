#include "support/TestSupport.h"

namespace TestSupport {

QString DataFile(const QString& name) {
    return QStringLiteral(LUMORA_TEST_DATA "/") + name;
}

QImage PatternImage(int width, int height, QImage::Format format) {
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            img.setPixel(x, y,
                         qRgb((x * 37 + y * 11) & 0xFF, (x * 5 + y * 53) & 0xFF,
                              (x * 97 + y * 29 + 7) & 0xFF));
        }
    }
    return img.convertToFormat(format);
}

bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF)) {
                return false;
            }
        }
    }
    return true;
}

QByteArray RowBytes(const QImage& image) {
    QByteArray bytes;
    const int perRow = (image.width() * image.depth() + 7) / 8;
    for (int y = 0; y < image.height(); ++y) {
        bytes.append(reinterpret_cast<const char*>(image.constScanLine(y)), perRow);
    }
    return bytes;
}

}  // namespace TestSupport
