#include "window/cScreenCapture.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "base/ScreenUnits.h"
#include "image/cScreenshotPortal.h"
#include "image/mdlPhotoShop.h"

cScreenCapture::cScreenCapture(QObject* parent) : QObject(parent) {}

cScreenCapture::~cScreenCapture() {
    if (mShotRequest != 0) {
        DropShotFile();  // its read is given up with the decoder, a child
    }
}

void cScreenCapture::Start(QScreen* target, int delayMs) {
    mTarget = target;
    mAbandoned = false;
    if (delayMs <= 0) {
        Grab();
    } else {
        QTimer::singleShot(delayMs, this, &cScreenCapture::Grab);
    }
}

void cScreenCapture::Grab() {
    if (mTarget == nullptr || mAbandoned) {
        End(QImage());
        return;
    }
    if (!cScreenshotPortal::Wanted()) {
        QImage picture;
        try {
            picture = mdlPhotoShop::CaptureScreen(mTarget);
        } catch (...) {
            picture = QImage();  // a grab that fails is a refusal, which the window reports
        }
        End(picture);
        return;
    }
    if (mPortal == nullptr) {
        mPortal = new cScreenshotPortal(this);
        connect(mPortal, &cScreenshotPortal::taken, this, &cScreenCapture::ReadShot);
        connect(mPortal, &cScreenshotPortal::refused, this, [this] { End(QImage()); });
    }
    mPortal->Request();
}

void cScreenCapture::ReadShot(const QString& path) {
    // Read like any other file: in the guarded decoder, within its limits.
    if (mDecoder == nullptr) {
        mDecoder = new cDecodeFront(this);
        connect(mDecoder, &cDecodeFront::decoded, this, &cScreenCapture::ShotRead);
    }
    mShotFile = path;
    mShotRequest = mDecoder->Submit(path, cDecodeFront::Lane::Interactive, 0, false);
}

void cScreenCapture::ShotRead(const cDecodeFront::Result& result) {
    if (result.id != mShotRequest) {
        return;  // a read given up
    }
    mShotRequest = 0;
    DropShotFile();
    QImage picture;
    if (!result.picture.isNull() && mTarget != nullptr) {
        QRect desktop;
        for (const QScreen* s : QGuiApplication::screens()) {
            desktop |= ScreenUnits::DeviceGeometry(s);
        }
        try {
            picture = ScreenOf(result.picture, desktop, ScreenUnits::DeviceGeometry(mTarget));
        } catch (...) {
            picture = QImage();  // no memory for the cut: a capture that brought nothing
        }
    }
    End(picture);
}

void cScreenCapture::Abandon() {
    if (mPortal != nullptr && mPortal->IsWaiting()) {
        mPortal->Cancel();
    } else if (mShotRequest != 0) {
        mDecoder->Cancel(mShotRequest);
        mShotRequest = 0;
        DropShotFile();
    } else {
        mAbandoned = true;  // still in its delay, or not running at all
        return;
    }
    mTarget = nullptr;
    QMetaObject::invokeMethod(
        this, [this] { End(QImage()); }, Qt::QueuedConnection);
}

void cScreenCapture::DropShotFile() {
    // Read or given up, a file the portal left in a temporary place is ours to delete (a worker
    // still reading it keeps it open).
    if (cScreenshotPortal::IsTemporary(mShotFile)) {
        QFile::remove(mShotFile);
    }
    mShotFile.clear();
}

void cScreenCapture::End(const QImage& picture) {
    emit ended(mTarget, picture);
}

QImage cScreenCapture::ScreenOf(const QImage& shot, const QRect& desktop, const QRect& screen) {
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
