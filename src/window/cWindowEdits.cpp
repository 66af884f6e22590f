#include "window/cWindowEdits.h"

#include "base/TextUtil.h"
#include "settings/mdlOption.h"
#include "window/IImageWindowFace.h"
#include "window/cWindowJobs.h"
#include "window/cWindowPlacement.h"

using Command = cWindowJobs::Command;

bool cWindowEdits::SetPicture(const QImage& picture) {
    mModel.SetPicture(picture);
    mFace.PictureChanged();
    if (mdlOption::Options().ResizeWhenOpen) {
        mPlace.ApplyViewSize(mModel.Picture().width(), mModel.Picture().height());
    }
    return true;
}

bool cWindowEdits::AdoptPictureOf(const cPictureModel& source, QSize shown) {
    if (!mModel.AdoptCopyOf(source)) {
        return false;
    }
    mFace.PictureChanged();
    // The source's band may differ from this window's: its outer size would leave the picture
    // another size here, or none at all in a window smaller than this band.
    const int band = 2 * mPlace.mFormBorder;
    const QSize outer(qMax(1, shown.width()) + band, qMax(1, shown.height()) + band);
    mPlace.SetDeviceGeometry(QRect(mPlace.DeviceGeometry().topLeft(), outer));
    return true;
}

void cWindowEdits::cmdShowSize() {
    const QSize shown = mFace.ShownSize();
    mFace.ShowTip(TextUtil::SizeText(shown.width(), shown.height()));
}

bool cWindowEdits::ViewResize(qint32 w, qint32 h) {
    if (!mJobs.Permits(Command::Resize)) {
        return false;
    }
    ApplyEdit(mModel.Resize(mFace.ShownSize(), QSize(w, h)));
    return true;
}

void cWindowEdits::cmdResize_OrgSize() {
    ViewResize(mModel.Picture().width(), mModel.Picture().height());
    cmdShowSize();
}

void cWindowEdits::cmdClear() {
    if (!mJobs.Permits(Command::Clear)) {
        return;
    }
    mModel.Clear();
    mFace.PictureChanged();
    mPlace.ApplyViewSize(mModel.Picture().width(), mModel.Picture().height());
}

bool cWindowEdits::CropRect(qint32 x, qint32 y, qint32 w, qint32 h) {
    if (!mModel.KeepRegion(QRect(x, y, w, h))) {
        return false;  // the picture stays as it was
    }
    mFace.PictureChanged();
    return true;
}

bool cWindowEdits::MaskRect(qint32 x, qint32 y, qint32 w, qint32 h) {
    if (!mModel.BlackenRegion(QRect(x, y, w, h))) {
        return false;
    }
    mFace.PictureChanged();
    return true;
}

bool cWindowEdits::RotateFlip(const QString& iRotate) {
    if (!mJobs.Permits(Command::Turn)) {
        return false;
    }
    const auto edit =
        mModel.Rotate(mFace.ShownSize(), iRotate, mdlOption::Options().ResizeWhenRotate);
    if (!edit.done) {
        return false;
    }
    ApplyEdit(edit);
    mPlace.AutoPosition();
    mPlace.KeepInside();
    return true;
}

void cWindowEdits::cmdUndo() {
    if (!mJobs.Permits(Command::Undo)) {
        return;
    }
    // The picture is swapped and the window moved in one turn, without hiding it.
    const auto edit = mModel.Undo(mFace.ShownSize());
    if (edit.done) {
        ApplyEdit(edit);
    }
}

void cWindowEdits::cmdRedo() {
    if (!mJobs.Permits(Command::Redo)) {
        return;
    }
    const auto edit = mModel.Redo(mFace.ShownSize());
    if (edit.done) {
        ApplyEdit(edit);
    }
}

void cWindowEdits::cmdCrop() {
    if (!mJobs.Permits(Command::Crop)) {
        return;
    }
    const auto edit = mModel.Crop(mFace.ShownSize(), mFace.CropRectPx(), mPlace.mFormBorder);
    if (edit.done) {
        mFace.HideCropRect();
        ApplyEdit(edit);
    }
}

void cWindowEdits::cmdMask() {
    if (!mJobs.Permits(Command::Mask)) {
        return;
    }
    const auto edit = mModel.Mask(mFace.ShownSize(), mFace.CropRectPx());
    if (edit.done) {
        mFace.HideCropRect();
        ApplyEdit(edit);
    }
}

void cWindowEdits::cmdGrayPicture() {
    if (!mJobs.Permits(Command::Grey)) {
        return;
    }
    const auto edit = mModel.Gray(mFace.ShownSize());
    if (edit.done) {
        ApplyEdit(edit);
    }
}

void cWindowEdits::ApplyEdit(const cPictureModel::Edit& edit) {
    mFace.PictureChanged();
    if (edit.viewSize.isValid()) {
        mPlace.ApplyViewSize(edit.viewSize.width(), edit.viewSize.height(), edit.shiftPx);
    } else if (!edit.shiftPx.isNull()) {
        mPlace.MoveByPixels(edit.shiftPx);
    }
    if (edit.keepInside) {
        mPlace.KeepInside();
    }
}
