#include "window/cWheelZoom.h"

#include "window/WindowArithmetic.h"

QRect cWheelZoom::Turn(const QRect& window, int border, QSize shown, int notches, QPointF pointer,
                       QSize minSize, QSize maxSize) {
    if (shown.width() < 1 || shown.height() < 1) {
        return window;  // nothing shown: nothing to scale
    }
    if (mBase.isEmpty() || shown != WindowArithmetic::WheelZoomSize(mBase, mLevel)) {
        // Something other than the wheel sized the picture: its size is where the wheel starts.
        mBase = shown;
        mLevel = 0;
        mSet = QRect();
    }
    if (window != mSet || pointer != mPointer) {
        // The pointer or the window moved (a drag, an arrow key, a border): the picture's point
        // under the pointer is taken again from where the window is now.
        mAnchorWindow = window;
        mAnchorShown = shown;
        mPointer = pointer;
    }
    mLevel = WindowArithmetic::WheelZoomLevel(mBase, mLevel, notches, minSize, maxSize);
    const QSize next = WindowArithmetic::WheelZoomSize(mBase, mLevel);
    mSet = next == shown ? window
                         : WindowArithmetic::AnchoredZoomRect(mAnchorWindow, border, mAnchorShown,
                                                              next, pointer);
    return mSet;
}
