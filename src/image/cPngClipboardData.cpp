#include "image/cPngClipboardData.h"

#include <QThreadPool>
#include <cstdint>
#include <memory>

#include "image/PngEncoder.h"

namespace {
const QString kPng = QStringLiteral("image/png");
const QString kQtImage = QStringLiteral("application/x-qt-image");
}  // namespace

cPngClipboardData::cPngClipboardData(const QImage& picture) : mPicture(picture) {
    // The worker reads its own reference to the pixels; nothing writes them. The promise, not
    // std::async, so that letting go of a copy never waits for its encode.
    auto promise = std::make_shared<std::promise<QByteArray>>();
    mPng = promise->get_future().share();
    const QImage shared = picture;
    QThreadPool::globalInstance()->start([promise, shared] {
        try {
            promise->set_value(EncodePng(shared));
        } catch (...) {
            promise->set_value(QByteArray());  // out of memory: nothing to paste
        }
    });
}

cPngClipboardData::~cPngClipboardData() = default;

QStringList cPngClipboardData::formats() const {
    return {kPng};
}

// Inside the program the copy is also the picture itself (QClipboard::image()), a type that is
// not offered to other programs: listing it would make Qt offer every image type it can encode.
bool cPngClipboardData::hasFormat(const QString& mimeType) const {
    return mimeType == kPng || mimeType == kQtImage;
}

QVariant cPngClipboardData::retrieveData(const QString& mimeType, QMetaType /*type*/) const {
    if (mimeType == kQtImage) {
        return mPicture;
    }
    if (mimeType != kPng || !mPng.valid()) {
        return QVariant();
    }
    return mPng.get();  // waits only for a paste that came before the encode ended
}

QByteArray cPngClipboardData::EncodePng(const QImage& picture) {
    if (picture.isNull()) {
        return QByteArray();
    }
    try {
        // Formats whose bytes the encoder reads as they are; every other one is converted first.
        QImage image = picture;
        PngEncoder::Source source;
        switch (image.format()) {
            case QImage::Format_BGR888:
                source.layout = PngEncoder::Layout::Bgr24;
                break;
            case QImage::Format_RGB888:
                source.layout = PngEncoder::Layout::Rgb24;
                break;
            case QImage::Format_RGBX8888:
                source.layout = PngEncoder::Layout::Rgbx32;
                break;
            case QImage::Format_RGBA8888:
                source.layout = PngEncoder::Layout::Rgba32;
                break;
            case QImage::Format_Mono:
            case QImage::Format_MonoLSB:
                image = image.convertToFormat(QImage::Format_Mono);
                source.layout = PngEncoder::Layout::Index1;
                break;
            case QImage::Format_Indexed8:
                source.layout = PngEncoder::Layout::Index8;
                break;
            default:
                // ARGB32's bytes are blue-first only on little-endian machines: one byte order
                // for every machine.
                image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_RGBA8888
                                                                      : QImage::Format_RGBX8888);
                source.layout = image.hasAlphaChannel() ? PngEncoder::Layout::Rgba32
                                                        : PngEncoder::Layout::Rgbx32;
                break;
        }
        if (image.isNull()) {
            return QByteArray();
        }
        source.width = image.width();
        source.height = image.height();
        source.topRow = image.constBits();
        source.stride = image.bytesPerLine();
        if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_Indexed8) {
            const QList<QRgb> table = image.colorTable();
            bool opaque = true;
            for (const QRgb c : table) {
                source.palette.push_back({static_cast<std::uint8_t>(qRed(c)),
                                          static_cast<std::uint8_t>(qGreen(c)),
                                          static_cast<std::uint8_t>(qBlue(c))});
                source.transparency.push_back(static_cast<std::uint8_t>(qAlpha(c)));
                opaque = opaque && qAlpha(c) == 255;
            }
            if (opaque) {
                source.transparency.clear();
            }
        }
        source.dotsPerMeterX = static_cast<std::uint32_t>(qMax(0, image.dotsPerMeterX()));
        source.dotsPerMeterY = static_cast<std::uint32_t>(qMax(0, image.dotsPerMeterY()));
        return PngEncoder::Encode(source);
    } catch (...) {
        return QByteArray();  // out of memory
    }
}
