#pragma once

#include <QPointF>
#include <QRect>
#include <array>
#include <cstddef>

// Where an image window is on the desktop, in device pixels, kept against what the window system
// and Qt make of it. The window asks for exact rectangles (Request). Qt then places it again from
// its logical pixels, rounding each edge by less than a logical pixel, and a window manager may
// still be applying a rectangle asked for a moment ago: neither is a move, and the window puts its
// newest rectangle back. Any other rectangle the window system reports is a move by someone else
// (a window manager), which stands.
//
// Also the twips the drag controllers measure in: twips per device pixel are those of the
// window's screen, except during a drag, which keeps those of the screen it started on so that
// the pointer and the window stay together across screens of different scale.
class cDeviceGeometry {
public:
    // How many of the newest requested rectangles still count as the window's own.
    static constexpr std::size_t kRemembered = 8;

    // The window's rectangle, desktop device pixels.
    QRect Rect() const { return mRect; }
    // The window is to be at r (desktop device pixels); r counts as its own from now on. True when
    // this changes the window's size.
    bool Request(const QRect& r);

    enum class Verdict {
        Same,     // the window system has the window where it is meant to be
        PutBack,  // a rounding or a late rectangle of the window's own: Rect() goes back
        Adopted,  // someone else moved or sized it: Rect() is now native
        Replace,  // a window manager placed the window it was just shown: ask for Rect() again
    };
    // What the window system reports (native, desktop device pixels) at ratio device pixels per
    // logical pixel; an edge within ceil(ratio) pixels of a remembered rectangle's is a rounding.
    Verdict Reconcile(const QRect& native, double ratio);
    // The window is being shown. A window manager may then place it where it likes instead of
    // where it was asked to be: the first rectangle of someone else's that the window system
    // reports is answered once with Replace; whatever the manager answers to that stands. A
    // report of the window where it is meant to be, or a drag, ends the wait.
    void Showing() { mShowing = true; }
    // Takes r as the window's rectangle without asking for it (where no window system answers,
    // Qt's geometry is all there is).
    void Adopt(const QRect& r) { mRect = r; }

    // The controls are laid out for the device ratio last given to LaidOutAt; true when ratio is
    // another one (the window went to a screen of another scale).
    bool RatioChanged(double ratio) const;
    void LaidOutAt(double ratio) { mLaidOutRatio = ratio; }

    // A drag starts, measuring in twips (twips per device pixel, x and y) until EndDrag.
    void BeginDrag(QPointF twips) {
        mDragTwips = twips;
        mShowing = false;
    }
    void EndDrag() { mDragTwips = QPointF(); }
    // Twips per device pixel: the drag's while one runs, otherwise screen (the screen's own).
    QPointF Twips(QPointF screen) const { return mDragTwips.isNull() ? screen : mDragTwips; }

    // The picture's place in the window: border pixels in from every edge, never a negative size
    // (window device pixels).
    QRect PictureRect(int border) const;

    // The device rectangle of a window placed in twips (left, top, width, height) at twips per
    // pixel: each edge rounded on its own, so an edge a drag does not move never shifts by a
    // pixel, and never smaller than least pixels a side.
    static QRect FromTwips(qint32 left, qint32 top, qint32 width, qint32 height, QPointF twips,
                           qint32 least);
    // The window after its band changes from oldBorder to newBorder pixels, keeping the picture
    // where it is on the screen; measured in twips as the drags measure.
    QRect Rebordered(int oldBorder, int newBorder, QPointF twips) const;

private:
    QRect mRect;
    std::array<QRect, kRemembered> mRequested;
    std::size_t mNextRequested = 0;
    QPointF mDragTwips;  // null: no drag runs
    double mLaidOutRatio = 1.0;
    bool mShowing = false;  // shown, and the window system has not reported it placed yet
};
