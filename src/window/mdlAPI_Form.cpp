#include "window/mdlAPI_Form.h"

#include "window/DevicePlacement.h"
#include "window/NativeWindow.h"
#include "window/WindowArithmetic.h"

#include <QBitmap>
#include <QImage>
#include <QRegion>
#include <QTransform>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace mdlAPI_Form {
namespace {
constexpr char kKeyProperty[] = "lumoraColorKey";
constexpr qint32 kNoKey = -2;

// Changes window flags without recreating a shown window (which would hide it and lose its
// place): the window system is told through the native window, the widget only records them.
void SetFlag(QWidget* w, Qt::WindowType flag, bool on) {
    const Qt::WindowFlags old = w->windowFlags();
    const Qt::WindowFlags flags = on ? (old | flag) : (old & ~flag);
    if (flags == old) {
        return;
    }
    if (QWindow* handle = w->windowHandle()) {
        w->overrideWindowFlags(flags);
        handle->setFlags(flags);
    } else {
        w->setWindowFlags(flags);
    }
}

bool PlaceInBand(QWidget* w, bool topMost) {
    if (!w) {
        return false;
    }
    const QRect g = w->geometry();
    SetFlag(w, Qt::WindowStaysOnTopHint, topMost);
    // A window that was never shown has no place yet: giving it one would stop it from sizing and
    // centring itself when it first shows.
    if (w->testAttribute(Qt::WA_WState_Created)) {
        w->setGeometry(g);
    }
    if (w->isVisible()) {
        w->raise();
        w->activateWindow();
    }
    return true;
}

// The window's own pixels, as they show without any cut-out.
QImage Surface(QWidget* w) {
    w->clearMask();
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The pixels of a window that are not of the key colour, from a picture of its surface.
QRegion KeptFromSurface(QWidget* w, qint32 key) {
    const QImage surface = Surface(w);
    if (surface.isNull()) {
        return QRegion(w->rect());
    }
    // A region built from this mask holds the pixels that are not the key colour (pinned by the
    // window tests). The grab may be larger than the window on a high-dpi screen.
    QImage keyMask = surface.createMaskFromColor(WindowArithmetic::RgbOf(key), Qt::MaskInColor);
    if (keyMask.size() != w->size()) {
        keyMask = keyMask.scaled(w->size());
    }
    return QRegion(QBitmap::fromImage(keyMask));
}

void ApplyKey(QWidget* w, qint32 key) {
    auto* surface = dynamic_cast<IColorKeySurface*>(w);
    const double ratio = DevicePlacement::Ratio(w);
    // A window that knows its pixels answers in device pixels; a picture of a surface is logical.
    QRegion kept = surface ? surface->KeptRegion(key) : KeptFromSurface(w, key);
    if (kept.isEmpty()) {
        // An all-key window would vanish completely and could never be clicked again; keep one
        // pixel so it can still be found and reset.
        kept = QRegion(0, 0, 1, 1);
    }
    if (!surface || qFuzzyCompare(ratio, 1.0)) {
        w->setMask(kept);
        return;
    }
    // Qt's mask is logical, the nearest it can say; the window system then gets the exact one.
    w->setMask(QTransform::fromScale(1 / ratio, 1 / ratio).map(kept));
    NativeWindow::SetDeviceShape(w, kept);
}
}  // namespace

bool SetTopMost(QWidget* window) {
    return PlaceInBand(window, true);
}

bool SetNoTopMost(QWidget* window) {
    return PlaceInBand(window, false);
}

bool SetColorKeyShape(QWidget* window, qint32 colour) {
    if (!window) {
        return false;
    }
    window->setWindowOpacity(1.0);
    SetFlag(window, Qt::WindowTransparentForInput, false);
    if (colour == -1) {
        const QImage surface = Surface(window);
        colour = surface.isNull() ? 0 : WindowArithmetic::ColourRef(surface.pixel(0, 0));
    }
    window->setProperty(kKeyProperty, colour);
    ApplyKey(window, colour);
    return true;
}

bool RefreshColorKey(QWidget* window) {
    if (!window || ColorKeyOf(window) == kNoKey) {
        return false;
    }
    ApplyKey(window, ColorKeyOf(window));
    return true;
}

bool ClearLayered(QWidget* window) {
    if (!window) {
        return false;
    }
    window->setProperty(kKeyProperty, QVariant());
    window->clearMask();
    window->setWindowOpacity(1.0);
    SetFlag(window, Qt::WindowTransparentForInput, false);
    return true;
}

bool SetOpacity(QWidget* window, qint32 alpha, bool clickThrough) {
    if (!window) {
        return false;
    }
    window->setProperty(kKeyProperty, QVariant());
    window->clearMask();
    window->setWindowOpacity(std::clamp(alpha, 0, 255) / 255.0);
    SetFlag(window, Qt::WindowTransparentForInput, clickThrough);
    return true;
}

bool SetWindowFlag(QWidget* window, Qt::WindowType flag, bool on) {
    if (!window) {
        return false;
    }
    SetFlag(window, flag, on);
    return true;
}

qint32 ColorKeyOf(const QWidget* window) {
    if (!window) {
        return kNoKey;
    }
    const QVariant v = window->property(kKeyProperty);
    return v.isValid() ? v.toInt() : kNoKey;
}

}  // namespace mdlAPI_Form
