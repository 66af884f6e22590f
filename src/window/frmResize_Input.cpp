// The image window's mouse, keyboard and drops.

#include "window/frmResize.h"

#include <QBitmap>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTime>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <limits>
#include <optional>
#include <utility>
#include "base/InputMasks.h"
#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "base/TextUtil.h"
#include "dialogs/ModalSeam.h"
#include "dialogs/mdlKestrin_Version.h"
#include "image/mdlPhotoShop.h"
#include "settings/mdlOption.h"
#include "window/ClassLumora.h"
#include "window/CropRectWidget.h"
#include "window/DevicePlacement.h"
#include "window/NativeWindow.h"
#include "window/OutlineWidget.h"
#include "window/PictureViewWidget.h"
#include "window/PixelControlAdapter.h"
#include "window/WindowArithmetic.h"
#include "window/WindowPin.h"
#include "window/WindowServices.h"
#include "window/mdlAPI_Form.h"

using Rounding::Round32;

// ---- mouse ----

qint32 frmResize::SampleColor(QPoint p) {
    if (!QRect(QPoint(), mDevice.size()).contains(p)) {
        return -1;
    }
    const QPoint inView = p - DevicePlacement::Of(imgView).topLeft();
    const QImage& shown = imgView->shownPicture();
    if (!shown.isNull() && shown.rect().contains(inView)) {
        return WindowArithmetic::ColourRef(shown.pixel(inView));
    }
    return WindowArithmetic::ColourRef(palette().color(QPalette::Window).rgb());
}

void frmResize::PictureMouseDown(QMouseEvent* e) {
    lblCrop->HideRect();
    const QRect view = DevicePlacement::Of(imgView);
    const QPointF at = DevicePlacement::EventPoint(imgView, e);
    mNowPointColor = SampleColor(at.toPoint() + view.topLeft());
    mIdleTicks = 1;
    if (e->button() == Qt::LeftButton) {
        cmdSetFormFocusON();
    } else if (e->button() == Qt::RightButton) {
        mRightDownX = Round32(at.x());
        mRightDownY = Round32(at.y());
    }
}

void frmResize::PictureMouseMove(QMouseEvent* e) {
    const QRect view = DevicePlacement::Of(imgView);
    const QPointF at = DevicePlacement::EventPoint(imgView, e);
    mNowPointColor = SampleColor(at.toPoint() + view.topLeft());
    mIdleTicks = 1;
    if (e->buttons() != Qt::RightButton) {
        return;
    }
    const auto r = WindowArithmetic::CropFromDrag({mRightDownX, mRightDownY}, Round32(at.x()),
                                                  Round32(at.y()), view.width(), view.height());
    if (r) {
        ShowCropRect(*r);
    }
}

void frmResize::ShowCropRect(const QRect& r) {
    // Picture-relative values used as window coordinates, as the crop commands read them back.
    lblCrop->ShowRect(r);
    // the tip and the focus frame are drawn over the rectangle
    shpFocus->raise();
    lblTip->raise();
    const QSize size = CropRectPx().size();
    ShowTip(TextUtil::SizeText(size.width(), size.height()));
}

void frmResize::PictureMouseUp(QMouseEvent* e) {
    if (e->button() != Qt::RightButton) {
        return;
    }
    const auto& open = WindowServices::WindowOpeners();
    const auto& opener = lblCrop->isVisible() ? open.cropMenu : open.commandPanel;
    if (opener) {
        opener(this);
    }
}

bool frmResize::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (watched != imgView &&
        (t == QEvent::Show || t == QEvent::Hide || t == QEvent::Move || t == QEvent::Resize)) {
        ShapeChanged();  // a control over the picture appeared, went or moved
    }
    if (t == QEvent::Wheel) {
        // Taken wherever over the window it turns: the picture, the crop label, the band.
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    if (t != QEvent::MouseButtonPress && t != QEvent::MouseMove &&
        t != QEvent::MouseButtonRelease) {
        return QWidget::eventFilter(watched, event);
    }
    if (mBusy) {
        return true;  // no drags or crop rectangles while a save or capture runs
    }
    if (watched != imgView) {
        return false;
    }
    PictureMouse(static_cast<QMouseEvent*>(event));
    return false;
}

