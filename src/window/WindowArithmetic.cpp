#include "window/WindowArithmetic.h"

#include "base/Rounding.h"

#include <algorithm>
#include <cmath>

namespace WindowArithmetic {

using Rounding::Round32;

ViewFit FitViewSize(qint32 w, qint32 h, qint32 border, float tx, float ty, float screenW,
                    float screenH) {
    const float outerW = static_cast<float>(w) + 2.0f * static_cast<float>(border);
    const float outerH = static_cast<float>(h) + 2.0f * static_cast<float>(border);
    const float pictureW = static_cast<float>(w) * tx;
    const float pictureH = static_cast<float>(h) * ty;
    if (pictureW <= screenW && pictureH <= screenH) {
        return {outerW * tx, outerH * ty, false};
    }
    const float rw = pictureW / screenW;
    const float rh = pictureH / screenH;
    const float s = rw > rh ? 1.0f / rw : 1.0f / rh;
    return {outerW * tx * s, outerH * ty * s, true};
}

int TipFontPoints(double widthTwips, double heightTwips) {
    const qint64 m = Round32(std::min(widthTwips, heightTwips));
    const qint64 n = std::max<qint64>(0, m / 1000);
    return 10 + static_cast<int>(std::min<qint64>(n, 10));
}

QPoint MoveCropByArrow(const QRect& crop, Arrow key, int step, int border, int clientW,
                       int clientH) {
    int l = crop.left();
    int t = crop.top();
    switch (key) {
        case Arrow::Left:
            l -= step;
            if (l <= 0) {
                l = 0;
            }
            break;
        case Arrow::Up:
            t -= step;
            if (t <= border) {
                t = border;
            }
            break;
        case Arrow::Right: {
            l += step;
            const int limit = clientW - crop.width() - border;
            if (l > limit) {
                l = limit;
            }
            break;
        }
        case Arrow::Down: {
            t += step;
            const int limit = clientH - crop.height() - border;
            if (t > limit) {
                t = limit;
            }
            break;
        }
    }
    return {l, t};
}

QPointF MoveWindowByArrow(const TwipsRect& window, Arrow key, int step, double tx, double ty,
                          double screenW, double screenH) {
    double l = Round32(window.left);
    double t = Round32(window.top);
    switch (key) {
        case Arrow::Left:
            l = Round32(l - tx * step);
            if (l < 1) {
                l = 0;
            }
            break;
        case Arrow::Up:
            t = Round32(t - ty * step);
            if (t < 1) {
                t = 0;
            }
            break;
        case Arrow::Right:
            l = Round32(l + tx * step);
            if (l > screenW - window.width) {
                l = Round32(screenW - window.width);
            }
            break;
        case Arrow::Down:
            t = Round32(t + ty * step);
            if (t > screenH - window.height) {
                t = Round32(screenH - window.height);
            }
            break;
    }
    return {l, t};
}

std::optional<QRect> CropFromDrag(QPoint anchor, int x, int y, int viewW, int viewH) {
    const int cx = std::clamp(x, 0, std::max(0, viewW));
    const int cy = std::clamp(y, 0, std::max(0, viewH));
    if (anchor.x() <= 0 || anchor.y() <= 0 || std::abs(cx - anchor.x()) <= 10) {
        return std::nullopt;
    }
    const int left = cx >= anchor.x() ? anchor.x() : cx;
    const int top = cy >= anchor.y() ? anchor.y() : cy;
    return QRect(left, top, std::abs(cx - anchor.x()), std::abs(cy - anchor.y()));
}

QPointF AutoPosition(const TwipsRect& window, double screenW, double screenH) {
    double l = window.left;
    double t = window.top;
    if (window.width + l > screenW) {
        l = screenW - window.width;
    }
    if (window.height + t > screenH) {
        t = screenH - window.height;
    }
    return {l, t};
}

QPointF CascadePosition(double sourceLeft, double sourceTop, double screenW, double screenH) {
    double x = sourceLeft + 200;
    if (x > screenW - 200) {
        x = screenW - 400;
    }
    double y = sourceTop + 200;
    if (y > screenH - 200) {
        y = screenH - 400;
    }
    return {x, y};
}

int AlphaFromPercent(int percent) {
    const qint32 a = Round32(static_cast<double>(percent) / 100.0 * 255.0);
    return std::clamp(a, 0, 255);
}

namespace {

constexpr double kWheelFactor = 1.1;

// Both sides times f, each rounded; a side never falls below one pixel.
QSize Scaled(QSize s, double f) {
    return {std::max(1, Round32(s.width() * f)), std::max(1, Round32(s.height() * f))};
}

// One notch: in (true) or out, stopped at the limits with the ratio kept.
QSize WheelNotch(QSize s, bool in, QSize minSize, QSize maxSize) {
    const double w = s.width();
    const double h = s.height();
    if (in) {
        const QSize next = Scaled(s, kWheelFactor);
        if (next.width() <= maxSize.width() && next.height() <= maxSize.height()) {
            return next;
        }
        const double f = std::min(maxSize.width() / w, maxSize.height() / h);
        return f > 1.0 ? Scaled(s, f) : s;
    }
    const QSize next = Scaled(s, 1.0 / kWheelFactor);
    if (next.width() >= minSize.width() && next.height() >= minSize.height()) {
        return next;
    }
    const double f = std::max(minSize.width() / w, minSize.height() / h);
    return f < 1.0 ? Scaled(s, f) : s;
}

}  // namespace

QSize WheelZoomSize(QSize shown, int notches, QSize minSize, QSize maxSize) {
    if (shown.width() < 1 || shown.height() < 1) {
        return shown;  // nothing shown: nothing to scale
    }
    QSize s = shown;
    // Each notch rounds on its own, so several notches at once land where as many single notches
    // would. A storm ends early: once a notch changes nothing, none after it will.
    for (qint64 i = 0; i < std::abs(static_cast<qint64>(notches)); ++i) {
        const QSize next = WheelNotch(s, notches > 0, minSize, maxSize);
        if (next == s) {
            break;
        }
        s = next;
    }
    return s;
}

QRect AnchoredZoomRect(const QRect& window, int border, QSize oldShown, QSize newShown,
                       QPointF pointer) {
    if (oldShown.width() < 1 || oldShown.height() < 1) {
        return {window.topLeft(), newShown + QSize(2 * border, 2 * border)};
    }
    // Where the pointer is on the picture, as a fraction of its sides (outside 0..1 on the band).
    const double u = (pointer.x() - window.x() - border) / oldShown.width();
    const double v = (pointer.y() - window.y() - border) / oldShown.height();
    const int left = Round32(pointer.x() - u * newShown.width()) - border;
    const int top = Round32(pointer.y() - v * newShown.height()) - border;
    return {left, top, newShown.width() + 2 * border, newShown.height() + 2 * border};
}

int WheelOpacity(int percent, int notches) {
    int p = std::clamp(percent, 10, 100);
    // Nine notches cross the whole range: more change nothing.
    const int n = static_cast<int>(std::clamp<qint64>(notches, -9, 9));
    for (int i = 0; i < std::abs(n); ++i) {
        p = n > 0 ? std::min(100, (p / 10 + 1) * 10) : std::max(10, ((p + 9) / 10 - 1) * 10);
    }
    return p;
}

}  // namespace WindowArithmetic
