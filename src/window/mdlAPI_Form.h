#pragma once

#include <QRegion>
#include <QtGlobal>

class QWidget;

// A window that can tell, better than a picture of its surface, which of its pixels to keep for a
// colour key (the image window knows its picture and which controls are showing over it).
class IColorKeySurface {
public:
    virtual ~IColorKeySurface() = default;
    // The window's pixels that are not of the colour (0x00BBGGRR), in device pixels of the
    // window.
    virtual QRegion KeptRegion(qint32 colour) = 0;
};

// The window-system helpers of the program's windows. Each does nothing (and reports false) when
// given no window.
namespace mdlAPI_Form {

// Puts the window into (or takes it out of) the band that stays above ordinary windows, keeping
// its position and size, and activates it.
bool SetTopMost(QWidget* window);
bool SetNoTopMost(QWidget* window);

// Cuts every pixel of exactly the given colour (0x00BBGGRR; -1: the colour of the window's own
// pixel at (0, 0)) out of the window: transparent and click-through. The colour is kept, so
// RefreshColorKey can cut the same colour again after the window's content or size changed.
bool SetColorKeyShape(QWidget* window, qint32 colour);
// Cuts the kept key colour again; does nothing for a window without one.
bool RefreshColorKey(QWidget* window);

// Makes the window an ordinary opaque window again: no colour key, no opacity.
bool ClearLayered(QWidget* window);

// A uniform opacity, alpha 0 (invisible) .. 255 (opaque), clamped; no colour key. With
// clickThrough the window also lets the mouse through.
bool SetOpacity(QWidget* window, qint32 alpha, bool clickThrough);

// Sets or clears one of the window's flags without recreating a shown window (which would hide it
// and lose its place).
bool SetWindowFlag(QWidget* window, Qt::WindowType flag, bool on);

// The colour key in force on the window, or -2 when none.
qint32 ColorKeyOf(const QWidget* window);

}  // namespace mdlAPI_Form
