#include "base/ScreenUnits.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <limits>
#include <utility>

#include "base/Rounding.h"

namespace ScreenUnits {
namespace {
double gOverrideX = 0;
double gOverrideY = 0;
int gOverrideW = 0;
int gOverrideH = 0;
NativeScreenSource gNativeSource;

bool HaveGui() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

const QScreen* OrPrimary(const QScreen* screen) {
    if (screen != nullptr) {
        return screen;
    }
    return HaveGui() ? QGuiApplication::primaryScreen() : nullptr;
}

double FromDpi(double dpi, double scale) {
    return dpi > 0 && scale > 0 ? 1440.0 / (dpi * scale) : 15.0;
}

qint32 Scaled(double v, double factor) {
    return Rounding::Round32(v * factor);
}

qint64 DistanceSquared(const QRect& r, QPoint p) {
    const qint64 dx =
        p.x() < r.left() ? r.left() - p.x() : (p.x() > r.right() ? p.x() - r.right() : 0);
    const qint64 dy =
        p.y() < r.top() ? r.top() - p.y() : (p.y() > r.bottom() ? p.y() - r.bottom() : 0);
    return dx * dx + dy * dy;
}

template <typename RectOf>
QScreen* Nearest(QPoint p, RectOf rectOf) {
    if (!HaveGui()) {
        return nullptr;
    }
    QScreen* best = nullptr;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (QScreen* s : QGuiApplication::screens()) {
        const qint64 d = DistanceSquared(rectOf(s), p);
        if (d < bestDistance) {
            best = s;
            bestDistance = d;
        }
    }
    return best != nullptr ? best : QGuiApplication::primaryScreen();
}
}  // namespace

double Scale(const QScreen* screen) {
    const QScreen* s = OrPrimary(screen);
    const double scale = s ? s->devicePixelRatio() : 1.0;
    return scale > 0 ? scale : 1.0;
}

double TwipsPerPixelX(const QScreen* screen) {
    if (gOverrideX > 0) {
        return gOverrideX;
    }
    const QScreen* s = OrPrimary(screen);
    return s ? FromDpi(s->logicalDotsPerInchX(), Scale(s)) : 15.0;
}

double TwipsPerPixelY(const QScreen* screen) {
    if (gOverrideY > 0) {
        return gOverrideY;
    }
    const QScreen* s = OrPrimary(screen);
    return s ? FromDpi(s->logicalDotsPerInchY(), Scale(s)) : 15.0;
}

QRect DeviceGeometry(const QScreen* screen) {
    const QScreen* s = OrPrimary(screen);
    if (s == nullptr) {
        return QRect();
    }
    if (gNativeSource) {
        const QRect native = gNativeSource(s);
        if (native.isValid()) {
            return native;
        }
    }
    const QRect g = s->geometry();
    const double k = Scale(s);
    return QRect(g.topLeft(), QSize(Scaled(g.width(), k), Scaled(g.height(), k)));
}

QRect DeviceWorkArea(const QScreen* screen) {
    const QScreen* s = OrPrimary(screen);
    const QRect whole = DeviceGeometry(s);
    if (s == nullptr) {
        return whole;
    }
    // The work area is the screen less the panels around it, each inset measured in device pixels.
    const QRect g = s->geometry();
    const QRect a = s->availableGeometry();
    const double k = Scale(s);
    QRect area =
        whole.adjusted(Scaled(a.left() - g.left(), k), Scaled(a.top() - g.top(), k),
                       -Scaled(g.right() - a.right(), k), -Scaled(g.bottom() - a.bottom(), k));
    return area.isValid() ? area : whole;
}

double ScreenWidthTwips(const QScreen* screen) {
    const int px = gOverrideW > 0 ? gOverrideW : DeviceGeometry(screen).width();
    return px * TwipsPerPixelX(screen);
}

double ScreenHeightTwips(const QScreen* screen) {
    const int px = gOverrideH > 0 ? gOverrideH : DeviceGeometry(screen).height();
    return px * TwipsPerPixelY(screen);
}

QRect ToLogical(const QRect& device, const QScreen* screen) {
    const QScreen* s = OrPrimary(screen);
    const double k = Scale(s);
    const QPoint o = s ? s->geometry().topLeft() : QPoint();
    const qint32 left = o.x() + Scaled(device.x() - o.x(), 1.0 / k);
    const qint32 top = o.y() + Scaled(device.y() - o.y(), 1.0 / k);
    return QRect(left, top, LogicalCovering(device.width(), k),
                 LogicalCovering(device.height(), k));
}

qint32 LogicalCovering(double device, double scale) {
    // The small allowance keeps an exact quotient (201 / 1.5 = 134) from going one up.
    return static_cast<qint32>(std::ceil(device / (scale > 0 ? scale : 1.0) - 1e-9));
}

QRect ToDevice(const QRect& logical, const QScreen* screen) {
    const QScreen* s = OrPrimary(screen);
    const double k = Scale(s);
    const QPoint o = s ? s->geometry().topLeft() : QPoint();
    return QRect(o.x() + Scaled(logical.x() - o.x(), k), o.y() + Scaled(logical.y() - o.y(), k),
                 Scaled(logical.width(), k), Scaled(logical.height(), k));
}

QPointF ToDevice(QPointF logical, const QScreen* screen) {
    const QScreen* s = OrPrimary(screen);
    const double k = Scale(s);
    const QPointF o = s ? QPointF(s->geometry().topLeft()) : QPointF();
    return o + (logical - o) * k;
}

QScreen* ScreenAtDevice(QPoint device) {
    return Nearest(device, [](const QScreen* s) { return DeviceGeometry(s); });
}

QScreen* ScreenAtLogical(QPoint logical) {
    return Nearest(logical, [](const QScreen* s) { return s->geometry(); });
}

void SetNativeScreenSource(NativeScreenSource source) {
    gNativeSource = std::move(source);
}

void OverrideForTesting(double twipsPerPixelX, double twipsPerPixelY, int screenWidthPx,
                        int screenHeightPx) {
    gOverrideX = twipsPerPixelX;
    gOverrideY = twipsPerPixelY;
    gOverrideW = screenWidthPx;
    gOverrideH = screenHeightPx;
}

}  // namespace ScreenUnits
