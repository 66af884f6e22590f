#include "window/cWindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "base/TextUtil.h"
#include "window/IImageWindowFace.h"
#include "window/WorkAreaPlacement.h"
#include "window/cWheelGesture.h"

using Rounding::Round32;

QPointF cWindowPlacement::Twips() const {
    const QScreen* s = mFace.Screen();
    return mGeometry.Twips({ScreenUnits::TwipsPerPixelX(s), ScreenUnits::TwipsPerPixelY(s)});
}
double cWindowPlacement::TwipsPerPixelX() const {
    return Twips().x();
}
double cWindowPlacement::TwipsPerPixelY() const {
    return Twips().y();
}
double cWindowPlacement::LeftTw() const {
    return mGeometry.Rect().x() * TwipsPerPixelX();
}
double cWindowPlacement::TopTw() const {
    return mGeometry.Rect().y() * TwipsPerPixelY();
}
double cWindowPlacement::WidthTw() const {
    return mGeometry.Rect().width() * TwipsPerPixelX();
}
double cWindowPlacement::HeightTw() const {
    return mGeometry.Rect().height() * TwipsPerPixelY();
}

void cWindowPlacement::SetGeometryTw(qint32 left, qint32 top, qint32 width, qint32 height) {
    SetDeviceGeometry(
        cDeviceGeometry::FromTwips(left, top, width, height, Twips(), 1 + 2 * mFormBorder));
}

void cWindowPlacement::MoveTw(double left, double top) {
    const QPoint corner(Round32(left / TwipsPerPixelX()), Round32(top / TwipsPerPixelY()));
    SetDeviceGeometry(QRect(corner, mGeometry.Rect().size()));
}

QPointF cWindowPlacement::ScreenOriginTw() const {
    const QPoint origin = ScreenUnits::DeviceGeometry(mFace.Screen()).topLeft();
    return {origin.x() * TwipsPerPixelX(), origin.y() * TwipsPerPixelY()};
}

QSize cWindowPlacement::ScreenPixels() const {
    const QScreen* s = mFace.Screen();
    return {Round32(ScreenUnits::ScreenWidthTwips(s) / TwipsPerPixelX()),
            Round32(ScreenUnits::ScreenHeightTwips(s) / TwipsPerPixelY())};
}

void cWindowPlacement::SetDeviceGeometry(const QRect& r) {
    const bool resized = mGeometry.Request(r);
    mFace.PlaceExactly(r);
    if (resized || mGeometry.RatioChanged(mFace.Ratio())) {
        mFace.LayOut();
    }
}

bool cWindowPlacement::ApplyViewSize(qint32 w, qint32 h, QPoint shift) {
    const QScreen* s = mFace.Screen();
    const auto fit = WindowArithmetic::FitViewSize(
        w, h, mFormBorder, static_cast<float>(TwipsPerPixelX()),
        static_cast<float>(TwipsPerPixelY()), static_cast<float>(ScreenUnits::ScreenWidthTwips(s)),
        static_cast<float>(ScreenUnits::ScreenHeightTwips(s)));
    const QPoint corner = mGeometry.Rect().topLeft() + shift;
    SetGeometryTw(Round32(corner.x() * TwipsPerPixelX()), Round32(corner.y() * TwipsPerPixelY()),
                  Round32(fit.widthTwips), Round32(fit.heightTwips));
    if (fit.shrunk) {
        mFace.ShowTip(QStringLiteral("图片尺寸过大，已经被自动调整！"));
        // A window not shown yet gets its first layout when it shows: the tip must outlast it.
        mFace.HoldTip(!mFace.IsShown());
    }
    return true;
}

void cWindowPlacement::SetBorder(bool on) {
    if ((mFormBorder > 0) == on) {
        return;
    }
    const qint32 old = mFormBorder;
    mFormBorder = on ? 4 : 0;
    SetDeviceGeometry(mGeometry.Rebordered(old, mFormBorder, Twips()));
    mFace.LayOut();
}

void cWindowPlacement::MoveByPixels(QPoint shift) {
    SetDeviceGeometry(mGeometry.Rect().translated(shift));
}

void cWindowPlacement::KeepGrownInside(QSize before) {
    const QRect r = mGeometry.Rect();
    if (r.width() <= before.width() && r.height() <= before.height()) {
        return;  // it did not grow: it stays where it is
    }
    KeepInside();
}

