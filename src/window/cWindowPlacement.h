#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <optional>

#include "window/IControlGeometry.h"
#include "window/WindowArithmetic.h"
#include "window/cDeviceGeometry.h"

class IImageWindowFace;
class QScreen;
class cWheelGesture;

// Where an image window is and how large, and the rules that move and size it. The window keeps
// its exact rectangle in device pixels (cDeviceGeometry); the drag controllers see it in twips
// (ITwipsWindow), 15 per pixel at scale 1, of the window's screen or, during a drag, of the
// screen the drag started on. The screen rules (fitting a picture, arrow steps, keeping to a
// screen) measure the window from its own screen's top-left corner. The window is placed through
// its face, which lays its controls out again when its size or its screen's ratio changed.
class cWindowPlacement : public ITwipsWindow {
public:
    explicit cWindowPlacement(IImageWindowFace& face) : mFace(face) {}

    qint32 mFormBorder = 0;  // the band around the picture, pixels: 0 or 4

    double LeftTw() const override;
    double TopTw() const override;
    double WidthTw() const override;
    double HeightTw() const override;
    // Each edge rounded on its own; the picture keeps at least one pixel inside the band.
    void SetGeometryTw(qint32 left, qint32 top, qint32 width, qint32 height) override;
    double TwipsPerPixelX() const override;
    double TwipsPerPixelY() const override;
    // Moves the window to left/top (twips), keeping its size.
    void MoveTw(double left, double top);
    // The top-left corner of the window's screen, twips.
    QPointF ScreenOriginTw() const;

    // The window's rectangle on the desktop in device pixels, and placing it there exactly.
    QRect DeviceGeometry() const { return mGeometry.Rect(); }
    void SetDeviceGeometry(const QRect& r);
    // The bookkeeping itself, for the window's reconciling, layout and drags.
    cDeviceGeometry& Geometry() { return mGeometry; }
    // Where the picture lies in the window (window device pixels).
    QRect PictureRect() const { return mGeometry.PictureRect(mFormBorder); }

    // Sizes the window to show a picture of w x h pixels with its band, shrunk by one factor where
    // the picture would not fit its screen, and then says so. Keeps the window's corner, or moves
    // it by shift device pixels in the same step (a crop: the window never shows at the new place
    // with its old size).
    bool ApplyViewSize(qint32 w, qint32 h, QPoint shift = {});
    // A band of 4 pixels, or none; the picture stays where it is on the screen. A window that
    // has a band of any width keeps it when asked for one.
    void SetBorder(bool on);
    // Moves the window by shift device pixels.
    void MoveByPixels(QPoint shift);
    // The window grew from before: keeps it inside its screen's work area (KeepInside).
    void KeepGrownInside(QSize before);
    // Moves the window just enough to lie inside the work area of the screen under its centre;
    // where it is larger than the area, to the area's left or top edge (WorkAreaPlacement).
    void KeepInside();
    // Qt moved or sized the window (a window manager, a screen change, its own rounding). native:
    // the window's rectangle as the window system has it, when it can be asked; otherwise
    // (nativeAvailable false) Qt's logical geometry is all there is. Keeps the device rectangle,
    // or takes the new one when the change was not a rounding of it or a late one of its own.
    void Reconcile(const std::optional<QRect>& native, bool nativeAvailable, const QRect& logical);
    // The window is being shown: see cDeviceGeometry::Showing.
    void Showing() { mGeometry.Showing(); }
    // The screen the window was on has gone: onto the nearest one left, whole where it fits.
    void KeepOnAScreen();
    // Puts the window's right and bottom edges back on its screen.
    void AutoPosition();
    // One arrow-key step of step pixels, clamped at the edges of the window's screen.
    void MoveByArrow(WindowArithmetic::Arrow arrow, int step);
    // The picture covers screen pixel for pixel; the band lies outside it.
    void CoverScreen(const QScreen* screen);
    // Zoom notches of the wheel about pointer (desktop device pixels): the picture shown larger
    // or smaller by exact levels (cWheelGesture), within minOuter (the edge drag's smallest
    // window) and twice the screen. At a limit the tip says the size.
    void WheelZoom(cWheelGesture& wheel, int notches, QPointF pointer, qint64 minOuter);

private:
    QPointF Twips() const;
    // The screen's size in device pixels, as the screen rules measure it.
    QSize ScreenPixels() const;

    IImageWindowFace& mFace;
    cDeviceGeometry mGeometry;
};
