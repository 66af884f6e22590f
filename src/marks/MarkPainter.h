#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <vector>

#include "cMark.h"

// Drawing marks into a picture at any size, antialiased: the picture shown in a window, or the
// copy that is copied or saved. Clipped to the picture; marks far outside cost nothing.
namespace MarkPainter {

// Draws `marks` (in the own pixels of a picture of size `own`) onto `image`, that picture at
// image's size: pixelated areas first (from the pixels under them), then highlighters, then the
// rest in placing order. An image QPainter cannot draw on (indexed, 1 bit) becomes 24-bit first
// (32-bit with alpha when it has alpha). Text needs a GUI application (fonts); without one it is
// left out.
void DrawMarks(QImage& image, const std::vector<cMark>& marks, QSizeF own);

// One mark drawn with `p`, whose origin is the top left of a view of size `view` showing the
// picture of size `own`: the mark being drawn, over a view that holds the others. A pixelated
// area shows as its outline (its blocks need the picture's pixels).
void DrawMark(QPainter& p, const cMark& m, QSizeF view, QSizeF own);

// A copy of `picture` (own size) with its marks drawn; the picture itself when there are none.
QImage WithMarks(const QImage& picture, const std::vector<cMark>& marks);

// Shows `area` (image pixels) of `image` in square blocks of `block` pixels from the area's top
// left, each block the rounded mean of its pixels inside the image.
void Pixelate(QImage& image, const QRectF& area, double block);

// The pixels of a view of size `view` (the picture of size `own` shown) that drawing `mark`
// touches, antialiasing included, within the view. Moving or resizing a mark repaints the union
// of its rectangles before and after.
QRect RepaintRect(const cMark& mark, QSizeF view, QSizeF own);

// The same for the newest segment of a pen or highlighter stroke (the whole mark for others).
QRect RepaintRectOfLastSegment(const cMark& mark, QSizeF view, QSizeF own);

}  // namespace MarkPainter
