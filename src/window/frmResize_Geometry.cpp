// The image window's place and size: its exact rectangle in device pixels, kept against Qt's
// logical rounding, the twips the controllers measure in, its layout and its paint.

#include "window/frmResize.h"

#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "window/CropRectWidget.h"
#include "window/DevicePlacement.h"
#include "window/NativeWindow.h"
#include "window/OutlineWidget.h"
#include "window/PictureViewWidget.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

using Rounding::Round32;

// ---- geometry in twips ----

// Twips per device pixel of the screen the window is on (during a drag, the one it started on).
double frmResize::TwipsPerPixelX() const {
    return mDragTwips.isNull() ? ScreenUnits::TwipsPerPixelX(screen()) : mDragTwips.x();
}
double frmResize::TwipsPerPixelY() const {
    return mDragTwips.isNull() ? ScreenUnits::TwipsPerPixelY(screen()) : mDragTwips.y();
}
double frmResize::LeftTw() const {
    return mDevice.x() * TwipsPerPixelX();
}
double frmResize::TopTw() const {
    return mDevice.y() * TwipsPerPixelY();
}
double frmResize::WidthTw() const {
    return mDevice.width() * TwipsPerPixelX();
}
double frmResize::HeightTw() const {
    return mDevice.height() * TwipsPerPixelY();
}

void frmResize::SetGeometryTw(qint32 left, qint32 top, qint32 width, qint32 height) {
    const double tx = TwipsPerPixelX();
    const double ty = TwipsPerPixelY();
    // Both edges are rounded, so an edge that a drag does not move never shifts by a pixel.
    const qint32 x = Round32(left / tx);
    const qint32 y = Round32(top / ty);
    const qint32 right = Round32((static_cast<double>(left) + width) / tx);
    const qint32 bottom = Round32((static_cast<double>(top) + height) / ty);
    // The picture keeps at least one pixel inside the border: a window narrower than its band
    // would show nothing and could no longer be clicked.
    const qint32 least = 1 + 2 * mFormBorder;
    SetDeviceGeometry(QRect(x, y, std::max(least, right - x), std::max(least, bottom - y)));
}

void frmResize::MoveTw(double left, double top) {
    SetDeviceGeometry(QRect(
        QPoint(Round32(left / TwipsPerPixelX()), Round32(top / TwipsPerPixelY())), mDevice.size()));
}

void frmResize::SetDeviceGeometry(const QRect& r) {
    const bool resized = r.size() != mDevice.size();
    mDevice = r;
    mRequested[mNextRequested] = r;
    mNextRequested = (mNextRequested + 1) % mRequested.size();
    // Qt is given the nearest logical rectangle on the screen the window goes to; the window
    // system then gets the exact one, which Qt's logical pixels cannot always say.
    const QScreen* target = ScreenUnits::ScreenAtDevice(r.center());
    mPlacing = true;
    setGeometry(ScreenUnits::ToLogical(r, target));
    mPlacing = false;
    NativeWindow::SetDeviceGeometry(this, r);
    if (resized || !qFuzzyCompare(DevicePlacement::Ratio(this), mLastRatio)) {
        Layout();
    }
}

