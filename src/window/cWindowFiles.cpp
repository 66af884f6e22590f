#include "window/cWindowFiles.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <algorithm>
#include <utility>

#include "base/GuardedWork.h"
#include "base/ScreenUnits.h"
#include "base/mdlKestrin_File.h"
#include "dialogs/ModalSeam.h"
#include "image/MFreeImage.h"
#include "image/ScreenColour.h"
#include "image/cPngClipboardData.h"
#include "image/cSaveJob.h"
#include "settings/mdlOption.h"
#include "window/IImageWindowFace.h"
#include "window/SaveNaming.h"
#include "window/cPictureModel.h"
#include "window/cScreenCapture.h"
#include "window/cWindowPlacement.h"

namespace {

using Command = cWindowJobs::Command;

// How long the screen is left to repaint without the window before it is grabbed.
constexpr int kCaptureDelayMs = 150;

// A smaller file decodes whole about as soon as a reduced copy would come and be shown, and the
// second decode would only take a core from the first.
constexpr qint64 kPreviewBytes = 2 * 1024 * 1024;

// The formats whose reduced decode costs a fraction of the full one (JPEG scales in its DCT,
// HEIF keeps a thumbnail, JPEG XL has an early pass); any other would be decoded whole twice. The
// name decides: reading the file's first bytes is work this thread does not do.
bool ReducesCheaply(const QFileInfo& file) {
    static const QStringList kSuffixes{QStringLiteral("jpg"),  QStringLiteral("jpeg"),
                                       QStringLiteral("jpe"),  QStringLiteral("jfif"),
                                       QStringLiteral("heic"), QStringLiteral("heif"),
                                       QStringLiteral("avif"), QStringLiteral("jxl")};
    return kSuffixes.contains(file.suffix().toLower());
}

bool NameTaken(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() || info.isFile();
}
}  // namespace

cWindowFiles::cWindowFiles(IImageWindowFace& face, cPictureModel& model, cWindowPlacement& place)
    : mFace(face), mModel(model), mPlace(place), mCapture(new cScreenCapture(this)) {
    connect(mCapture, &cScreenCapture::ended, this, &cWindowFiles::FinishCapture);
}

cWindowFiles::~cWindowFiles() = default;

int cWindowFiles::ShowMessage(const QString& text, int style, const QString& title) {
    mFace.SuspendTopMost();
    const int result = ModalSeam::ShowMessage(mFace.Owner(), text, style, title);
    mFace.RestoreTopMost();
    return result;
}

// ---- the wait ----

bool cWindowFiles::BeginBusy(const QString& tip, bool quiet) {
    if (!mJobs.Begin(quiet)) {
        return false;
    }
    mFace.ShowWait(true, true);
    if (!tip.isEmpty()) {
        mFace.ShowTip(tip);
    }
    return true;
}

void cWindowFiles::EndBusy() {
    const cWindowJobs::Ending ending = mJobs.End();
    mFace.ShowWait(false, true);
    if (ending.closeNow) {
        mFace.CloseWindow();
    }
}

bool cWindowFiles::Close() {
    const bool wait = mJobs.Close();
    mBeforePreview.reset();
    if (mDecoder != nullptr) {
        mDecoder->CancelAll();  // an open still running is of no use to a closed window
    }
    if (wait) {
        mCapture->Abandon();
    }
    return wait;
}

// ---- opening ----

bool cWindowFiles::LoadFromFile(const QString& fileName) {
    // Only regular files: a folder, a pipe or a device is no picture, and a pipe could block.
    const QFileInfo info(fileName);
    if (mFace.IsUnloaded() || !mJobs.Permits(Command::OpenFile) || !info.isFile()) {
        return false;
    }
    // The newest request wins.
    for (const qint64 overtaken : {mJobs.OpenRequest(), mJobs.PreviewRequest()}) {
        if (overtaken != 0) {
            Decoder()->Cancel(overtaken);
        }
    }
    const bool upright = mdlOption::Options().AutoRotate;
    const qint64 full = Decoder()->Submit(fileName, cDecodeFront::Lane::Interactive, 0, upright);
    const int side = PreviewSide(info);
    const qint64 preview =
        side > 0 ? Decoder()->Submit(fileName, cDecodeFront::Lane::Interactive, side, upright, true)
                 : 0;
    mJobs.OpenStarted(full, preview);
    mFace.ShowWait(true, false);
    return true;
}

int cWindowFiles::PreviewSide(const QFileInfo& file) const {
    if (file.size() < kPreviewBytes || !ReducesCheaply(file)) {
        return 0;
    }
    // The size it will be shown at: at most the work area it grows into, else the window's.
    const QSize shown = mdlOption::Options().ResizeWhenOpen
                            ? ScreenUnits::DeviceWorkArea(mFace.Screen()).size()
                            : mFace.ShownSize();
    // Half of it: the decoder's own reduction that covers that costs a fraction of the full
    // decode, and the full picture follows within moments.
    return std::max(shown.width(), shown.height()) / 2;
}

