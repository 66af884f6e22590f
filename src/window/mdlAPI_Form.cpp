#include "window/mdlAPI_Form.h"

#include <QBitmap>
#include <QImage>
#include <QRegion>
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
        const QRect g = w->geometry();
        w->setWindowFlags(flags);
        w->setGeometry(g);
    }
}

bool PlaceInBand(QWidget* w, bool topMost) {
    if (!w) {
        return false;
    }
    const QRect g = w->geometry();
    SetFlag(w, Qt::WindowStaysOnTopHint, topMost);
    w->setGeometry(g);
    if (w->isVisible()) {
        w->raise();
        w->activateWindow();
    }
    return true;
}

qint32 ToColourRef(QRgb rgb) {
    return static_cast<qint32>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

// The window's own pixels, as they show without any cut-out.
QImage Surface(QWidget* w) {
    w->clearMask();
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void ApplyKey(QWidget* w, qint32 key) {
    const QImage surface = Surface(w);
    if (surface.isNull()) {
        return;
    }
    const QRgb rgb = qRgb(key & 0xFF, (key >> 8) & 0xFF, (key >> 16) & 0xFF);
    // A region built from this mask holds the pixels that are not the key colour (pinned by the
    // window tests). The grab may be larger than the window on a high-dpi screen.
    QImage keyMask = surface.createMaskFromColor(rgb, Qt::MaskInColor);
    if (keyMask.size() != w->size()) {
        keyMask = keyMask.scaled(w->size());
    }
    const QRegion kept(QBitmap::fromImage(keyMask));
    if (kept.isEmpty()) {
        // An all-key window would vanish completely and could never be clicked again; keep one
        // pixel so it can still be found and reset.
        w->setMask(QRegion(0, 0, 1, 1));
    } else {
        w->setMask(kept);
    }
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
        colour = surface.isNull() ? 0 : ToColourRef(surface.pixel(0, 0));
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

qint32 ColorKeyOf(const QWidget* window) {
    if (!window) {
        return kNoKey;
    }
    const QVariant v = window->property(kKeyProperty);
    return v.isValid() ? v.toInt() : kNoKey;
}

}  // namespace mdlAPI_Form
