#include "window/cPictureModel.h"

#include "base/Rounding.h"
#include "image/mdlPhotoShop.h"

#include <functional>

using Rounding::Round32;

namespace {
// Runs a pixel operation; no picture when it fails in any way (bad rectangle, no memory).
QImage Attempt(const std::function<QImage()>& operation) {
    try {
        return operation();
    } catch (...) {
        return QImage();  // silent: no picture is how every caller is told the edit failed
    }
}
}  // namespace

cPictureModel::cPictureModel() {
    mHistory.setMaxUndoCount(1);
}

QImage cPictureModel::Placeholder() {
    QImage img(QStringLiteral(":/placeholder.png"));
    if (img.isNull()) {
        img = QImage(60, 60, QImage::Format_BGR888);
        img.fill(QColor(200, 214, 230));
    }
    return img;
}

void cPictureModel::Clear() {
    mHistory.ClearBackup();
    mPicture = Placeholder();
}

bool cPictureModel::AdoptCopyOf(const cPictureModel& source) {
    const QImage copy = Attempt([&] { return mdlPhotoShop::CopyPicture24(source.Picture()); });
    if (copy.isNull()) {
        return false;
    }
    mPicture = copy;
    mPicFile = source.mPicFile;
    mPicFileExt = source.mPicFileExt;
    return true;
}

bool cPictureModel::KeepRegion(const QRect& r) {
    const QImage result = Attempt(
        [&] { return mdlPhotoShop::CopyRegion(mPicture, r.x(), r.y(), r.width(), r.height()); });
    if (result.isNull()) {
        return false;
    }
    mPicture = result;
    return true;
}

bool cPictureModel::BlackenRegion(const QRect& r) {
    const QImage result = Attempt(
        [&] { return mdlPhotoShop::FillBlack(mPicture, r.x(), r.y(), r.width(), r.height()); });
    if (result.isNull()) {
        return false;
    }
    mPicture = result;
    return true;
}

void cPictureModel::SetPicture(const QImage& iPicture) {
    mPicFile.clear();
    mPicture = iPicture;
}

void cPictureModel::ReplacePicture(const QImage& iPicture) {
    mPicture = iPicture;
}

bool cPictureModel::Loaded(const QString& iFileName, const QImage& iPicture) {
    if (iPicture.isNull()) {
        return false;
    }
    SetPicture(iPicture);
    mPicFile = iFileName;
    return true;
}

QImage cPictureModel::ViewPicture(QSize iShown) const {
    if (mPicture.isNull()) {
        return QImage();
    }
    if (mPicture.format() == QImage::Format_BGR888) {
        // Already 24 bits: shown at its own size it is its own view (shared, and copied only
        // when someone writes to it); otherwise one stretch makes the new picture.
        if (iShown == mPicture.size()) {
            return mPicture;
        }
        return Attempt(
            [&] { return mdlPhotoShop::ScalePicture(mPicture, iShown.width(), iShown.height()); });
    }
    return Attempt([&] {
        const QImage copy = mdlPhotoShop::CopyPicture24(mPicture);
        return mdlPhotoShop::ScalePicture(copy, iShown.width(), iShown.height());
    });
}

bool cPictureModel::Record(QSize iShown, const QString& iKind, QPoint iAnchor) {
    const QImage view = ViewPicture(iShown);
    if (view.isNull()) {
        return false;
    }
    mHistory.BackupPicture(view, iKind, iAnchor.x(), iAnchor.y());
    return true;
}

cPictureModel::Edit cPictureModel::Crop(QSize iShown, QRect iRect, qint32 iBorder) {
    Edit edit;
    // The cut is made on the picture as shown, so what is kept is exactly what was on screen.
    const QRect keep = iRect.intersected(QRect(QPoint(0, 0), iShown));
    if (keep.isEmpty()) {
        return edit;
    }
    const QImage view = ViewPicture(iShown);
    const QImage result = Attempt([&] {
        return mdlPhotoShop::CopyRegion(view, keep.x(), keep.y(), keep.width(), keep.height());
    });
    if (view.isNull() || result.isNull()) {
        return edit;
    }
    edit.shiftPx = QPoint(keep.x() - iBorder, keep.y() - iBorder);
    mHistory.BackupPicture(view, QStringLiteral("CROP"), edit.shiftPx.x(), edit.shiftPx.y());
    mPicture = result;
    edit.done = true;
    edit.viewSize = result.size();
    return edit;
}

