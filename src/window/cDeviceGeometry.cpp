#include "window/cDeviceGeometry.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "base/Rounding.h"

using Rounding::Round32;

bool cDeviceGeometry::Request(const QRect& r) {
    const bool resized = r.size() != mRect.size();
    mRect = r;
    mRequested[mNextRequested] = r;
    mNextRequested = (mNextRequested + 1) % mRequested.size();
    return resized;
}

cDeviceGeometry::Verdict cDeviceGeometry::Reconcile(const QRect& native, double ratio) {
    if (native == mRect) {
        mShowing = false;
        return Verdict::Same;
    }
    const int slack = static_cast<int>(std::ceil(ratio));
    const auto near = [&native, slack](const QRect& r) {
        return std::abs(native.left() - r.left()) <= slack &&
               std::abs(native.top() - r.top()) <= slack &&
               std::abs(native.right() - r.right()) <= slack &&
               std::abs(native.bottom() - r.bottom()) <= slack;
    };
    const bool showing = std::exchange(mShowing, false);
    if (std::any_of(mRequested.begin(), mRequested.end(), near)) {
        return Verdict::PutBack;
    }
    if (showing) {
        return Verdict::Replace;
    }
    mRect = native;
    return Verdict::Adopted;
}

bool cDeviceGeometry::RatioChanged(double ratio) const {
    return !qFuzzyCompare(ratio, mLaidOutRatio);
}

QRect cDeviceGeometry::PictureRect(int border) const {
    return QRect(border, border, std::max(0, mRect.width() - 2 * border),
                 std::max(0, mRect.height() - 2 * border));
}

QRect cDeviceGeometry::FromTwips(qint32 left, qint32 top, qint32 width, qint32 height,
                                 QPointF twips, qint32 least) {
    const double tx = twips.x();
    const double ty = twips.y();
    const qint32 x = Round32(left / tx);
    const qint32 y = Round32(top / ty);
    const qint32 right = Round32((static_cast<double>(left) + width) / tx);
    const qint32 bottom = Round32((static_cast<double>(top) + height) / ty);
    return QRect(x, y, std::max(least, right - x), std::max(least, bottom - y));
}

QRect cDeviceGeometry::Rebordered(int oldBorder, int newBorder, QPointF twips) const {
    const int d = newBorder - oldBorder;
    const double tx = twips.x();
    const double ty = twips.y();
    // The picture keeps at least one pixel inside the band: a window narrower than its band
    // would show nothing and could no longer be clicked.
    return FromTwips(Round32(mRect.x() * tx - d * tx), Round32(mRect.y() * ty - d * ty),
                     Round32(mRect.width() * tx + 2 * d * tx),
                     Round32(mRect.height() * ty + 2 * d * ty), twips, 1 + 2 * newBorder);
}
