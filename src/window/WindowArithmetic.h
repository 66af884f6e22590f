#pragma once

#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QtGlobal>
#include <optional>

// The measuring rules of an image window, kept apart from the widgets so they can be checked at
// chosen screen sizes and resolutions. Window positions and sizes are in twips, everything inside
// a window in pixels; each function says which.
namespace WindowArithmetic {

// Where a window is to be shown: outer rectangle in twips.
struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// The window size that shows a picture at w x h pixels (plus border pixels on every side): as is
// when it fits the screen (screenW, screenH in twips), otherwise shrunk by one factor so that it
// does. Products and quotients in single precision. Result in twips; shrunk tells whether the
// "too large" tip is due.
struct ViewFit {
    float widthTwips;
    float heightTwips;
    bool shrunk;
};
ViewFit FitViewSize(qint32 w, qint32 h, qint32 border, float tx, float ty, float screenW,
                    float screenH);

// Point size of the tip label for a window of the given size in twips: 10 + (smaller side ÷ 1000,
// truncated, at most 10).
int TipFontPoints(double widthTwips, double heightTwips);

enum class Arrow { Left, Up, Right, Down };

// The crop rectangle moved one step by an arrow key. Pixels: rect is the crop label in window
// coordinates, clientW/clientH the window's client size. The left limit is 0, the top limit the
// border.
QPoint MoveCropByArrow(const QRect& crop, Arrow key, int step, int border, int clientW,
                       int clientH);

// The window moved one step by an arrow key. Twips: window rectangle and screen size; tx/ty
// twips per pixel. Returns the new left/top in twips.
QPointF MoveWindowByArrow(const TwipsRect& window, Arrow key, int step, double tx, double ty,
                          double screenW, double screenH);

// The crop rectangle a right-button drag draws, in picture pixels. anchor: where the right button
// went down; x/y: where the pointer is (picture pixels, already rounded); viewW/viewH: the picture
// control's size. Nothing while no rectangle is to be drawn (anchor on the picture's left or top
// edge, or 10 pixels or less away horizontally).
std::optional<QRect> CropFromDrag(QPoint anchor, int x, int y, int viewW, int viewH);

// Left/top (twips) that put the window's right and bottom edges back on the screen; left and top
// edges are not tested.
QPointF AutoPosition(const TwipsRect& window, double screenW, double screenH);

// Where a duplicated window goes, twips: 200 down and right of its source, or 400 from the
// screen's right / bottom edge when that would pass 200 from it.
QPointF CascadePosition(double sourceLeft, double sourceTop, double screenW, double screenH);

// Colours between Qt and the program's 0x00BBGGRR values (red in the lowest byte).
inline qint32 ColourRef(QRgb rgb) {
    return static_cast<qint32>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}
inline QRgb RgbOf(qint32 colour) {
    return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// Opacity percent to the window system's 0..255 alpha, rounded half to even and clamped.
int AlphaFromPercent(int percent);

// The picture's shown size at wheel level n (pixels): each side of the base (the size before the
// first notch) times 1.1^n, rounded on its own, never below one pixel. Every level is measured from
// the base, so n notches out and n in give back the base exactly. An empty base stays empty.
QSize WheelZoomSize(QSize base, int level);

// The wheel level after notches (> 0 away from the user: larger). A notch counts only when the
// size it gives stays within the limits: towards larger both sides at most maxSize, towards smaller
// both at least minSize, so the level stops where either side would pass a limit and the sides
// keep their ratio. A notch past a limit is not counted. A base already beyond a limit is never
// pushed further out, but comes back freely. A level stays within -500..500 (beyond, every
// picture is one pixel or larger than any screen).
int WheelZoomLevel(QSize base, int level, int notches, QSize minSize, QSize maxSize);

// The window's outer rectangle (screen pixels) that shows the picture at newShown instead of
// oldShown with the picture's point under pointer (screen pixels) still under it: the picture
// control sits border pixels inside the window, and each edge's new place is rounded.
QRect AnchoredZoomRect(const QRect& window, int border, QSize oldShown, QSize newShown,
                       QPointF pointer);

// The opacity (percent) after Ctrl+wheel notches: each notch away from the user goes up to the
// next multiple of 10, each towards down to the one before, always within 10..100 (a value
// outside is first brought into it).
int WheelOpacity(int percent, int notches);

}  // namespace WindowArithmetic
