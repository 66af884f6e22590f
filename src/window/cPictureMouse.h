#pragma once

#include <QPoint>
#include <QPointF>
#include <QSize>
#include <Qt>
#include <memory>
#include <optional>

#include "window/ClassLumora.h"

class IImageWindowFace;
class IPointerControl;
class cWindowPlacement;

// What a press, move or release over an image window's picture does. A left-button drag moves the
// window or one of its edges (ClassLumora, in twips of the screen the drag started on, so that
// the pointer and the window stay together across screens of different scale); a right-button
// drag draws the crop rectangle (picture pixels); a right-button release opens a menu. Every press
// and move also tells the window where the pointer is; a left press shows the focus frame, any
// press takes the crop rectangle away.
class cPictureMouse {
public:
    // picture: the picture's control, whose cursor the resizer sets (not owned).
    cPictureMouse(IImageWindowFace& face, cWindowPlacement& place, IPointerControl* picture);
    ~cPictureMouse();

    enum class Kind { Press, Move, Release };
    // One event. button: the one that changed (press, release); buttons: those held afterwards;
    // pointer: where it happened, device pixels relative to the picture; exact: during a drag,
    // where the window system has the pointer in the same pixels (Qt may convert a position with
    // the scale of the screen the window is leaving); view: the picture's shown size. Nothing
    // thrown leaves here: an event that fails leaves the window as it was.
    void Handle(Kind kind, Qt::MouseButton button, Qt::MouseButtons buttons,
                Qt::KeyboardModifiers keys, QPointF pointer, std::optional<QPointF> exact,
                QSize view);

    // Whether pointer (device pixels relative to the picture) lies inside the edge bands, where a
    // left drag moves the window rather than an edge: there annotation draws instead.
    bool InsideEdges(QPointF pointer) const;

    // The edge drag's smallest window, device pixels with the band; 1 once detached.
    qint64 MinOuterPixels() const { return mResizer ? mResizer->MinOuterPixels() : 1; }
    // The window closes: no more drags.
    void Detach() { mResizer.reset(); }

private:
    void Press(Qt::MouseButton button, QPointF pointer, qint16 shift, float x, float y);
    void Move(Qt::MouseButtons buttons, QPointF pointer, QSize view, qint16 shift, float x,
              float y);

    IImageWindowFace& mFace;
    cWindowPlacement& mPlace;
    std::unique_ptr<ClassLumora> mResizer;
    QPoint mRightDown;  // where the right button went down, picture pixels
};
