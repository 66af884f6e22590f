// The image window's commands: files, clipboard, screen capture, edits and undo. Each forwards
// to the picture model and then shows what it says; a command that cannot be done leaves the
// window as it was.

#include "window/frmResize.h"

#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "base/mdlKestrin_File.h"
#include "dialogs/ModalSeam.h"
#include "dialogs/mdlCommonDialog.h"
#include "image/MFreeImage.h"
#include "image/cPngClipboardData.h"
#include "image/cSaveJob.h"
#include "image/mdlPhotoShop.h"
#include "settings/mdlOption.h"
#include "window/CropRectWidget.h"
#include "window/DevicePlacement.h"
#include "window/PictureViewWidget.h"
#include "window/SaveNaming.h"

#include <QClipboard>
#include <QEventLoopLocker>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace {
bool NameTaken(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() || info.isFile();
}
}  // namespace

QSize frmResize::ShownSize() const {
    return DevicePlacement::Of(imgView).size();
}

QRect frmResize::CropRectPx() const {
    return DevicePlacement::Of(lblCrop);
}

void frmResize::ApplyEdit(const cPictureModel::Edit& edit) {
    PictureChanged();
    if (!edit.shiftPx.isNull()) {
        MoveTw(LeftTw() + edit.shiftPx.x() * TwipsPerPixelX(),
               TopTw() + edit.shiftPx.y() * TwipsPerPixelY());
    }
    if (edit.viewSize.isValid()) {
        ApplyViewSize(edit.viewSize.width(), edit.viewSize.height());
    }
}

bool frmResize::AdoptPictureOf(const frmResize& source) {
    QImage copy;
    try {
        copy = mdlPhotoShop::CopyPicture24(source.Picture());
    } catch (...) {
        return false;
    }
    if (copy.isNull()) {
        return false;
    }
    mModel.ReplacePicture(copy);
    mPicFile = source.mPicFile;
    mPicFileExt = source.mPicFileExt;
    PictureChanged();
    return true;
}

// ---- files ----

void frmResize::cmdOpenPicture() {
    if (mBusy) {
        return;
    }
    // The history goes first, even when the dialog is cancelled.
    mModel.History().ClearBackup();
    SuspendTopMost();
    QString fileName;
    QString fileTitle;
    bool readOnly = false;
    QString filter = mdlOption::Options().SupportFileOpen;
    qint32 filterIndex = 1;
    qint32 flags = 0;
    if (mdlCommonDialog::ShowOpenFileDialog(fileName, fileTitle, true, false, readOnly, false,
                                            filter, filterIndex, QString(), QString(), QString(),
                                            this, flags)) {
        LoadFromFile(fileName);  // a file that cannot be read changes nothing, says nothing
    }
    RestoreTopMost();
}

void frmResize::cmdQuickSave() {
    if (mBusy) {
        return;
    }
    const auto& o = mdlOption::Options();
    const QString picFile = mPicFile;  // read and written by the naming: not one string for both
    const QString target = SaveNaming::QuickSaveTarget(
        picFile, o.QuickSavePath, o.SupportFileSave, mdlKestrin_File::GetDesktopFolder(), mPicFile);
    if (target.isEmpty()) {
        ShowMessage(QStringLiteral("无法保存！（无效文件名）"), ModalSeam::Critical,
                    QStringLiteral("ERROR"));
        return;
    }
    if (!SaveToFile(target)) {
        ShowMessage(QStringLiteral("保存失败！"), ModalSeam::Critical, QStringLiteral("Error"));
    }
}

void frmResize::cmdSaveAs() {
    if (mBusy) {
        return;
    }
    SuspendTopMost();
    QString fileName;
    QString fileTitle;
    QString filter = mdlOption::Options().SupportFileSave;
    qint32 filterIndex = 1;
    qint32 flags = 0;
    if (!mdlCommonDialog::ShowSaveFileDialog(fileName, fileTitle, true, filter, filterIndex,
                                             QString(), QString(), QStringLiteral("jpg"), this,
                                             flags)) {
        RestoreTopMost();
        return;
    }
    fileName.remove(QChar(0));
    // The library may complete the name ("photo.JPG" is written as "photo.JPG.jpg"): the file
    // chosen is then not touched, and a completed name that exists is replaced only when the user
    // says so. The old file is replaced only once the new one is complete.
    QString target = MFreeImage::CompletedFileName(fileName);
    if (target.isEmpty()) {
        target = fileName;  // a format the library cannot write: the save fails and says so
    }
    if (target != fileName && NameTaken(target) &&
        !ModalSeam::AskQuestion(this, target + QStringLiteral(" 已存在。\n要替换它吗？"),
                                QStringLiteral("确认另存为"))) {
        RestoreTopMost();
        return;
    }
    if (!SaveToFile(target)) {
        ShowMessage(QStringLiteral("保存失败！"), ModalSeam::Critical, QStringLiteral("Error"));
    }
}

