#pragma once

#include <QString>

#include "window/DragZone.h"
#include "window/IControlGeometry.h"

// Lets the user adjust an image window's crop rectangle after drawing it: a left-button drag
// that starts within BorderWidth pixels of an edge or corner of the crop label moves that edge
// (or corner), a drag that starts inside moves the rectangle. The rectangle stays inside the
// window: its left and top never go below 0, its right and bottom edges never pass the window's
// outer size when they grow or move toward it, and an edge pushed inward stops at the minimum
// size. After every drag step the outline is placed one pixel inside the label.
//
// Units: mouse positions arrive in twips relative to the label and are divided by the window's
// twips per pixel at once; everything after that is pixels of the window's client area. The
// window's outer size is read in twips and converted the same way.
//
// The window forwards the crop label's mouse-down and mouse-move events (all buttons) to
// MouseDown and MouseMove. There is no mouse-up handler; the handle stays until the next press.
class ClassCropResize {
public:
    ClassCropResize() = default;

    // Band width along each edge, in pixels; 0 at creation. Values of 0 or below are ignored.
    qint32 BorderWidth() const { return mBorderWidth; }
    void setBorderWidth(qint32 v);

    // Smallest inner size, in pixels (5 at creation); stored as given. An edge pushed inward
    // stops at 2 * BorderWidth + MinWidthHeight pixels.
    qint32 MinWidthHeight() const { return mMinWidthHeight; }
    void setMinWidthHeight(qint32 v) { mMinWidthHeight = v; }

    // The controller reacts to events only while enabled (false at creation).
    bool enable() const { return mEnable; }
    void setEnable(bool v) { mEnable = v; }

    // The crop label: the event source, moved and resized by drags, and shown the cursor.
    // Null is ignored. Not owned.
    void setObjectForm(IPointerControl* label);
    // The outline drawn one pixel inside the label. Null is ignored. Not owned. Without it the
    // label alone moves.
    void setObjectShap(IPixelControl* shape);
    // The image window: the rectangle's bounds (its outer size) and the twips per pixel. Null
    // is ignored. Not owned.
    void setObjectFather(ITwipsWindow* father);

    // The active handle code: "WN", "W", "WS", "EN", "E", "ES", "N", "S", "M", or "" (none).
    QString Handle() const { return DragZone::CodeOf(mHandle); }

    // A button went down on the label. button: mask (1 left); shift: ignored; x, y: twips
    // relative to the label. Sets the anchor (pixels) for every button and the handle and
    // cursor for the left button. Does nothing while disabled or before the label and the
    // window are set.
    void MouseDown(qint16 button, qint16 shift, float x, float y);

    // The pointer moved over the label. button: mask of the buttons held; shift: ignored; x, y:
    // twips relative to the label. Updates the cursor always, and with the left button alone
    // held applies the handle's rules and places the label and then the outline (also when the
    // handle is empty: they are then only re-placed at their rounded positions).
    void MouseMove(qint16 button, qint16 shift, float x, float y);

private:
    // The zone under (x, y), pixels relative to the label.
    DragZone::Handle ZoneAt(float x, float y) const;

    IPointerControl* objForm = nullptr;
    IPixelControl* mShape = nullptr;
    ITwipsWindow* mFather = nullptr;
    qint32 mBorderWidth = 0;     // pixels
    qint32 mMinWidthHeight = 5;  // pixels
    qint32 mDownX = 0;           // pixels, relative to the label
    qint32 mDownY = 0;           // pixels, relative to the label
    DragZone::Handle mHandle = DragZone::Handle::None;
    bool mEnable = false;
};
