#include "window/cWheelGesture.h"

#include <algorithm>
#include <limits>
#include <utility>

bool cWheelGesture::Add(int delta, Qt::KeyboardModifiers keys, Qt::MouseButtons buttons,
                        bool takesCommands, QPointF pointer) {
    keys &= ~Qt::KeypadModifier;
    const bool free = buttons == Qt::NoButton && takesCommands;
    const bool zoom = free && keys == Qt::NoModifier;
    const bool opacity = free && keys == Qt::ControlModifier;
    const int zoomNotches = mZoomSteps.Add(delta, !zoom);
    const int opacityNotches = mOpacitySteps.Add(delta, !opacity);
    if (zoomNotches == 0 && opacityNotches == 0) {
        return false;
    }
    mZoom64 += zoomNotches;
    mOpacity64 += opacityNotches;
    mPointer = pointer;
    return !std::exchange(mWaiting, true);
}

cWheelGesture::Notches cWheelGesture::Take() {
    const auto toInt = [](qint64 v) {
        return static_cast<int>(std::clamp<qint64>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
    };
    mWaiting = false;
    return {toInt(std::exchange(mZoom64, 0)), toInt(std::exchange(mOpacity64, 0)), mPointer};
}

QRect cWheelGesture::Zoom(const QRect& window, int border, QSize shown, int notches,
                          QPointF pointer, qint64 minOuter, QSize screen) {
    const int minSide = static_cast<int>(std::clamp<qint64>(minOuter - 2LL * border, 1, 1 << 20));
    return mZoom.Turn(window, border, shown, notches, pointer, QSize(minSide, minSide), screen * 2);
}
