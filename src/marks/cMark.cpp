#include "cMark.h"

#include <algorithm>

const std::array<QColor, 8>& MarkColours() {
    static const std::array<QColor, 8> colours = {
        QColor(0xFF, 0x00, 0x00), QColor(0xFF, 0x8C, 0x00), QColor(0xFF, 0xD6, 0x00),
        QColor(0x00, 0xC8, 0x53), QColor(0x29, 0x62, 0xFF), QColor(0xAA, 0x00, 0xFF),
        QColor(0x00, 0x00, 0x00), QColor(0xFF, 0xFF, 0xFF)};
    return colours;
}

const std::array<double, 3>& MarkWidths() {
    static const std::array<double, 3> widths = {2.0, 4.0, 8.0};
    return widths;
}

double WidthInPicture(double deviceWidth, QSizeF own, QSizeF shown) {
    // The picture keeps its proportions when shown, so one side gives the scale.
    if (!(shown.width() > 0.0) || !(own.width() > 0.0)) {
        return deviceWidth;
    }
    return deviceWidth * own.width() / shown.width();
}

int NextMarkNumber(const std::vector<cMark>& marks) {
    int largest = 0;
    for (const cMark& m : marks) {
        if (m.kind == MarkKind::Number) {
            largest = std::max(largest, m.number);
        }
    }
    return largest + 1;
}

cMark NewMark(MarkKind kind, QPointF press, const QColor& colour, double width) {
    cMark m;
    m.kind = kind;
    m.colour = colour;
    m.width = width;
    switch (kind) {
        case MarkKind::Text:
        case MarkKind::Number:
        case MarkKind::Pen:
        case MarkKind::Highlighter:
            m.points = {press};
            break;
        default:
            m.points = {press, press};
            break;
    }
    return m;
}
