#include "image/cPngClipboardData.h"

#include <QBuffer>
#include <QImageWriter>
#include <QThreadPool>
#include <memory>

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
    QByteArray bytes;
    if (picture.isNull()) {
        return bytes;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(picture)) {
        bytes.clear();
    }
    return bytes;
}