cDecodeFront* cWindowFiles::Decoder() {
    if (mDecoder == nullptr) {
        mDecoder = new cDecodeFront(this);
        connect(mDecoder, &cDecodeFront::decoded, this, &cWindowFiles::Decoded);
    }
    return mDecoder;
}

void cWindowFiles::Decoded(const cDecodeFront::Result& result) {
    if (result.id != 0 && result.id == mJobs.PreviewRequest()) {
        FinishPreview(result);
    } else {
        // A reduced picture that comes after its full one lands here too, and is ignored. It is
        // let run out rather than cancelled: it is nearly done, and a cancel ends its worker.
        FinishOpen(result);
    }
}

void cWindowFiles::FinishPreview(const cDecodeFront::Result& result) {
    // A reduced decode that failed changes nothing: the full one still comes.
    if (result.picture.isNull() || mFace.IsUnloaded() || !mJobs.PreviewArrived(result.id)) {
        return;
    }
    GuardedWork::Run("preview", [&] {
        if (!mBeforePreview) {
            mBeforePreview = mPlace.DeviceGeometry();
        }
        // The commands wait for the full picture, over the crop rectangle too.
        mFace.ShowWait(true, true);
        // The window takes the full picture's size now, so the full one only replaces the pixels.
        if (mdlOption::Options().ResizeWhenOpen && result.ownSize.isValid()) {
            GrowTo(result.ownSize);
            mGrownTo = result.ownSize;
        }
        // Only ever shown: in the screen's colours.
        emit previewShown(result.colour.Converts() ? result.colour.screen : result.picture,
                          result.file);
    });
}

void cWindowFiles::FinishOpen(const cDecodeFront::Result& result) {
    // The process lives on until the receivers have shown or closed the window.
    const cWindowJobs::Arrival arrival = mJobs.OpenArrived(result.id);
    if (!arrival.newest) {
        return;  // an older request that was overtaken
    }
    const std::optional<QRect> before = std::exchange(mBeforePreview, std::nullopt);
    const QSize grownTo = std::exchange(mGrownTo, QSize());
    // Whatever fails on the way, the receivers hear how the open ended: the process waits for
    // them to show or close the window.
    bool shown = false;
    GuardedWork::Run("open", [&] {
        mFace.ShowWait(false, arrival.previewShown);
        if (mFace.IsUnloaded() || !mModel.Loaded(result.file, result.picture, result.colour)) {
            return;  // the window stays as it was
        }
        mFace.PictureChanged();
        if (mdlOption::Options().ResizeWhenOpen && mModel.Picture().size() != grownTo) {
            GrowTo(mModel.Picture().size());
        }
        shown = true;
    });
    if (!shown && arrival.previewShown) {
        // The reduced picture goes: the window shows its own picture, where it was before.
        GuardedWork::Run("open failed", [&] {
            mFace.PictureChanged();
            if (before && *before != mPlace.DeviceGeometry()) {
                mPlace.SetDeviceGeometry(*before);
                mFace.HideTip();  // the size the new layout would tip was never the picture's
            }
        });
    }
    emit openEnded(shown, result.file);
}

void cWindowFiles::GrowTo(QSize own) {
    const QSize before = mPlace.DeviceGeometry().size();
    mPlace.ApplyViewSize(own.width(), own.height());
    mPlace.KeepGrownInside(before);
}

void cWindowFiles::cmdOpenPicture() {
    if (!mJobs.Permits(Command::OpenDialog)) {
        return;
    }
    // The history goes first, even when the dialog is cancelled.
    mModel.ClearHistory();
    mFace.SuspendTopMost();
    const QString fileName = mFace.AskFileName(false);
    if (!fileName.isEmpty()) {
        LoadFromFile(fileName);  // a file that cannot be read changes nothing, says nothing
    }
    mFace.RestoreTopMost();
}

// ---- saving ----

void cWindowFiles::cmdQuickSave() {
    if (!mJobs.Permits(Command::QuickSave)) {
        return;
    }
    const auto& o = mdlOption::Options();
    const QString picFile = mModel.mPicFile;  // read and written by the naming: not one string
    const QString target =
        SaveNaming::QuickSaveTarget(picFile, o.QuickSavePath, o.SupportFileSave,
                                    mdlKestrin_File::GetDesktopFolder(), mModel.mPicFile);
    if (target.isEmpty()) {
        ShowMessage(QStringLiteral("无法保存！（无效文件名）"), ModalSeam::Critical,
                    QStringLiteral("ERROR"));
        return;
    }
    if (!SaveToFile(target)) {
        ShowMessage(QStringLiteral("保存失败！"), ModalSeam::Critical, QStringLiteral("Error"));
    }
}

