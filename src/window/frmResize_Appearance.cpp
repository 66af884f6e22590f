// The image window's border, colour-key shape, opacity and position on the screen.

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
#include <algorithm>
#include <cmath>
#include "base/InputMasks.h"
#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "dialogs/ModalSeam.h"
#include "dialogs/mdlKestrin_Version.h"
#include "image/mdlPhotoShop.h"
#include "settings/mdlOption.h"
#include "window/ClassLumora.h"
#include "window/CropRectWidget.h"
#include "window/DevicePlacement.h"
#include "window/OutlineWidget.h"
#include "window/PictureViewWidget.h"
#include "window/PixelControlAdapter.h"
#include "window/WindowArithmetic.h"
#include "window/WindowServices.h"
#include "window/mdlAPI_Form.h"

using Rounding::Round32;

void frmResize::ShapeChanged() {
    if (!mFormShape || mShapeRefreshPending) {
        return;
    }
    mShapeRefreshPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            mShapeRefreshPending = false;
            if (mFormShape) {
                mdlAPI_Form::RefreshColorKey(this);
            }
        },
        Qt::QueuedConnection);
}

QRegion frmResize::KeptRegion(qint32 colour) {
    // Device pixels of the window, like the picture it is cut from.
    const QRect view = DevicePlacement::Of(imgView);
    QRegion kept;
    if (WindowArithmetic::ColourRef(palette().color(QPalette::Window).rgb()) != colour) {
        kept = QRegion(QRect(QPoint(), mDevice.size())) - QRegion(view);
    }
    const QImage& shown = imgView->shownPicture();
    if (!shown.isNull()) {
        if (shown.cacheKey() != mKeptPictureImage || colour != mKeptPictureKey) {
            mKeptPicture = QRegion(QBitmap::fromImage(
                shown.createMaskFromColor(WindowArithmetic::RgbOf(colour), Qt::MaskInColor)));
            mKeptPictureImage = shown.cacheKey();
            mKeptPictureKey = colour;
        }
        kept += mKeptPicture.translated(view.topLeft());
    }
    // Controls over the picture show their own pixels: the tip whole, the outlines and the crop
    // label's frame as rings one logical pixel wide.
    if (lblTip->isVisible()) {
        kept += DevicePlacement::Of(lblTip);
    }
    const int ring = static_cast<int>(std::ceil(DevicePlacement::Ratio(this)));
    for (QWidget* control : {static_cast<QWidget*>(shpFocus), static_cast<QWidget*>(shpCrop),
                             static_cast<QWidget*>(lblCrop)}) {
        if (control->isVisible()) {
            const QRect g = DevicePlacement::Of(control);
            kept += QRegion(g) - QRegion(g.adjusted(ring, ring, -ring, -ring));
        }
    }
    return kept;
}

// ---- appearance ----

void frmResize::cmdSetFormHaveBorder() {
    if (mFormBorder > 0) {
        return;
    }
    mFormBorder = 4;
    const double tx = TwipsPerPixelX();
    const double ty = TwipsPerPixelY();
    SetGeometryTw(Round32(LeftTw() - 4 * tx), Round32(TopTw() - 4 * ty),
                  Round32(WidthTw() + 8 * tx), Round32(HeightTw() + 8 * ty));
    Layout();
}

void frmResize::cmdSetFormNoBorder() {
    if (mFormBorder == 0) {
        return;
    }
    const qint32 b = mFormBorder;
    mFormBorder = 0;
    const double tx = TwipsPerPixelX();
    const double ty = TwipsPerPixelY();
    SetGeometryTw(Round32(LeftTw() + b * tx), Round32(TopTw() + b * ty),
                  Round32(WidthTw() - 2 * b * tx), Round32(HeightTw() - 2 * b * ty));
    Layout();
}

void frmResize::cmdSetFormShape() {
    const bool focusShown = shpFocus->isVisible();
    const bool tipShown = lblTip->isVisible();
    shpFocus->hide();
    lblTip->hide();
    const qint32 key = SampleColor(QPoint(mFormBorder + 1, mFormBorder + 1));
    mdlAPI_Form::SetColorKeyShape(this, key);
    shpFocus->setVisible(focusShown);
    lblTip->setVisible(tipShown);
    mTouming = 100;
    mFormShape = true;
    ShapeChanged();  // the tip and the frame are back over the picture
}

void frmResize::cmdResetFormShape() {
    mdlAPI_Form::ClearLayered(this);
    mTouming = 100;
    mFormShape = false;
}

void frmResize::cmdSetTouming() {
    mdlAPI_Form::SetOpacity(this, WindowArithmetic::AlphaFromPercent(mTouming), false);
    mFormShape = false;
}

void frmResize::cmdAutoPosition() {
    const QPointF origin = ScreenOriginTw();
    const QPointF p = WindowArithmetic::AutoPosition(
        {LeftTw() - origin.x(), TopTw() - origin.y(), WidthTw(), HeightTw()},
        ScreenUnits::ScreenWidthTwips(screen()), ScreenUnits::ScreenHeightTwips(screen()));
    MoveTw(p.x() + origin.x(), p.y() + origin.y());
}

void frmResize::KeepOnAScreen() {
    if (mUnloaded) {
        return;
    }
    for (const QScreen* s : QGuiApplication::screens()) {
        if (ScreenUnits::DeviceGeometry(s).contains(mDevice.center())) {
            return;  // still on a screen
        }
    }
    // Its screen went away: onto the nearest one left, whole where it fits, same device size.
    const QRect area = ScreenUnits::DeviceWorkArea(ScreenUnits::ScreenAtDevice(mDevice.center()));
    if (area.isEmpty()) {
        return;
    }
    const int x =
        std::max(area.left(), std::min(mDevice.left(), area.right() + 1 - mDevice.width()));
    const int y =
        std::max(area.top(), std::min(mDevice.top(), area.bottom() + 1 - mDevice.height()));
    SetDeviceGeometry(QRect(QPoint(x, y), mDevice.size()));
}

void frmResize::GrowToOwnSize() {
    const QSize before = mDevice.size();
    ApplyViewSize(mOrgWidth, mOrgHeight);
    if (mDevice.width() <= before.width() && mDevice.height() <= before.height()) {
        return;  // it did not grow: it stays where it is
    }
    // Just enough to lie inside the work area of its screen, on each axis where it fits.
    const QRect area = ScreenUnits::DeviceWorkArea(ScreenUnits::ScreenAtDevice(mDevice.center()));
    QPoint at = mDevice.topLeft();
    if (mDevice.width() <= area.width()) {
        at.setX(std::clamp(at.x(), area.left(), area.right() + 1 - mDevice.width()));
    }
    if (mDevice.height() <= area.height()) {
        at.setY(std::clamp(at.y(), area.top(), area.bottom() + 1 - mDevice.height()));
    }
    if (at != mDevice.topLeft()) {
        SetDeviceGeometry(QRect(at, mDevice.size()));
    }
}

QPointF frmResize::ScreenOriginTw() const {
    const QPoint origin = ScreenUnits::DeviceGeometry(screen()).topLeft();
    return {origin.x() * TwipsPerPixelX(), origin.y() * TwipsPerPixelY()};
}
