#include "window/DragZone.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace DragZone {

double PixelCentre(double twips, double twipsPerPixel) {
    // Positions arrive as single-precision twips, a pixel times a factor such as 1440 / 168: a
    // position on a pixel's edge may come back a millionth of a pixel short of it.
    constexpr double kRounding = 1e-4;
    return std::floor(twips / twipsPerPixel + kRounding) + 0.5;
}

Handle HandleAt(Column column, Row row) {
    static const Handle kTable[3][3] = {
        // left        middle          right
        {Handle::WN, Handle::N, Handle::EN},  // top
        {Handle::W, Handle::M, Handle::E},    // middle
        {Handle::WS, Handle::S, Handle::ES},  // bottom
    };
    return kTable[static_cast<int>(row)][static_cast<int>(column)];
}

Qt::CursorShape CursorOf(Handle handle) {
    switch (handle) {
        case Handle::WN:
        case Handle::ES:
            return Qt::SizeFDiagCursor;
        case Handle::EN:
        case Handle::WS:
            return Qt::SizeBDiagCursor;
        case Handle::N:
        case Handle::S:
            return Qt::SizeVerCursor;
        case Handle::W:
        case Handle::E:
            return Qt::SizeHorCursor;
        case Handle::M:
        case Handle::None:
            break;
    }
    return Qt::ArrowCursor;
}

QString CodeOf(Handle handle) {
    switch (handle) {
        case Handle::WN:
            return QStringLiteral("WN");
        case Handle::W:
            return QStringLiteral("W");
        case Handle::WS:
            return QStringLiteral("WS");
        case Handle::EN:
            return QStringLiteral("EN");
        case Handle::E:
            return QStringLiteral("E");
        case Handle::ES:
            return QStringLiteral("ES");
        case Handle::N:
            return QStringLiteral("N");
        case Handle::S:
            return QStringLiteral("S");
        case Handle::M:
            return QStringLiteral("M");
        case Handle::None:
            break;
    }
    return QString();
}

qint16 Saturate16(qint64 v) {
    return static_cast<qint16>(std::clamp<qint64>(v, std::numeric_limits<qint16>::min(),
                                                  std::numeric_limits<qint16>::max()));
}

qint32 Saturate32(qint64 v) {
    return static_cast<qint32>(std::clamp<qint64>(v, std::numeric_limits<qint32>::min(),
                                                  std::numeric_limits<qint32>::max()));
}

}  // namespace DragZone