void cWindowFiles::cmdSaveAs() {
    if (!mJobs.Permits(Command::SaveAs)) {
        return;
    }
    mFace.SuspendTopMost();
    QString fileName = mFace.AskFileName(true);
    if (fileName.isEmpty()) {
        mFace.RestoreTopMost();
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
        !ModalSeam::AskQuestion(mFace.Owner(), target + QStringLiteral(" 已存在。\n要替换它吗？"),
                                QStringLiteral("确认另存为"))) {
        mFace.RestoreTopMost();
        return;
    }
    if (!SaveToFile(target)) {
        ShowMessage(QStringLiteral("保存失败！"), ModalSeam::Critical, QStringLiteral("Error"));
    }
}

bool cWindowFiles::SaveToFile(const QString& fileName) {
    if (!mJobs.Permits(Command::Save) || mModel.Picture().isNull()) {
        return false;
    }
    // The picture's own values go with its profile; a format that carries no profile gets what
    // the window shows, in sRGB, so that it looks right everywhere. A profile the decoder could
    // not use is not written back: the picture was shown as sRGB, and is saved so (and no
    // encoder in this process reads a profile nothing has vouched for).
    QByteArray profile = mModel.ProfileRefused() ? QByteArray() : mModel.Profile();
    QImage view;
    if (!profile.isEmpty() && !MFreeImage::CarriesProfile(fileName)) {
        view = ScreenColour::ToSrgb(mModel.MarkedScreenView(mFace.ShownSize()));
        profile.clear();
    } else {
        view = mModel.MarkedView(mFace.ShownSize());
    }
    if (view.isNull() || !BeginBusy(QStringLiteral("正在保存……"))) {
        return false;
    }
    cSaveJob* job =
        cSaveJob::Start(view, fileName, this, profile, mdlOption::Options().SaveQuality);
    connect(job, &cSaveJob::finished, this,
            [this, fileName](bool ok, SaveFailure why) { EndSave(ok, why, fileName); });
    return true;
}

void cWindowFiles::EndSave(bool ok, SaveFailure why, const QString& path) {
    // Whatever the report does, the window is not left busy.
    GuardedWork::Run("save report", [&] {
        mFace.HideTip();
        if (ok) {
            ShowMessage(QStringLiteral("保存成功！请查看：") + path, ModalSeam::Information,
                        QStringLiteral("Error"));
        } else {
            ShowMessage(SaveFailedMessage(path, why), ModalSeam::Critical, QStringLiteral("Error"));
        }
    });
    EndBusy();
    emit saveEnded(ok, path);
}

// ---- clipboard ----

void cWindowFiles::cmdCopy() {
    if (!mJobs.Permits(Command::Copy)) {
        return;
    }
    // What other programs take from the clipboard is sRGB: what the window shows, brought there.
    const QImage view = ScreenColour::ToSrgb(mModel.MarkedScreenView(mFace.ShownSize()));
    if (view.isNull()) {
        return;  // nothing to copy: the clipboard keeps what it has
    }
    // Offered as PNG, encoded off the interface thread (see cPngClipboardData).
    QGuiApplication::clipboard()->setMimeData(new cPngClipboardData(view));
}

void cWindowFiles::cmdPaste() {
    if (PasteClipboard() && mdlOption::Options().ResizeWhenOpen) {
        GrowTo(mModel.Picture().size());
    }
}

bool cWindowFiles::PasteClipboard() {
    if (!mJobs.Permits(Command::Paste)) {
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
    if (!mModel.Paste(picture, mFace.ShownSize())) {
        return false;  // a damaged picture
    }
    mFace.PictureChanged();
    return true;
}

// ---- screen capture ----

void cWindowFiles::cmdLoadPictureFromScreen() {
    if (!mJobs.Permits(Command::Capture)) {
        return;
    }
    // The screen under the window's centre, at that screen's own resolution.
    QScreen* target = ScreenUnits::ScreenAtDevice(mPlace.DeviceGeometry().center());
    if (target == nullptr) {
        target = mFace.Screen();
    }
    BeginBusy(QString());
    mFace.HideWindow();
    mCapture->Start(target, kCaptureDelayMs);
}

bool cWindowFiles::CaptureScreenAt(QScreen* target) {
    if (mFace.IsShown() || !BeginBusy(QString(), true)) {
        return false;
    }
    mCapture->Start(target, 0);
    return true;
}

void cWindowFiles::FinishCapture(QScreen* target, const QImage& picture) {
    bool ok = false;
    GuardedWork::Run("capture", [&] {
        ok =
            mJobs.KeepsCapture() && target != nullptr && mModel.Capture(picture, mFace.ShownSize());
        if (ok) {
            mFace.PictureChanged();
            mPlace.CoverScreen(target);
        }
    });
    // The window hid for the capture: it shows again whatever failed above.
    if (mJobs.ShowsCaptureEnd(ok)) {
        GuardedWork::Run("capture end", [&] {
            mFace.ShowWindow();
            mFace.RestoreTopMost();
            // After showing: the layout of the new size would put the size tip over it.
            mFace.ShowTip(ok ? QStringLiteral("拷贝屏幕结束，请使用")
                             : QStringLiteral("拷贝屏幕被拒绝"));
        });
    }
    EndBusy();
    emit captureEnded(ok);
}
