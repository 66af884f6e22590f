#pragma once

#include <QString>

#include "window/DragZone.h"
#include "window/IControlGeometry.h"

// Makes an image window's picture control act as the window's frame: a left-button drag that
// starts in a band of BorderWidth pixels along an edge or corner moves that edge (or corner) of
// the window, a drag that starts inside moves the whole window, and the cursor shows the zone
// under the pointer.
//
// Units: mouse positions arrive in twips relative to the picture control; the control's size is
// in pixels; the window's position and size are in twips. The controller compares and moves in
// those units, converting with the window's twips per pixel at every event.
//
// The window forwards the picture control's mouse-down and mouse-move events (all buttons) to
// MouseDown and MouseMove. There is no mouse-up handler: a drag ends when the left button is no
// longer held on a move; the handle stays until the next press.
class ClassLumora {
public:
    ClassLumora() = default;

    // Band width along each edge, in pixels; 0 at creation. Values of 0 or below are ignored.
    qint32 BorderWidth() const { return mBorderWidth; }
    void setBorderWidth(qint32 v);

    // Smallest inner width and height, in pixels (5 at creation); stored as given. The window
    // never gets narrower or lower by a drag than 2 * BorderWidth + MinWidthHeight pixels.
    qint32 MinWidthHeight() const { return mMinWidthHeight; }
    void setMinWidthHeight(qint32 v) { mMinWidthHeight = v; }
    // That smallest outer size, in pixels: both bands plus MinWidthHeight. Whatever else resizes
    // the window by hand (the wheel) keeps to it too.
    qint64 MinOuterPixels() const { return 2LL * mBorderWidth + mMinWidthHeight; }

    // Edge and corner dragging allowed (false at creation).
    bool EnableResize() const { return mEnableResize; }
    void setEnableResize(bool v) { mEnableResize = v; }

    // Dragging the whole window allowed (false at creation).
    bool EnableMove() const { return mEnableMove; }
    void setEnableMove(bool v) { mEnableMove = v; }

    // The window that is moved and resized. Null is ignored. Not owned.
    void setObjectForm(ITwipsWindow* form);
    // The picture control whose events the window forwards here and whose cursor is set. Null
    // is ignored. Not owned.
    void setObjectImage(IPointerControl* image);

    // The active handle code: "WN", "W", "WS", "EN", "E", "ES", "N", "S", "M", or "" (none).
    QString Handle() const { return DragZone::CodeOf(mHandle); }

    // A button went down on the picture control. button: mask (1 left, 2 right, 4 middle);
    // shift: ignored; x, y: twips relative to the control. Sets the drag anchor for every
    // button, and the handle (and the cursor) for the left button only. Does nothing until both
    // the window and the picture control are set.
    void MouseDown(qint16 button, qint16 shift, float x, float y);

    // The pointer moved over the picture control. button: mask of the buttons held; shift:
    // ignored; x, y: twips relative to the control. Updates the cursor always, and moves or
    // resizes the window (one SetGeometryTw call) only with the left button alone held and a
    // handle set by the last press.
    void MouseMove(qint16 button, qint16 shift, float x, float y);

    // The zone under (x, y), twips relative to the control.
    DragZone::Handle ZoneAt(float x, float y) const;

private:
    IPointerControl* objImage = nullptr;
    ITwipsWindow* mForm = nullptr;
    qint32 mBorderWidth = 0;     // pixels
    qint32 mMinWidthHeight = 5;  // pixels
    qint32 mDownX = 0;           // twips, relative to the control
    qint32 mDownY = 0;           // twips, relative to the control
    DragZone::Handle mHandle = DragZone::Handle::None;
    bool mEnableResize = false;
    bool mEnableMove = false;
};