bool frmResize::SaveToFile(const QString& fileName) {
    if (mBusy || mModel.Picture().isNull()) {
        return false;
    }
    const QImage view = GetViewPicture();
    if (view.isNull()) {
        return false;
    }
    BeginBusy(QStringLiteral("正在保存……"));
    cSaveJob* job = cSaveJob::Start(view, fileName, this);
    connect(job, &cSaveJob::finished, this, [this, fileName](bool ok) { EndSave(ok, fileName); });
    return true;
}

void frmResize::EndSave(bool ok, const QString& path) {
    lblTip->hide();
    mTipTicks = 0;
    if (ok) {
        ShowMessage(QStringLiteral("保存成功！请查看：") + path, ModalSeam::Information,
                    QStringLiteral("Error"));
    } else {
        ShowMessage(QStringLiteral("保存失败！"), ModalSeam::Critical, QStringLiteral("Error"));
    }
    EndBusy();
    emit saveEnded(ok, path);
}

void frmResize::BeginBusy(const QString& tip) {
    mBusy = true;
    // The process lives until the work ends, even when its last window is closed meanwhile.
    mBusyLock = std::make_unique<QEventLoopLocker>();
    imgView->setCursor(Qt::BusyCursor);
    lblCrop->setCursor(Qt::BusyCursor);
    if (!tip.isEmpty()) {
        ShowTip(tip);
    }
}

void frmResize::EndBusy() {
    mBusy = false;
    imgView->unsetCursor();
    lblCrop->unsetCursor();
    if (mCloseWhenIdle) {
        mCloseWhenIdle = false;
        close();
    }
    mBusyLock.reset();
}

// ---- clipboard, capture, size ----

void frmResize::cmdCopy() {
    if (mBusy) {
        return;
    }
    const QImage view = GetViewPicture();
    if (view.isNull()) {
        return;  // nothing to copy: the clipboard keeps what it has
    }
    // Offered as PNG, encoded off the interface thread (see cPngClipboardData).
    QGuiApplication::clipboard()->setMimeData(new cPngClipboardData(view));
}

void frmResize::cmdPaste() {
    if (PasteClipboard() && mdlOption::Options().ResizeWhenOpen) {
        GrowToOwnSize();
    }
}

bool frmResize::PasteClipboard() {
    if (mBusy) {
        return false;
    }
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QImage picture;
    if (const auto* own = qobject_cast<const cPngClipboardData*>(data)) {
        picture = own->Picture();  // this program's copy: the picture itself, no PNG
    } else if (data != nullptr && data->hasImage()) {
        picture = qvariant_cast<QImage>(data->imageData());
    } else {
        return false;  // text, a file list or nothing: no change
    }
    if (!mModel.Paste(picture)) {
        return false;  // a damaged picture
    }
    PictureChanged();
    return true;
}

void frmResize::cmdResize_OrgSize() {
    cmdGetOrgWidthHeight();
    ApplyViewSize(mOrgWidth, mOrgHeight);
    cmdShowSize();
}

bool frmResize::lnkRotate(const QString& iRotate) {
    return RotateFlip(iRotate);
}

bool frmResize::RotateFlip(const QString& iRotate) {
    if (mBusy) {
        return false;
    }
    const auto edit = mModel.Rotate(ShownSize(), iRotate, mdlOption::Options().ResizeWhenRotate);
    if (!edit.done) {
        return false;
    }
    ApplyEdit(edit);
    cmdAutoPosition();
    return true;
}

// ---- edits and undo ----

void frmResize::cmdUndo() {
    if (mBusy) {
        return;
    }
    // The picture is swapped and the window moved in one turn, without hiding it.
    const auto edit = mModel.Undo(mdlOption::Options().ResizeWhenOpen);
    if (edit.done) {
        ApplyEdit(edit);
    }
}

void frmResize::cmdCrop() {
    if (mBusy) {
        return;
    }
    const auto edit = mModel.Crop(ShownSize(), CropRectPx(), mFormBorder);
    if (!edit.done) {
        return;
    }
    lblCrop->HideRect();
    ApplyEdit(edit);
}

void frmResize::cmdMask() {
    if (mBusy) {
        return;
    }
    const auto edit = mModel.Mask(ShownSize(), CropRectPx());
    if (!edit.done) {
        return;
    }
    lblCrop->HideRect();
    ApplyEdit(edit);
}

void frmResize::cmdGrayPicture() {
    if (mBusy) {
        return;
    }
    const auto edit = mModel.Gray(ShownSize(), CropRectPx().topLeft());
    if (edit.done) {
        ApplyEdit(edit);
    }
}
