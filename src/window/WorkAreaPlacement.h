#pragma once

#include <QPoint>
#include <QRect>

// Where the program puts a window it places itself (an open, a size command, the browser's
// cascade, a new or duplicated window, a paste), so that it lies on its screen's work area: the
// screen less the desktop's panels. Everything in desktop device pixels; the work area comes from
// the screen the window is on.
namespace WorkAreaPlacement {

// The top-left corner that puts window inside area: where it is when it lies inside, otherwise
// moved just enough. On an axis along which it is larger than the area it goes to the area's left
// or top edge, so that its corner (and the picture's) stays within reach.
QPoint Inside(const QRect& window, const QRect& area);

// A window of the browser's cascade, window being where its step of the cascade puts it and
// fromStart how far that step lies from the cascade's first place. A window that lies inside the
// area there stays; one that would cross an edge wraps to the area's top-left corner, offset by
// its step as the cascade goes on from there, and is kept inside.
QPoint Cascaded(const QRect& window, QPoint fromStart, const QRect& area);

}  // namespace WorkAreaPlacement
