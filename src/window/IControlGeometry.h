#pragma once

#include <qnamespace.h>
#include <QtGlobal>

// What the drag controllers (ClassLumora, ClassCropResize) see of the image window. They know no
// widget: the window implements these on its own controls and passes pointers to them. The
// controllers do not own what they are given; the window keeps it alive for as long as the
// controller exists.

// A control inside an image window (picture control, crop label, crop outline). Geometry is in
// pixels of the window's client area.
class IPixelControl {
public:
    virtual ~IPixelControl() = default;

    // Left, top, width and height, in pixels.
    virtual float LeftPx() const = 0;
    virtual float TopPx() const = 0;
    virtual float WidthPx() const = 0;
    virtual float HeightPx() const = 0;

    // Moves and resizes the control in one call; all four in pixels. A controller may hand over
    // a negative size where its rules produce one (the outline of a tiny rectangle); the
    // implementation shows such a control with no area.
    virtual void SetGeometryPx(qint32 left, qint32 top, qint32 width, qint32 height) = 0;
};

// A control that receives the mouse and shows the cursor the controller chooses for it.
class IPointerControl : public IPixelControl {
public:
    // Arrow, Qt::SizeFDiagCursor (north-west/south-east), Qt::SizeBDiagCursor
    // (north-east/south-west), Qt::SizeVerCursor or Qt::SizeHorCursor.
    virtual void SetCursorShape(Qt::CursorShape shape) = 0;
};

// A top-level image window, placed and sized in twips, and the ratio of its screen.
class ITwipsWindow {
public:
    virtual ~ITwipsWindow() = default;

    // Left, top, width and height of the window, in twips (its geometry in pixels times the
    // twips per pixel). Width and height are the outer size.
    virtual double LeftTw() const = 0;
    virtual double TopTw() const = 0;
    virtual double WidthTw() const = 0;
    virtual double HeightTw() const = 0;

    // Moves and resizes the window in one call; all four in twips.
    virtual void SetGeometryTw(qint32 left, qint32 top, qint32 width, qint32 height) = 0;

    // Twips per pixel of the screen, horizontally and vertically (15 at 96 dpi). Read afresh at
    // every mouse event, so the answer may change while the program runs.
    virtual double TwipsPerPixelX() const = 0;
    virtual double TwipsPerPixelY() const = 0;
};