void frmResize::Reconcile() {
    if (mPlacing) {
        return;
    }
    const double ratio = DevicePlacement::Ratio(this);
    const bool newRatio = !qFuzzyCompare(ratio, mLastRatio);
    if (const std::optional<QRect> native = NativeWindow::DeviceGeometry(this)) {
        if (*native != mDevice) {
            // Qt placing the window again from its own logical pixels rounds each edge by less
            // than a logical pixel, and a window manager may still be applying a place asked for
            // a moment ago: then the exact, newest rectangle is put back. Anything else was a
            // move by someone else (a window manager), which stands.
            const int slack = static_cast<int>(std::ceil(ratio));
            const QRect d = *native;
            const auto near = [&d, slack](const QRect& r) {
                return std::abs(d.left() - r.left()) <= slack &&
                       std::abs(d.top() - r.top()) <= slack &&
                       std::abs(d.right() - r.right()) <= slack &&
                       std::abs(d.bottom() - r.bottom()) <= slack;
            };
            const bool ours = std::any_of(mRequested.begin(), mRequested.end(), near);
            if (ours) {
                NativeWindow::SetDeviceGeometry(this, mDevice);
            } else {
                mDevice = d;
                Layout();
                return;
            }
        }
    } else if (!NativeWindow::Available() &&
               ScreenUnits::ToLogical(mDevice, screen()) != geometry()) {
        // No window system to ask: Qt's geometry is all there is.
        mDevice = ScreenUnits::ToDevice(geometry(), screen());
        Layout();
        return;
    }
    if (newRatio) {
        Layout();  // on a screen of another scale the controls' logical places change
    }
}

// ---- layout and paint ----

void frmResize::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!isMinimized()) {
        Reconcile();
        Layout();  // also the first layout when the window first shows
    }
}

void frmResize::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Reconcile();
}

void frmResize::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Showing places the native window from Qt's logical geometry, during this event and right
    // after it: the exact rectangle is given again once the show is done.
    NativeWindow::SetDeviceGeometry(this, mDevice);
    QMetaObject::invokeMethod(
        this, [this] { NativeWindow::SetDeviceGeometry(this, mDevice); }, Qt::QueuedConnection);
}

void frmResize::paintEvent(QPaintEvent* /*event*/) {
    // Painted in device pixels: the band, then the picture 1:1 where its control lies, so no
    // logical rounding can stretch, drop or double a row.
    QPainter p(this);
    p.setWorldTransform(p.deviceTransform().inverted());
    const QRect view = DevicePlacement::Of(imgView);
    const QImage& shown = imgView->shownPicture();
    const QRegion band = QRegion(QRect(QPoint(), mDevice.size())) -
                         QRegion(shown.isNull() ? QRect() : QRect(view.topLeft(), shown.size()));
    for (const QRect& r : band) {
        p.fillRect(r, palette().window());
    }
    if (!shown.isNull()) {
        p.drawImage(view.topLeft(), shown);
    }
}

// The picture's control may end a fraction of a logical pixel short of its last device pixels
// (Qt rounds the window's logical size from the device size it has): presses there reach the
// window itself and are handed to the picture, as is the drag that follows.
void frmResize::mousePressEvent(QMouseEvent* event) {
    // Only presses on the window itself: one a control passed up was handled there already.
    const QPointF at = DevicePlacement::EventPoint(imgView, event);
    mFramePress = !mBusy && childAt(event->position().toPoint()) == nullptr &&
                  QRectF(QPointF(), QSizeF(ShownSize())).contains(at);
    if (mFramePress) {
        PictureMouse(event);
    }
}

void frmResize::mouseMoveEvent(QMouseEvent* event) {
    if (mFramePress && !mBusy) {
        PictureMouse(event);
    }
}

void frmResize::mouseReleaseEvent(QMouseEvent* event) {
    if (std::exchange(mFramePress, false) && !mBusy) {
        PictureMouse(event);
    }
}

void frmResize::Layout() {
    mIdleTicks = 1;
    mLastRatio = DevicePlacement::Ratio(this);
    const int b = mFormBorder;
    const QRect view(b, b, std::max(0, mDevice.width() - 2 * b),
                     std::max(0, mDevice.height() - 2 * b));
    DevicePlacement::Set(imgView, view);
    imgView->setDeviceSize(view.size());
    DevicePlacement::Set(shpFocus, view);
    DevicePlacement::Refresh(lblCrop);
    DevicePlacement::Refresh(shpCrop);
    update();
    cmdGetOrgWidthHeight();
    if (mHoldTip) {
        mHoldTip = false;
    } else {
        cmdShowSize();
    }
    ShapeChanged();
}
