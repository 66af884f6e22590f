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
constexpr int kWheelLevels = 500;
}  // namespace

QSize WheelZoomSize(QSize base, int level) {
    if (base.width() < 1 || base.height() < 1) {
        return base;  // nothing shown: nothing to scale
    }
    const double f = std::pow(kWheelFactor, std::clamp(level, -kWheelLevels, kWheelLevels));
    return {std::max(1, Round32(base.width() * f)), std::max(1, Round32(base.height() * f))};
}

int WheelZoomLevel(QSize base, int level, int notches, QSize minSize, QSize maxSize) {
    if (base.width() < 1 || base.height() < 1) {
        return level;  // nothing shown: nothing to scale
    }
    const bool larger = notches > 0;
    // One notch at a time: the first one past a limit ends the turn, so a storm costs at most
    // the levels between the limits.
    for (qint64 i = 0; i < std::abs(static_cast<qint64>(notches)); ++i) {
        const int next = larger ? level + 1 : level - 1;
        const QSize s = WheelZoomSize(base, next);
        const bool within = larger ? s.width() <= maxSize.width() && s.height() <= maxSize.height()
                                   : s.width() >= minSize.width() && s.height() >= minSize.height();
        if (!within || std::abs(next) > kWheelLevels) {
            break;
        }
        level = next;
    }
    return level;
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
