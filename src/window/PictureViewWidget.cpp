#include "window/PictureViewWidget.h"

#include "image/mdlPhotoShop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>

PictureViewWidget::PictureViewWidget(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureViewWidget::setPicture(const QImage& picture) {
    mPicture = picture;
    mShown = QImage();
    mShownSize = QSize();
    update();
}

const QImage& PictureViewWidget::shownPicture() {
    if (mShownSize != size()) {
        mShownSize = size();
        mShown = QImage();
        if (!mPicture.isNull() && width() > 0 && height() > 0) {
            try {
                // The same stretch that makes the window's copy of the shown picture, so what is
                // saved or copied is exactly what is on screen; painted fastest as 32 bits.
                mShown = mdlPhotoShop::ScalePicture(mPicture, width(), height())
                             .convertToFormat(QImage::Format_RGB32);
            } catch (...) {
                mShown = QImage();
            }
        }
    }
    return mShown;
}

void PictureViewWidget::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QImage& shown = shownPicture();
    if (shown.isNull()) {
        p.fillRect(event->rect(), palette().window());
        return;
    }
    p.drawImage(event->rect().topLeft(), shown, event->rect());
}

void PictureViewWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void PictureViewWidget::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        emit filesDropped(paths);
    }
}