void cWindowPlacement::KeepInside() {
    const QRect r = mGeometry.Rect();
    const QRect area = ScreenUnits::DeviceWorkArea(ScreenUnits::ScreenAtDevice(r.center()));
    if (area.isEmpty()) {
        return;  // no screen to keep to
    }
    const QPoint at = WorkAreaPlacement::Inside(r, area);
    if (at != r.topLeft()) {
        SetDeviceGeometry(QRect(at, r.size()));
    }
}

void cWindowPlacement::Reconcile(const std::optional<QRect>& native, bool nativeAvailable,
                                 const QRect& logical) {
    // On a screen of another scale the controls' logical places change.
    bool layOut = mGeometry.RatioChanged(mFace.Ratio());
    if (native) {
        const auto verdict = mGeometry.Reconcile(*native, mFace.Ratio());
        if (verdict == cDeviceGeometry::Verdict::PutBack) {
            mFace.PutBack(mGeometry.Rect());
        } else if (verdict == cDeviceGeometry::Verdict::Replace) {
            // Asked through Qt as well: Qt now holds the manager's place for the window.
            SetDeviceGeometry(mGeometry.Rect());
        }
        layOut = layOut || verdict == cDeviceGeometry::Verdict::Adopted;
    } else if (!nativeAvailable &&
               ScreenUnits::ToLogical(mGeometry.Rect(), mFace.Screen()) != logical) {
        mGeometry.Adopt(ScreenUnits::ToDevice(logical, mFace.Screen()));
        layOut = true;
    }
    if (layOut) {
        mFace.LayOut();
    }
}

void cWindowPlacement::KeepOnAScreen() {
    if (mFace.IsUnloaded()) {
        return;
    }
    const QRect r = mGeometry.Rect();
    for (const QScreen* s : QGuiApplication::screens()) {
        if (ScreenUnits::DeviceGeometry(s).contains(r.center())) {
            return;  // still on a screen
        }
    }
    // Onto the nearest screen left, same device size.
    const QRect area = ScreenUnits::DeviceWorkArea(ScreenUnits::ScreenAtDevice(r.center()));
    if (!area.isEmpty()) {
        SetDeviceGeometry(QRect(WorkAreaPlacement::Inside(r, area), r.size()));
    }
}

void cWindowPlacement::AutoPosition() {
    const QScreen* s = mFace.Screen();
    const QPointF origin = ScreenOriginTw();
    const QPointF p = WindowArithmetic::AutoPosition(
        {LeftTw() - origin.x(), TopTw() - origin.y(), WidthTw(), HeightTw()},
        ScreenUnits::ScreenWidthTwips(s), ScreenUnits::ScreenHeightTwips(s));
    MoveTw(p.x() + origin.x(), p.y() + origin.y());
}

void cWindowPlacement::MoveByArrow(WindowArithmetic::Arrow arrow, int step) {
    const QScreen* s = mFace.Screen();
    const QPointF origin = ScreenOriginTw();
    const QPointF p = WindowArithmetic::MoveWindowByArrow(
        {LeftTw() - origin.x(), TopTw() - origin.y(), WidthTw(), HeightTw()}, arrow, step,
        TwipsPerPixelX(), TwipsPerPixelY(), ScreenUnits::ScreenWidthTwips(s),
        ScreenUnits::ScreenHeightTwips(s));
    MoveTw(p.x() + origin.x(), p.y() + origin.y());
}

void cWindowPlacement::CoverScreen(const QScreen* screen) {
    const int b = mFormBorder;
    SetDeviceGeometry(ScreenUnits::DeviceGeometry(screen).adjusted(-b, -b, b, b));
}

void cWindowPlacement::WheelZoom(cWheelGesture& wheel, int notches, QPointF pointer,
                                 qint64 minOuter) {
    const QSize shown = mFace.ShownSize();
    const QRect next = wheel.Zoom(mGeometry.Rect(), mFormBorder, shown, notches, pointer, minOuter,
                                  ScreenPixels());
    if (next == mGeometry.Rect()) {
        // At a limit: the size still answers the turn.
        mFace.ShowTip(TextUtil::SizeText(shown.width(), shown.height()));
        return;
    }
    mFace.HideCropRect();  // a crop rectangle would no longer sit on what it was drawn over
    SetDeviceGeometry(next);
}
