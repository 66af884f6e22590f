// The image window's screen capture: X11's grab, or the desktop's screenshot portal on Wayland
// sessions, where the X server holds no picture of the screen. Either way the window then covers
// the screen it took, pixel for pixel; a capture that brings no picture leaves the window as it
// was and says so.

#include "window/frmResize.h"

#include "base/ScreenUnits.h"
#include "image/cScreenshotPortal.h"
#include "image/mdlPhotoShop.h"

#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace {
// How long the screen is left to repaint without the window before it is grabbed.
constexpr int kCaptureDelayMs = 150;

// The screen's part of a screenshot of the whole desktop, at the screen's device size.
QImage ScreenOf(const QImage& shot, const QScreen* target) {
    QRect desktop;
    for (const QScreen* s : QGuiApplication::screens()) {
        desktop |= ScreenUnits::DeviceGeometry(s);
    }
    const QRect screen = ScreenUnits::DeviceGeometry(target);
    const QRect part = cScreenshotPortal::ScreenPart(shot.size(), desktop, screen);
    if (part.isEmpty()) {
        return QImage();
    }
    const QImage cut =
        mdlPhotoShop::CopyRegion(shot, part.x(), part.y(), part.width(), part.height());
    if (cut.isNull() || cut.size() == screen.size()) {
        return cut;
    }
    // A desktop that answers in other pixels than the screen's: brought to the screen's size.
    return mdlPhotoShop::ScalePicture(cut, screen.width(), screen.height());
}
}  // namespace

void frmResize::cmdLoadPictureFromScreen() {
    if (mBusy) {
        return;
    }
    // The screen under the window's centre, at that screen's own resolution.
    QScreen* target = ScreenUnits::ScreenAtDevice(mDevice.center());
    if (target == nullptr) {
        target = screen();
    }
    BeginBusy(QString());
    hide();
    // The screen repaints without the window before it is grabbed; the event loop runs meanwhile.
    QPointer<QScreen> grabbed = target;
    QTimer::singleShot(kCaptureDelayMs, this, [this, grabbed] { GrabScreen(grabbed); });
}

bool frmResize::CaptureScreenAt(QScreen* target) {
    if (mBusy || isVisible()) {
        return false;
    }
    mQuietRefusal = true;  // a window never shown stays unshown when nothing is captured
    BeginBusy(QString());
    GrabScreen(target);
    return true;
}

void frmResize::GrabScreen(QScreen* target) {
    if (target == nullptr || mCloseWhenIdle) {
        FinishCapture(target, QImage());
        return;
    }
    if (!cScreenshotPortal::Wanted()) {
        QImage picture;
        try {
            picture = mdlPhotoShop::CaptureScreen(target);
        } catch (...) {
            picture = QImage();  // a grab that fails is a refusal
        }
        FinishCapture(target, picture);
        return;
    }
    if (mPortal == nullptr) {
        mPortal = new cScreenshotPortal(this);
        connect(mPortal, &cScreenshotPortal::taken, this, &frmResize::ReadPortalShot);
        connect(mPortal, &cScreenshotPortal::refused, this,
                [this] { FinishCapture(mCaptureScreen, QImage()); });
    }
    mCaptureScreen = target;
    mPortal->Request();
}

void frmResize::ReadPortalShot(const QString& path) {
    // Read like any other file: in the guarded decoder, within its limits.
    mCaptureFile = path;
    mCaptureRequest = Decoder()->Submit(path, cDecodeFront::Lane::Interactive, 0, false);
}

void frmResize::FinishPortalShot(const cDecodeFront::Result& result) {
    mCaptureRequest = 0;
    if (cScreenshotPortal::IsTemporary(mCaptureFile)) {
        QFile::remove(mCaptureFile);
    }
    mCaptureFile.clear();
    QImage picture;
    if (!result.picture.isNull() && mCaptureScreen != nullptr) {
        try {
            picture = ScreenOf(result.picture, mCaptureScreen);
        } catch (...) {
            picture = QImage();
        }
    }
    FinishCapture(mCaptureScreen, picture);
}

void frmResize::AbandonCapture() {
    // Closed while a portal capture waits: what was asked for is of no use now.
    if (mPortal != nullptr && mPortal->IsWaiting()) {
        mPortal->Cancel();
    } else if (mCaptureRequest != 0) {
        mCaptureRequest = 0;  // its decode was cancelled with the others
    } else {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this] { FinishCapture(nullptr, QImage()); }, Qt::QueuedConnection);
}

void frmResize::FinishCapture(QScreen* target, const QImage& picture) {
    const bool ok = !mCloseWhenIdle && target != nullptr && mModel.Capture(picture);
    if (ok) {
        PictureChanged();
        // The picture covers the screen pixel for pixel; the band lies outside it.
        const int b = mFormBorder;
        SetDeviceGeometry(ScreenUnits::DeviceGeometry(target).adjusted(-b, -b, b, b));
    }
    const bool show = !mCloseWhenIdle && (ok || !mQuietRefusal);
    mQuietRefusal = false;
    if (show) {
        QWidget::show();
        RestoreTopMost();
        // After showing: the layout of the new size would put the size tip over it.
        ShowTip(ok ? QStringLiteral("拷贝屏幕结束，请使用") : QStringLiteral("拷贝屏幕被拒绝"));
    }
    EndBusy();
    emit captureEnded(ok);
}