cPictureModel::Edit cPictureModel::Mask(QSize iShown, QRect iRect) {
    Edit edit;
    if (mPicture.isNull() || iShown.isEmpty()) {
        return edit;
    }
    // Single precision, as the window's other size arithmetic.
    const float rx = static_cast<float>(mPicture.width()) / static_cast<float>(iShown.width());
    const float ry = static_cast<float>(mPicture.height()) / static_cast<float>(iShown.height());
    const QRect scaled(Round32(static_cast<float>(iRect.x()) * rx),
                       Round32(static_cast<float>(iRect.y()) * ry),
                       Round32(static_cast<float>(iRect.width()) * rx),
                       Round32(static_cast<float>(iRect.height()) * ry));
    const QRect black = scaled.intersected(mPicture.rect());
    if (black.isEmpty()) {
        return edit;
    }
    const QImage result = Attempt([&] {
        return mdlPhotoShop::FillBlack(mPicture, black.x(), black.y(), black.width(),
                                       black.height());
    });
    if (result.isNull() || !Record(iShown, QStringLiteral("MASK"), iRect.topLeft())) {
        return edit;
    }
    mPicture = result;
    edit.done = true;
    return edit;
}

cPictureModel::Edit cPictureModel::Gray(QSize iShown, QPoint iAnchor) {
    Edit edit;
    const QImage result = Attempt([&] { return mdlPhotoShop::GrayPicture(mPicture); });
    if (result.isNull() || !Record(iShown, QStringLiteral("GRAD"), iAnchor)) {
        return edit;
    }
    mPicture = result;
    edit.done = true;
    return edit;
}

cPictureModel::Edit cPictureModel::Rotate(QSize iShown, const QString& iRotate, bool iKeepScale) {
    Edit edit;
    QImage result;
    QSize shown = iShown;
    if (iRotate == QLatin1String("+90") || iRotate == QLatin1String("-90")) {
        const qint16 angle = iRotate.startsWith(QLatin1Char('+')) ? 90 : -90;
        result = Attempt([&] { return mdlPhotoShop::RotatePicture(mPicture, angle); });
        shown.transpose();
    } else if (iRotate == QLatin1String("X") || iRotate == QLatin1String("Y")) {
        result = Attempt([&] { return mdlPhotoShop::FlipPicture(mPicture, iRotate); });
    }
    if (result.isNull()) {
        return edit;
    }
    mPicture = result;
    edit.done = true;
    if (iKeepScale) {
        edit.viewSize = shown;
    }
    return edit;
}

cPictureModel::Edit cPictureModel::Undo(bool iFitToOwnSize) {
    Edit edit;
    if (mHistory.Count() == 0) {
        return edit;
    }
    if (mHistory.NextOper() == QLatin1String("CROP")) {
        edit.shiftPx = -QPoint(mHistory.NextLeft(), mHistory.NextTop());
    }
    SetPicture(mHistory.NowPicture());
    mHistory.RestorePicture();
    edit.done = true;
    if (iFitToOwnSize) {
        edit.viewSize = mPicture.size();
    }
    return edit;
}

bool cPictureModel::Paste(const QImage& iPicture) {
    if (iPicture.isNull()) {
        return false;
    }
    mHistory.ClearBackup();
    SetPicture(iPicture);
    return true;
}

bool cPictureModel::Capture(const QImage& iPicture) {
    if (iPicture.isNull()) {
        return false;
    }
    mHistory.ClearBackup();
    mPicture = iPicture;
    return true;
}