void frmResize::PictureMouse(QMouseEvent* e) {
    const QEvent::Type t = e->type();
    if (t == QEvent::MouseButtonPress && e->buttons() == e->button()) {
        // A drag measures in the twips of the screen it starts on, also once the window has
        // crossed onto a screen of another scale: the pointer and the window stay together.
        mDragTwips = QPointF(TwipsPerPixelX(), TwipsPerPixelY());
    }
    // Positions reach the controllers in twips, relative to the control.
    QPointF at = DevicePlacement::EventPoint(imgView, e);
    if (t == QEvent::MouseMove && e->buttons() != Qt::NoButton) {
        // While a drag carries the window across screens of different scale, Qt may convert a
        // position with the scale of the screen it is leaving: the window system's pointer and
        // the window's own rectangle are exact.
        if (const std::optional<QPoint> pointer = NativeWindow::PointerDevicePosition()) {
            at = QPointF(*pointer - mDevice.topLeft() - DevicePlacement::Of(imgView).topLeft());
        }
    }
    const auto x = static_cast<float>(at.x() * TwipsPerPixelX());
    const auto y = static_cast<float>(at.y() * TwipsPerPixelY());
    const qint16 shift = InputMasks::ShiftMask(e->modifiers());
    try {
        if (t == QEvent::MouseButtonPress) {
            PictureMouseDown(e);
            if (mResizer) {
                mResizer->MouseDown(InputMasks::ButtonMask(e->button()), shift, x, y);
            }
        } else if (t == QEvent::MouseMove) {
            PictureMouseMove(e);
            if (mResizer) {
                mResizer->MouseMove(InputMasks::ButtonMask(e->buttons()), shift, x, y);
            }
        } else {
            PictureMouseUp(e);
        }
    } catch (const std::exception& ex) {
        qWarning("Lumora: mouse handling failed: %s", ex.what());
    } catch (...) {
        qWarning("Lumora: mouse handling failed");
    }
    if (t == QEvent::MouseButtonRelease && e->buttons() == Qt::NoButton) {
        mDragTwips = QPointF();
    }
}

// ---- wheel ----

void frmResize::wheelEvent(QWheelEvent* event) {
    event->accept();  // taken here: nothing behind the window scrolls instead
    const Qt::KeyboardModifiers keys = event->modifiers() & ~Qt::KeypadModifier;
    const bool free = event->buttons() == Qt::NoButton && !mBusy && !mUnloaded;
    // Shift (and any other chord) is kept for later use: such notches do nothing and forget what
    // was summed, as a held button does.
    const bool zoom = free && keys == Qt::NoModifier;
    const bool opacity = free && keys == Qt::ControlModifier;
    const int delta = event->angleDelta().y();
    const int zoomNotches = mZoomWheel.Add(delta, !zoom);
    const int opacityNotches = mOpacityWheel.Add(delta, !opacity);
    if (zoomNotches == 0 && opacityNotches == 0) {
        return;
    }
    mPendingZoom += zoomNotches;
    mPendingOpacity += opacityNotches;
    mWheelPointer = ScreenUnits::ToDevice(event->globalPosition(), screen());
    if (!mWheelPending) {
        mWheelPending = true;
        QMetaObject::invokeMethod(this, &frmResize::ApplyWheel, Qt::QueuedConnection);
    }
}

