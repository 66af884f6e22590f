#pragma once

#include <QPointF>
#include <QRect>
#include <QtGlobal>
#include <functional>

class QScreen;

// Screens measured in device pixels, the unit of pictures and windows: a picture shown at its own
// size covers exactly its width x height in device pixels at every scale factor. Twips (1/1440
// inch) per device pixel are 1440 / (96 x the screen's scale factor): 15 at scale 1, 10 at 1.5,
// 7.5 at 2. Qt places widgets in logical pixels (device pixels / scale); the conversion between
// the two happens here and nowhere else.
//
// Device coordinates of the desktop are those of the window system (X11's root window): each
// screen keeps its top-left corner in both systems, and its extent is its logical extent times its
// scale. A null screen means the primary one.
namespace ScreenUnits {

// The screen's scale factor (device pixels per logical pixel); 1 without a screen.
double Scale(const QScreen* screen);

// Twips per device pixel of the screen, horizontally and vertically (15 at 96 dpi, scale 1).
double TwipsPerPixelX(const QScreen* screen = nullptr);
double TwipsPerPixelY(const QScreen* screen = nullptr);

// The screen's size in twips (its device pixels times the ratio); 0 without a screen.
double ScreenWidthTwips(const QScreen* screen = nullptr);
double ScreenHeightTwips(const QScreen* screen = nullptr);

// The screen's rectangle and work area in device pixels, in desktop device coordinates.
QRect DeviceGeometry(const QScreen* screen);
QRect DeviceWorkArea(const QScreen* screen);

// A top-level rectangle between device and logical pixels on the screen it lies on (positions
// rounded, ties to even). A device size that the scale cannot express in whole logical pixels comes
// back as the next larger logical one, so that what Qt paints for it covers every device pixel.
QRect ToLogical(const QRect& device, const QScreen* screen);
QRect ToDevice(const QRect& logical, const QScreen* screen);
// A device measure in logical pixels, rounded up: what Qt paints for it then covers every one of
// its device pixels.
qint32 LogicalCovering(double device, double scale);
// A logical point (a pointer position, fractional as Qt gives it) in device pixels.
QPointF ToDevice(QPointF logical, const QScreen* screen);

// The screen whose device rectangle holds the point, else the nearest one; null without screens.
QScreen* ScreenAtDevice(QPoint device);
// The screen under a logical point (QCursor::pos(), a window's logical centre), else the nearest.
QScreen* ScreenAtLogical(QPoint logical);

// Where the window system knows a screen's exact device rectangle (X11: its RandR monitor),
// start-up installs a source for it; without one (or when it answers with an invalid rectangle) the
// device rectangle is the logical one times the scale, which a fractional scale may leave a pixel
// short.
using NativeScreenSource = std::function<QRect(const QScreen*)>;
void SetNativeScreenSource(NativeScreenSource source);

// Tests pin the ratio (and the screen size in device pixels, which the sizes in twips then use;
// the screen's rectangle stays what the screen says) so arithmetic is checked at known values; a
// value of 0 or less returns to what the screen says.
void OverrideForTesting(double twipsPerPixelX, double twipsPerPixelY, int screenWidthPx = 0,
                        int screenHeightPx = 0);

}  // namespace ScreenUnits
