#pragma once

#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QString>
#include <optional>
#include <vector>

// What a person selects on the frozen screens, in desktop device pixels: a rectangle dragged from
// a press to a release (cut to the screen where the drag began), or, by a click without moving,
// the top-level window under the pointer. After a selection the arrow keys move it by one pixel,
// Shift+arrows grow it (the edge the arrow points to moves out), Ctrl+arrows shrink it (the edge
// opposite the arrow moves in), and a drag on an edge or corner resizes it; it always stays on its
// screen. No display needed: the overlay forwards its pointer and keys here.
class cRegionSelection {
public:
    // screens: each screen's device rectangle on the desktop.
    explicit cRegionSelection(std::vector<QRect> screens);

    // The top-level windows' rectangles (frames included), topmost first.
    void SetWindows(std::vector<QRect> topFirst);
    // The window outlined under the pointer before any selection: the topmost window holding p,
    // cut to p's screen; none over the bare desktop or once there is a selection.
    std::optional<QRect> WindowAt(QPoint p) const;

    void Press(QPoint p);
    void Move(QPoint p);
    void Release(QPoint p);

    enum class Arrow { Left, Right, Up, Down };
    enum class Change { Move, Grow, Shrink };
    // An arrow key with its modifier's meaning; nothing without a selection.
    void Key(Arrow arrow, Change change);

    // The selection; empty when there is none (a zero-size one counts as none).
    QRect Selection() const { return mSelection; }
    bool HasSelection() const { return !mSelection.isEmpty(); }

    // The magnifier's source: the square of side pixels centred on p, cut to p's screen.
    QRect MagnifierSource(QPoint p, int side) const;
    // A colour as the magnifier writes it, and C copies it: "#RRGGBB".
    static QString ColourText(QRgb colour);

private:
    QRect ScreenOf(QPoint p) const;
    // Which edges a press at p takes (a corner takes two); none inside or outside the selection.
    struct Edges {
        bool left = false, right = false, top = false, bottom = false;
        bool Any() const { return left || right || top || bottom; }
    };
    Edges EdgesAt(QPoint p) const;

    std::vector<QRect> mScreens;
    std::vector<QRect> mWindows;
    QRect mSelection;
    QRect mScreen;  // the screen the selection lies on
    std::optional<QPoint> mPress;
    QPoint mLast;
    bool mMoved = false;
    Edges mResizing;  // a drag on the selection's edges
};
