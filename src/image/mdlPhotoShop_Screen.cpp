// The screen as a picture: the one place that reads the screen's pixels.

#include "image/mdlPhotoShop.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "base/Rounding.h"
#include "base/ScreenUnits.h"

namespace mdlPhotoShop {

QImage CaptureScreen(QScreen* iScreen) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return QImage();
    }
    QScreen* screen = iScreen ? iScreen : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return QImage();
    }
    // The screen's size in device pixels: a grab is in device pixels too, so the picture holds
    // the screen's own pixels at every scale factor.
    const QSize size = iScreen != nullptr
                           ? ScreenUnits::DeviceGeometry(screen).size()
                           : QSize(Rounding::Round32(ScreenUnits::ScreenWidthTwips() /
                                                     ScreenUnits::TwipsPerPixelX()),
                                   Rounding::Round32(ScreenUnits::ScreenHeightTwips() /
                                                     ScreenUnits::TwipsPerPixelY()));
    if (size.isEmpty()) {
        return QImage();
    }
    QImage grabbed = screen->grabWindow(0).toImage();
    if (grabbed.isNull()) {
        return QImage();
    }
    grabbed.setDevicePixelRatio(1.0);
    // A plain copy from the screen's top-left corner; parts beyond the grab stay black.
    return CopyRegion(grabbed, 0, 0, size.width(), size.height());
}

}  // namespace mdlPhotoShop
