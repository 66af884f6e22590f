#pragma once

#include <QPointF>
#include <QRect>
#include <QSize>

// The wheel's zoom of one image window, in device pixels. The window keeps a level n and the
// picture's shown size before the first notch (the base); the picture is shown at base x 1.1^n,
// each side rounded, within the limits of WindowArithmetic::WheelZoomLevel. The picture's point
// under the pointer stays under it: the position is worked out from the rectangle the window had
// when the pointer came to rest there, never step by step, so with the pointer still n notches out
// and n in give back the window's size and place exactly.
//
// Any other change of the shown size (an edge drag, a size command, a new picture, a rotation, a
// crop, an undo, a capture) makes that size the new base at level 0: it is noticed at the next
// notch, as a shown size other than the one the wheel last gave.
class cWheelZoom {
public:
    // The window's outer rectangle after the notches (> 0 away from the user: larger). window is
    // its outer rectangle now, border the band around the picture, shown the picture's shown size,
    // pointer where the pointer is on the desktop; minSize and maxSize bound the shown size. The
    // result is window itself when the shown size does not change (a limit, or a notch too small to
    // move a side).
    QRect Turn(const QRect& window, int border, QSize shown, int notches, QPointF pointer,
               QSize minSize, QSize maxSize);

    int Level() const { return mLevel; }
    QSize Base() const { return mBase; }

private:
    QSize mBase;  // the shown size at level 0; empty before the first notch
    int mLevel = 0;
    QRect mSet;           // the rectangle the wheel last gave the window
    QRect mAnchorWindow;  // the window's rectangle when the pointer came to rest ...
    QSize mAnchorShown;   // ... its shown size then ...
    QPointF mPointer;     // ... and where the pointer rests
};
