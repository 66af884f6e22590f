#include "window/cPictureModel.h"

#include "base/Rounding.h"
#include "image/ColourProfile.h"
#include "image/ScreenColour.h"
#include "image/mdlPhotoShop.h"

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
    mColour = SrgbColour(mPicture);
}

PictureColour cPictureModel::SrgbColour(const QImage& iPicture) {
    PictureColour colour;
    const QByteArray screen = ScreenColour::Profile();
    if (screen.isEmpty() || iPicture.isNull()) {
        return colour;
    }
    colour.screen = Attempt([&] { return ScreenColour::FromSrgb(iPicture); });
    colour.greyRamp = cColourTransform::Between(QByteArray(), screen)->GreyRamp();
    if (colour.screen.isNull() || colour.greyRamp.isEmpty()) {
        return PictureColour();  // shown as it is rather than not at all
    }
    return colour;
}

bool cPictureModel::Both(const std::function<QImage(const QImage&)>& iOperation,
                         const std::function<QImage(const QImage&)>& iOnScreen,
                         const std::function<bool()>& iBefore) {
    const QImage result = Attempt([&] { return iOperation(mPicture); });
    if (result.isNull()) {
        return false;
    }
    QImage screen;
    if (!mColour.screen.isNull()) {
        screen = Attempt([&] {
            return iOnScreen ? iOnScreen(result) : iOperation(mColour.screen);
        });
        if (screen.isNull()) {
            return false;
        }
    }
    if (iBefore && !iBefore()) {
        return false;
    }
    mPicture = result;
    mColour.screen = screen;
    return true;
}

bool cPictureModel::AdoptCopyOf(const cPictureModel& source) {
    const QImage copy = Attempt([&] { return mdlPhotoShop::CopyPicture24(source.Picture()); });
    if (copy.isNull()) {
        return false;
    }
    PictureColour colour = source.mColour;
    if (!colour.screen.isNull()) {
        colour.screen = Attempt([&] { return mdlPhotoShop::CopyPicture24(colour.screen); });
        if (colour.screen.isNull()) {
            return false;
        }
    }
    mPicture = copy;
    mColour = colour;
    mPicFile = source.mPicFile;
    mPicFileExt = source.mPicFileExt;
    return true;
}

bool cPictureModel::KeepRegion(const QRect& r) {
    return Both([&](const QImage& p) {
        return mdlPhotoShop::CopyRegion(p, r.x(), r.y(), r.width(), r.height());
    });
}

bool cPictureModel::BlackenRegion(const QRect& r) {
    // Black shows as black on every screen (black-point compensation).
    return Both([&](const QImage& p) {
        return mdlPhotoShop::FillBlack(p, r.x(), r.y(), r.width(), r.height());
    });
}

void cPictureModel::SetPicture(const QImage& iPicture) {
    mPicFile.clear();
    mPicture = iPicture;
    mColour = SrgbColour(iPicture);
}

void cPictureModel::ReplacePicture(const QImage& iPicture) {
    mPicture = iPicture;
    mColour = SrgbColour(iPicture);
}

bool cPictureModel::Loaded(const QString& iFileName, const QImage& iPicture,
                           const PictureColour& iColour) {
    if (iPicture.isNull() || (!iColour.screen.isNull() && iColour.screen.size() != iPicture.size())) {
        return false;
    }
    mPicFile.clear();
    mPicture = iPicture;
    mColour = iColour;
    if (iColour.refused) {
        qWarning("Lumora: the colour profile of %s cannot be used; shown as sRGB",
                 qUtf8Printable(iFileName));
    }
    mPicFile = iFileName;
    return true;
}

namespace {
// A picture as shown: 24 bits, iShown's pixels.
QImage View(const QImage& picture, QSize iShown) {
    if (picture.isNull()) {
        return QImage();
    }
    if (picture.format() == QImage::Format_BGR888) {
        // Already 24 bits: shown at its own size it is its own view (shared, and copied only
        // when someone writes to it); otherwise one stretch makes the new picture.
        if (iShown == picture.size()) {
            return picture;
        }
        return Attempt(
            [&] { return mdlPhotoShop::ScalePicture(picture, iShown.width(), iShown.height()); });
    }
    return Attempt([&] {
        const QImage copy = mdlPhotoShop::CopyPicture24(picture);
        return mdlPhotoShop::ScalePicture(copy, iShown.width(), iShown.height());
    });
}
}  // namespace

