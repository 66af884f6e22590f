#include "base/ScreenUnits.h"

#include <QGuiApplication>
#include <QScreen>

namespace ScreenUnits {
namespace {
double gOverrideX = 0;
double gOverrideY = 0;
int gOverrideW = 0;
int gOverrideH = 0;

const QScreen* Primary() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
               ? QGuiApplication::primaryScreen()
               : nullptr;
}

double FromDpi(double dpi) {
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}
}  // namespace

double TwipsPerPixelX() {
    if (gOverrideX > 0) {
        return gOverrideX;
    }
    const QScreen* s = Primary();
    return s ? FromDpi(s->logicalDotsPerInchX()) : 15.0;
}

double TwipsPerPixelY() {
    if (gOverrideY > 0) {
        return gOverrideY;
    }
    const QScreen* s = Primary();
    return s ? FromDpi(s->logicalDotsPerInchY()) : 15.0;
}

double ScreenWidthTwips() {
    if (gOverrideW > 0) {
        return gOverrideW * TwipsPerPixelX();
    }
    const QScreen* s = Primary();
    return s ? s->geometry().width() * TwipsPerPixelX() : 0.0;
}

double ScreenHeightTwips() {
    if (gOverrideH > 0) {
        return gOverrideH * TwipsPerPixelY();
    }
    const QScreen* s = Primary();
    return s ? s->geometry().height() * TwipsPerPixelY() : 0.0;
}

void OverrideForTesting(double twipsPerPixelX, double twipsPerPixelY, int screenWidthPx,
                        int screenHeightPx) {
    gOverrideX = twipsPerPixelX;
    gOverrideY = twipsPerPixelY;
    gOverrideW = screenWidthPx;
    gOverrideH = screenHeightPx;
}

}  // namespace ScreenUnits
