#pragma once

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <array>
#include <vector>

// What a mark is.
enum class MarkKind {
    Rectangle,    // outline; points: two opposite corners
    Ellipse,      // outline inside the rectangle of its two points
    Arrow,        // points: tail, head
    Line,         // points: two ends
    Pen,          // points: the stroke, in order
    Highlighter,  // a translucent pen, drawn under the other marks
    Pixelate,     // points: two opposite corners of the area shown in blocks of 10 picture pixels
    Text,         // points: top left of the first line; text, fontSize
    Number,       // points: centre of the circle; number, fontSize (the circle's radius)
};

// One mark on a picture. Every measure is in the picture's own pixels (floating point), so a mark
// keeps its place and size whatever size the picture is shown at.
struct cMark {
    MarkKind kind = MarkKind::Rectangle;
    std::vector<QPointF> points;
    QColor colour = QColor(0xFF, 0x00, 0x00);
    double width = 2.0;      // line width
    QString text;            // Text: lines separated by '\n'
    double fontSize = 16.0;  // Text: the font's pixel size; Number: the circle's radius
    int number = 0;          // Number: 1, 2, 3... in placing order
};

// The eight colours offered, red first (the default).
const std::array<QColor, 8>& MarkColours();

// The three widths offered, in device pixels at the size the picture is shown at.
const std::array<double, 3>& MarkWidths();

// A width chosen in device pixels on a picture shown at `shown`, in the picture's own pixels.
double WidthInPicture(double deviceWidth, QSizeF own, QSizeF shown);

// The number the next numbered mark takes: one more than the largest on the picture.
int NextMarkNumber(const std::vector<cMark>& marks);

// A mark of `kind` starting at `press` (two-point kinds get the press point twice).
cMark NewMark(MarkKind kind, QPointF press, const QColor& colour, double width);
