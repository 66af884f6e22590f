#include "window/cRegionSelection.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {
// How near an edge, in device pixels, a press takes it to resize the selection.
constexpr int kEdgeReach = 4;
}  // namespace

cRegionSelection::cRegionSelection(std::vector<QRect> screens) : mScreens(std::move(screens)) {}

void cRegionSelection::SetWindows(std::vector<QRect> topFirst) {
    mWindows = std::move(topFirst);
}

QRect cRegionSelection::ScreenOf(QPoint p) const {
    for (const QRect& s : mScreens) {
        if (s.contains(p)) {
            return s;
        }
    }
    return QRect();
}

std::optional<QRect> cRegionSelection::WindowAt(QPoint p) const {
    if (HasSelection() || mMoved) {
        return std::nullopt;
    }
    for (const QRect& w : mWindows) {
        if (w.contains(p)) {
            const QRect on = w.intersected(ScreenOf(p));
            return on.isEmpty() ? std::nullopt : std::optional<QRect>(on);
        }
    }
    return std::nullopt;
}

cRegionSelection::Edges cRegionSelection::EdgesAt(QPoint p) const {
    Edges e;
    if (!HasSelection()) {
        return e;
    }
    const QRect s = mSelection;
    const bool alongX = p.x() >= s.left() - kEdgeReach && p.x() <= s.x() + s.width() + kEdgeReach;
    const bool alongY = p.y() >= s.top() - kEdgeReach && p.y() <= s.y() + s.height() + kEdgeReach;
    e.left = alongY && std::abs(p.x() - s.left()) <= kEdgeReach;
    e.right = alongY && !e.left && std::abs(p.x() - (s.x() + s.width())) <= kEdgeReach;
    e.top = alongX && std::abs(p.y() - s.top()) <= kEdgeReach;
    e.bottom = alongX && !e.top && std::abs(p.y() - (s.y() + s.height())) <= kEdgeReach;
    return e;
}

void cRegionSelection::Press(QPoint p) {
    mPress = p;
    mLast = p;
    mMoved = false;
    mResizing = EdgesAt(p);
    if (!mResizing.Any()) {
        mScreen = ScreenOf(p);
    }
}

void cRegionSelection::Move(QPoint p) {
    if (!mPress) {
        return;
    }
    mMoved = mMoved || p != *mPress;
    if (mResizing.Any()) {
        // The edges taken follow the pointer; the others stay.
        int left = mSelection.x();
        int top = mSelection.y();
        int right = mSelection.x() + mSelection.width();
        int bottom = mSelection.y() + mSelection.height();
        left = mResizing.left ? p.x() : left;
        right = mResizing.right ? p.x() : right;
        top = mResizing.top ? p.y() : top;
        bottom = mResizing.bottom ? p.y() : bottom;
        const QRect r(QPoint(std::min(left, right), std::min(top, bottom)),
                      QSize(std::abs(right - left), std::abs(bottom - top)));
        const QRect on = r.intersected(mScreen);
        if (!on.isEmpty()) {
            mSelection = on;
        }
        return;
    }
    if (mMoved) {
        // From the press to the pointer, half open: a drag of no length selects nothing.
        const QPoint a = *mPress;
        const QRect r(QPoint(std::min(a.x(), p.x()), std::min(a.y(), p.y())),
                      QSize(std::abs(p.x() - a.x()), std::abs(p.y() - a.y())));
        mSelection = r.intersected(mScreen);
    }
}

void cRegionSelection::Release(QPoint p) {
    if (!mPress) {
        return;
    }
    Move(p);
    if (!mMoved && !mResizing.Any() && !HasSelection()) {
        // A click without moving takes the window under it, exactly.
        if (const std::optional<QRect> window = WindowAt(p)) {
            mSelection = *window;
            mScreen = ScreenOf(p);
        }
    }
    mPress.reset();
    mMoved = false;
    mResizing = Edges();
}

void cRegionSelection::Key(Arrow arrow, Change change) {
    if (!HasSelection()) {
        return;
    }
    const int dx = arrow == Arrow::Left ? -1 : arrow == Arrow::Right ? 1 : 0;
    const int dy = arrow == Arrow::Up ? -1 : arrow == Arrow::Down ? 1 : 0;
    int left = mSelection.x();
    int top = mSelection.y();
    int right = mSelection.x() + mSelection.width();
    int bottom = mSelection.y() + mSelection.height();
    switch (change) {
        case Change::Move:
            if (left + dx < mScreen.left() || right + dx > mScreen.x() + mScreen.width() ||
                top + dy < mScreen.top() || bottom + dy > mScreen.y() + mScreen.height()) {
                return;  // it stays on its screen
            }
            mSelection.translate(dx, dy);
            return;
        case Change::Grow:  // the edge the arrow points to moves out
            (dx < 0 ? left : right) += dx;
            (dy < 0 ? top : bottom) += dy;
            break;
        case Change::Shrink:  // the edge opposite the arrow moves in
            (dx > 0 ? left : right) += dx;
            (dy > 0 ? top : bottom) += dy;
            break;
    }
    const QRect r =
        QRect(QPoint(left, top), QSize(right - left, bottom - top)).intersected(mScreen);
    if (!r.isEmpty()) {
        mSelection = r;  // never shrunk to nothing
    }
}

QRect cRegionSelection::MagnifierSource(QPoint p, int side) const {
    return QRect(p.x() - side / 2, p.y() - side / 2, side, side).intersected(ScreenOf(p));
}

QString cRegionSelection::ColourText(QRgb colour) {
    return QStringLiteral("#%1%2%3")
        .arg(qRed(colour), 2, 16, QLatin1Char('0'))
        .arg(qGreen(colour), 2, 16, QLatin1Char('0'))
        .arg(qBlue(colour), 2, 16, QLatin1Char('0'))
        .toUpper();
}
