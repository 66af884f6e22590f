#include "window/WorkAreaPlacement.h"

#include <algorithm>

namespace WorkAreaPlacement {

QPoint Inside(const QRect& window, const QRect& area) {
    // std::max last: a window larger than the area keeps its left or top edge on the area's.
    return {std::max(area.left(), std::min(window.left(), area.right() + 1 - window.width())),
            std::max(area.top(), std::min(window.top(), area.bottom() + 1 - window.height()))};
}

QPoint Cascaded(const QRect& window, QPoint fromStart, const QRect& area) {
    if (area.contains(window)) {
        return window.topLeft();
    }
    return Inside(QRect(area.topLeft() + fromStart, window.size()), area);
}

}  // namespace WorkAreaPlacement
