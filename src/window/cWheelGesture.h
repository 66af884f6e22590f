#pragma once

#include <QPointF>
#include <QRect>
#include <QSize>
#include <Qt>

#include "base/cWheelSteps.h"
#include "window/cWheelZoom.h"

// The wheel over one image window: a plain turn scales the picture about the pointer (cWheelZoom),
// Ctrl with a turn steps the opacity. Any other chord (Shift among them), a mouse button held, or a
// window that takes no commands now (busy or closed) counts nothing and forgets what was summed.
//
// Notches are summed until the window takes them, once per turn of its event loop, so a storm of
// wheel events is one resize. Deltas are Qt's angle deltas; pointers are desktop device pixels.
class cWheelGesture {
public:
    // The notches summed since the last Take (away from the user positive) and where the pointer
    // was at the last of them.
    struct Notches {
        int zoom = 0;
        int opacity = 0;
        QPointF pointer;
    };

    // One wheel event. True when it is the first notch waiting since the last Take: the window
    // then asks for Take on the next turn of its event loop.
    bool Add(int delta, Qt::KeyboardModifiers keys, Qt::MouseButtons buttons, bool takesCommands,
             QPointF pointer);
    // What was summed, each sum clamped into int; the sums start again from nothing.
    Notches Take();

    // The window's outer rectangle after zoom notches (see cWheelZoom::Turn): window and border
    // as they are, shown the picture's shown size, minOuter the edge drag's smallest window and
    // screen the screen's size (device pixels). The picture is never shown smaller than minOuter
    // less the band, nor larger than twice the screen.
    QRect Zoom(const QRect& window, int border, QSize shown, int notches, QPointF pointer,
               qint64 minOuter, QSize screen);
    const cWheelZoom& ZoomState() const { return mZoom; }

private:
    cWheelSteps mZoomSteps;
    cWheelSteps mOpacitySteps;
    qint64 mZoom64 = 0;
    qint64 mOpacity64 = 0;
    QPointF mPointer;
    bool mWaiting = false;  // notches wait for Take
    cWheelZoom mZoom;       // the wheel's level and the size it counts from
};