QImage cPictureModel::ViewPicture(QSize iShown) const {
    return View(mPicture, iShown);
}

QImage cPictureModel::ScreenView(QSize iShown) const {
    return View(ScreenPicture(), iShown);
}

bool cPictureModel::Record(QSize iShown, const QString& iKind, QPoint iAnchor) {
    const QImage view = ViewPicture(iShown);
    PictureColour colour = mColour;
    if (!colour.screen.isNull()) {
        colour.screen = ScreenView(iShown);
    }
    if (view.isNull() || (!mColour.screen.isNull() && colour.screen.isNull())) {
        return false;
    }
    mHistory.BackupPicture(view, iKind, iAnchor.x(), iAnchor.y());
    mHistoryColour = colour;
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
    const QImage screenView = mColour.screen.isNull() ? QImage() : ScreenView(iShown);
    const auto cut = [&](const QImage& p) {
        return Attempt([&] {
            return mdlPhotoShop::CopyRegion(p, keep.x(), keep.y(), keep.width(), keep.height());
        });
    };
    const QImage result = cut(view);
    const QImage screen = mColour.screen.isNull() ? QImage() : cut(screenView);
    if (view.isNull() || result.isNull() || (!mColour.screen.isNull() && screen.isNull())) {
        return edit;
    }
    edit.shiftPx = QPoint(keep.x() - iBorder, keep.y() - iBorder);
    mHistory.BackupPicture(view, QStringLiteral("CROP"), edit.shiftPx.x(), edit.shiftPx.y());
    mHistoryColour = mColour;
    mHistoryColour.screen = screenView;
    mPicture = result;
    mColour.screen = screen;
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
    // Black shows as black on every screen (black-point compensation).
    if (!Both(
            [&](const QImage& p) {
                return mdlPhotoShop::FillBlack(p, black.x(), black.y(), black.width(),
                                               black.height());
            },
            nullptr, [&] { return Record(iShown, QStringLiteral("MASK"), iRect.topLeft()); })) {
        return edit;
    }
    edit.done = true;
    return edit;
}

cPictureModel::Edit cPictureModel::Gray(QSize iShown, QPoint iAnchor) {
    Edit edit;
    // The values turn grey; the screen shows each grey as the picture's profile says.
    const QList<QRgb> ramp = mColour.greyRamp;
    if (!Both([](const QImage& p) { return mdlPhotoShop::GrayPicture(p); },
              [&ramp](const QImage& grey) {
                  return ramp.isEmpty() ? grey : ColourProfile::ThroughGreyRamp(grey, ramp);
              },
              [&] { return Record(iShown, QStringLiteral("GRAD"), iAnchor); })) {
        return edit;
    }
    edit.done = true;
    return edit;
}

cPictureModel::Edit cPictureModel::Rotate(QSize iShown, const QString& iRotate, bool iKeepScale) {
    Edit edit;
    bool done = false;
    QSize shown = iShown;
    if (iRotate == QLatin1String("+90") || iRotate == QLatin1String("-90")) {
        const qint16 angle = iRotate.startsWith(QLatin1Char('+')) ? 90 : -90;
        done = Both([angle](const QImage& p) { return mdlPhotoShop::RotatePicture(p, angle); });
        shown.transpose();
    } else if (iRotate == QLatin1String("X") || iRotate == QLatin1String("Y")) {
        done = Both([&](const QImage& p) { return mdlPhotoShop::FlipPicture(p, iRotate); });
    }
    if (!done) {
        return edit;
    }
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
    mPicFile.clear();
    mPicture = mHistory.NowPicture();
    mColour = mHistoryColour;
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
    // Captured pixels are the screen's own colours: shown as they are, saved with its profile.
    mColour = PictureColour();
    mColour.profile = ScreenColour::Profile();
    return true;
}