void frmResize::ApplyWheel() {
    mWheelPending = false;
    const auto toInt = [](qint64 v) {
        return static_cast<int>(std::clamp<qint64>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
    };
    const int zoom = toInt(std::exchange(mPendingZoom, 0));
    const int opacity = toInt(std::exchange(mPendingOpacity, 0));
    if (mBusy || mUnloaded) {
        return;
    }
    try {
        if (opacity != 0) {
            WheelOpacity(opacity);
        }
        if (zoom != 0) {
            WheelZoom(zoom, mWheelPointer);
        }
    } catch (...) {
        // a wheel step that fails leaves the window as it was
    }
}

void frmResize::WheelZoom(int notches, QPointF pointer) {
    const int b = mFormBorder;
    // The edge drag's smallest window, and twice the screen for the picture.
    const qint64 minOuter = mResizer ? mResizer->MinOuterPixels() : 1;
    const int minSide = static_cast<int>(std::clamp<qint64>(minOuter - 2LL * b, 1, 1 << 20));
    const QSize screenPx(Round32(ScreenUnits::ScreenWidthTwips(screen()) / TwipsPerPixelX()),
                         Round32(ScreenUnits::ScreenHeightTwips(screen()) / TwipsPerPixelY()));
    const QRect next = mZoom.Turn(mDevice, b, ShownSize(), notches, pointer,
                                  QSize(minSide, minSide), screenPx * 2);
    if (next == mDevice) {
        cmdShowSize();  // at a limit: the size still answers the turn
        return;
    }
    lblCrop->HideRect();  // a crop rectangle would no longer sit on what it was drawn over
    SetDeviceGeometry(next);
}

void frmResize::WheelOpacity(int notches) {
    const int next = WindowArithmetic::WheelOpacity(mTouming, notches);
    if (next != mTouming) {
        mTouming = static_cast<qint16>(next);
        cmdSetTouming();  // also ends a colour-key shape: the two exclude each other
        emit opacityChanged(next);
    }
    ShowTip(QStringLiteral("窗体透明度：%1%").arg(mTouming));
}

// ---- keyboard ----

bool frmResize::MoveByArrowKey(int key, Qt::KeyboardModifiers modifiers) {
    WindowArithmetic::Arrow arrow;
    switch (key) {
        case Qt::Key_Left:
            arrow = WindowArithmetic::Arrow::Left;
            break;
        case Qt::Key_Up:
            arrow = WindowArithmetic::Arrow::Up;
            break;
        case Qt::Key_Right:
            arrow = WindowArithmetic::Arrow::Right;
            break;
        case Qt::Key_Down:
            arrow = WindowArithmetic::Arrow::Down;
            break;
        default:
            return false;
    }
    const int step = (modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier ? 10 : 1;
    if (lblCrop->isVisible()) {
        lblCrop->MoveByArrow(arrow, step, mFormBorder, mDevice.size());
        return true;
    }
    // The clamps are the edges of the window's own screen.
    const QPointF origin = ScreenOriginTw();
    const QPointF p = WindowArithmetic::MoveWindowByArrow(
        {LeftTw() - origin.x(), TopTw() - origin.y(), WidthTw(), HeightTw()}, arrow, step,
        TwipsPerPixelX(), TwipsPerPixelY(), ScreenUnits::ScreenWidthTwips(screen()),
        ScreenUnits::ScreenHeightTwips(screen()));
    MoveTw(p.x() + origin.x(), p.y() + origin.y());
    return true;
}

void frmResize::keyPressEvent(QKeyEvent* event) {
    // Keys act on their release, and only when this window saw the press: Esc that closes a dialog
    // or a menu lets go over the window, and must not close it too. A letter command also needs a
    // press without Ctrl, Alt or Meta: a person often lets Ctrl go before the letter, and Ctrl+C
    // must never capture the screen. A press that a shortcut took never arrives here.
    const Qt::KeyboardModifiers chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (!event->isAutoRepeat()) {
        mPressedKey = event->key();
        mPressedPlain = !(event->modifiers() & chords);
    }
    if (!MoveByArrowKey(event->key(), event->modifiers())) {
        QWidget::keyPressEvent(event);
    }
}

void frmResize::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) {
        return;
    }
    const bool seen = mPressedKey == event->key();
    const bool plain = seen && mPressedPlain;
    mPressedKey = 0;
    if (!seen) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Delete:
            close();
            break;
        case Qt::Key_Menu:
            if (auto open = WindowServices::WindowOpeners().commandPanel) {
                open(this);
            }
            break;
        case Qt::Key_N:
            if (auto open = WindowServices::ShellServices().openPictureWindow) {
                open(QString(), 0, 0);
            }
            break;
        case Qt::Key_O:
        case Qt::Key_S:
        case Qt::Key_A:
        case Qt::Key_C:
        case Qt::Key_T:
            if (plain) {
                RunLetterCommand(event->key());
            }
            break;
        case Qt::Key_F12:
            if ((event->modifiers() & all) == all) {
                SuspendTopMost();  // the box must not open under this window
                mdlKestrin_Version::ShowVersionInfo(this);
                RestoreTopMost();
            }
            break;
        default:
            QWidget::keyReleaseEvent(event);
    }
}

void frmResize::RunLetterCommand(int key) {
    try {
        switch (key) {
            case Qt::Key_O:
                cmdOpenPicture();
                break;
            case Qt::Key_S:
                cmdQuickSave();
                break;
            case Qt::Key_A:
                cmdSaveAs();
                break;
            case Qt::Key_C:
                cmdLoadPictureFromScreen();
                break;
            case Qt::Key_T:
                cmdSetClickThrough();
                break;
            default:
                break;
        }
    } catch (...) {
        // a command that fails leaves the window as it was
    }
}

void frmResize::cmdSetClickThrough() {
    if (mPin == nullptr) {
        mPin = new WindowPin(this);
    }
    mPin->Pin();
}

// ---- drops, timer, unload ----

void frmResize::OnFilesDropped(const QStringList& paths) {
    if (mBusy) {
        return;
    }
    try {
        if (paths.isEmpty()) {
            return;
        }
        if (paths.size() == 1 && !QFileInfo(paths.first()).isDir()) {
            LoadFromFile(paths.first());
        } else if (auto open = WindowServices::WindowOpeners().browser) {
            open(paths, this);
        }
    } catch (...) {
        // a drop that fails changes nothing
    }
}
