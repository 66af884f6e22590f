#pragma once

#include <qnamespace.h>
#include <QString>
#include <QtGlobal>

// The zones of a rectangle that the drag controllers share: a band along each edge, the four
// corners where two bands meet, and the interior. Each zone has a handle code (the vertical
// edge's letter first: W west, E east; then N north, S south; "M" the interior) and a cursor.
namespace DragZone {

enum class Column { Left, Middle, Right };
enum class Row { Top, Middle, Bottom };

enum class Handle { None, WN, W, WS, EN, E, ES, N, S, M };

// The zone rule, in whatever unit the caller measures: a position on or before the near bound is
// in the left column (top row), tested first so that a rectangle narrower than two bands
// resolves to it; the right band excludes its bound, the bottom band includes it.
inline Column ColumnOf(float x, float leftBound, float rightBound) {
    return x <= leftBound ? Column::Left : (x > rightBound ? Column::Right : Column::Middle);
}
inline Row RowOf(float y, float topBound, float bottomBound) {
    return y <= topBound ? Row::Top : (y >= bottomBound ? Row::Bottom : Row::Middle);
}

// The centre of the pixel a position lies on: position in twips, twipsPerPixel > 0; the result is
// in pixels. Classified by its pixel's centre, a position puts every pixel wholly in one zone, and
// the zone rule's mixed strictness then gives each band exactly its width in pixels on all four
// edges; compared at the pixel's own left or top edge, the left and top bands came out a pixel
// wider than the right one. A position a rounding short of a pixel's edge counts as on it.
double PixelCentre(double twips, double twipsPerPixel);

Handle HandleAt(Column column, Row row);
Qt::CursorShape CursorOf(Handle handle);  // arrow for M and None
QString CodeOf(Handle handle);            // "" for None

// The groups a handle belongs to; a corner belongs to two.
inline bool IsWest(Handle h) {
    return h == Handle::WN || h == Handle::W || h == Handle::WS;
}
inline bool IsEast(Handle h) {
    return h == Handle::EN || h == Handle::E || h == Handle::ES;
}
inline bool IsNorth(Handle h) {
    return h == Handle::N || h == Handle::WN || h == Handle::EN;
}
inline bool IsSouth(Handle h) {
    return h == Handle::S || h == Handle::WS || h == Handle::ES;
}

// Measures as the controllers hold them, saturated instead of wrapped: a wild border width or a
// runaway drag must not become undefined behaviour.
qint16 Saturate16(qint64 v);
qint32 Saturate32(qint64 v);

}  // namespace DragZone
