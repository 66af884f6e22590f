#include "window/DevicePlacement.h"

#include <QMouseEvent>
#include <QVariant>
#include <QWidget>
#include <algorithm>

#include "base/Rounding.h"
#include "base/ScreenUnits.h"

namespace DevicePlacement {
namespace {
constexpr char kProperty[] = "lumoraDeviceRect";
constexpr char kWholly[] = "lumoraCoversWholly";

qint32 Scaled(double v, double k) {
    return Rounding::Round32(v * k);
}

// The logical rectangle a device rectangle shows as inside its window: the near edges rounded, the
// far ones rounded up, so the control still takes the mouse over its last device pixels. wholly:
// the near edges rounded down too, so that the control can paint on its first device pixels.
QRect LogicalOf(const QRect& r, double k, bool wholly) {
    const qint32 left =
        wholly ? -ScreenUnits::LogicalCovering(-r.left(), k) : Scaled(r.left(), 1.0 / k);
    const qint32 top =
        wholly ? -ScreenUnits::LogicalCovering(-r.top(), k) : Scaled(r.top(), 1.0 / k);
    return QRect(left, top,
                 std::max(0, ScreenUnits::LogicalCovering(r.left() + r.width(), k) - left),
                 std::max(0, ScreenUnits::LogicalCovering(r.top() + r.height(), k) - top));
}
}  // namespace

double Ratio(const QWidget* w) {
    const double k = w != nullptr ? w->devicePixelRatioF() : 1.0;
    return k > 0 ? k : 1.0;
}

QRect Of(const QWidget* control) {
    const QVariant v = control->property(kProperty);
    if (v.isValid()) {
        return v.toRect();
    }
    const double k = Ratio(control);
    const QRect g = control->geometry();
    return QRect(Scaled(g.x(), k), Scaled(g.y(), k), Scaled(g.width(), k), Scaled(g.height(), k));
}

bool IsPlaced(const QWidget* control) {
    return control->property(kProperty).isValid();
}

void Set(QWidget* control, const QRect& r) {
    const QRect device(r.topLeft(), QSize(std::max(0, r.width()), std::max(0, r.height())));
    control->setProperty(kProperty, device);
    control->setGeometry(LogicalOf(device, Ratio(control), control->property(kWholly).toBool()));
}

void CoverWholly(QWidget* control) {
    control->setProperty(kWholly, true);
    Refresh(control);
}

void MoveTo(QWidget* control, QPoint topLeft) {
    Set(control, QRect(topLeft, Of(control).size()));
}

void Refresh(QWidget* control) {
    if (control->property(kProperty).isValid()) {
        Set(control, Of(control));
    }
}

QPointF EventPoint(const QWidget* control, const QMouseEvent* e) {
    // The window's own origin is whole in both measures, so the window-relative position scales
    // exactly; the control's logical origin may be rounded, its device origin is not.
    return e->scenePosition() * Ratio(control) - QPointF(Of(control).topLeft());
}

}  // namespace DevicePlacement
