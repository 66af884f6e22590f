#include "window/PictureViewWidget.h"

#include "window/DevicePlacement.h"
#include "window/DropPaths.h"

#include "image/mdlPhotoShop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QtEndian>

namespace {

// True for the formats the stretch reads as they are and whose colour bytes show as stored (the
// alpha of ARGB32 is dropped on the way to the screen, as the window's copy drops it). Any other
// (palette, 16 bits, premultiplied) is made 24 bits first, once per picture.
bool IsStretchFormat(QImage::Format f) {
    return f == QImage::Format_BGR888 || f == QImage::Format_RGB32 || f == QImage::Format_ARGB32;
}

// A 24-bit picture (bytes blue, green, red) as opaque 32-bit pixels, the format a window's
// backing store holds, so that a paint is a plain copy of rows. Qt converts between these two
// formats on a slow general path; here four pixels come from three 32-bit loads. Null when the
// memory cannot be had.
QImage WidenTo32(const QImage& src) {
    QImage out(src.size(), QImage::Format_RGB32);
    if (out.isNull()) {
        return out;
    }
    const int w = src.width();
    for (int y = 0; y < src.height(); ++y) {
        const uchar* s = src.constScanLine(y);
        auto* d = reinterpret_cast<quint32*>(out.scanLine(y));
        int x = 0;
        for (; x + 4 <= w; x += 4, s += 12, d += 4) {
            const auto a = qFromLittleEndian<quint32>(s);
            const auto b = qFromLittleEndian<quint32>(s + 4);
            const auto c = qFromLittleEndian<quint32>(s + 8);
            d[0] = 0xFF000000u | a;
            d[1] = 0xFF000000u | (a >> 24) | (b << 8);
            d[2] = 0xFF000000u | (b >> 16) | (c << 16);
            d[3] = 0xFF000000u | (c >> 8);
        }
        for (; x < w; ++x, s += 3, ++d) {
            *d = 0xFF000000u | s[0] | (quint32(s[1]) << 8) | (quint32(s[2]) << 16);
        }
    }
    return out;
}

}  // namespace

PictureViewWidget::PictureViewWidget(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
}

void PictureViewWidget::setDeviceSize(const QSize& size) {
    if (size != mDeviceSize) {
        mDeviceSize = size;
        update();
    }
}

void PictureViewWidget::setPicture(const QImage& picture) {
    mPicture = picture;
    mPreview = QImage();
    mPreviewShown = QImage();
    mPreviewSize = QSize();
    mSource = QImage();
    mShown = QImage();
    mShownSize = QSize();
    update();
}

const QImage& PictureViewWidget::stretchSource() {
    if (mSource.isNull() && !mPicture.isNull()) {
        mSource =
            IsStretchFormat(mPicture.format()) ? mPicture : mdlPhotoShop::CopyPicture24(mPicture);
    }
    return mSource;
}

// The window's stretch of source to target, as opaque 32-bit pixels; null when there is nothing to
// stretch or no memory for it (silent: the window then paints and measures it as no picture).
QImage PictureViewWidget::Stretched32(const QImage& source, QSize target) {
    if (source.isNull() || target.width() <= 0 || target.height() <= 0) {
        return QImage();
    }
    try {
        const QImage stretched =
            mdlPhotoShop::ScalePicture(source, target.width(), target.height());
        if (stretched.format() == QImage::Format_BGR888) {
            return WidenTo32(stretched);
        }
        return stretched.isNull() ? QImage() : stretched.convertToFormat(QImage::Format_RGB32);
    } catch (...) {
        return QImage();
    }
}

QSize PictureViewWidget::targetSize() const {
    // A control that no window laid out shows at its own size.
    return mDeviceSize.isValid() ? mDeviceSize : DevicePlacement::Of(this).size();
}

const QImage& PictureViewWidget::shownPicture() {
    const QSize target = targetSize();
    if (mShownSize != target) {
        mShownSize = target;
        mShown = QImage();
        // The same stretch that makes the window's copy of the shown picture, so what is saved or
        // copied is exactly what is on screen; kept as 32 bits for the paint.
        try {
            mShown = mPicture.isNull() || target.isEmpty() ? QImage()
                                                           : Stretched32(stretchSource(), target);
        } catch (...) {
            mShown = QImage();  // no memory for the 24-bit copy
        }
    }
    return mShown;
}

void PictureViewWidget::setPreview(const QImage& reduced) {
    mPreview = reduced;
    mPreviewShown = QImage();
    mPreviewSize = QSize();
    update();
}

const QImage& PictureViewWidget::paintedPicture() {
    if (mPreview.isNull()) {
        return shownPicture();
    }
    const QSize target = targetSize();
    if (mPreviewSize != target) {
        mPreviewSize = target;
        mPreviewShown = Stretched32(IsStretchFormat(mPreview.format())
                                        ? mPreview
                                        : mPreview.convertToFormat(QImage::Format_RGB32),
                                    target);
    }
    return mPreviewShown;
}

void PictureViewWidget::paintEvent(QPaintEvent* /*event*/) {
    if (mDeviceSize.isValid()) {
        return;  // the window below paints the picture (see the class comment)
    }
    // A control on its own shows its picture itself, in device pixels from its corner.
    QPainter p(this);
    p.setWorldTransform(p.deviceTransform().inverted());
    const QImage& shown = paintedPicture();
    const QRect all(QPoint(), DevicePlacement::Of(this).size());
    if (shown.isNull()) {
        p.fillRect(all, palette().window());
        return;
    }
    p.drawImage(QPoint(), shown);
}

void PictureViewWidget::dragEnterEvent(QDragEnterEvent* event) {
    DropPaths::AcceptAsCopy(event);
}

void PictureViewWidget::dropEvent(QDropEvent* event) {
    const QStringList paths = DropPaths::LocalPaths(event->mimeData());
    if (!paths.isEmpty() && DropPaths::AcceptAsCopy(event)) {
        emit filesDropped(paths);
    }
}
