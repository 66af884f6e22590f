#pragma once

#include <QImage>
#include <QString>
#include <QtGlobal>

class QScreen;

// The program's own picture operations. Every operation takes a picture and returns a new one;
// the picture it was given is never changed. "No picture" is a null QImage.
//
// Pictures made here are Format_BGR888: 24 bits per pixel, bytes blue, green, red, top row
// first, every row padded to a multiple of 4 bytes (RowBytes), padding bytes 0. The only
// exception is ScalePicture, whose result keeps a 32-bit source's format.
//
// Sources may be any QImage format. Palette (Mono, MonoLSB, Indexed8) and 16-bit pictures come
// out with the colours Qt gives their pixels (an index beyond the colour table is black).
// 32-bit pictures (RGB32, ARGB32, ARGB32_Premultiplied and the byte-ordered RGBA8888 kinds) give
// their colour bytes as stored and drop alpha, like the window system's plain copy of a 32-bit
// bitmap: a premultiplied pixel keeps its premultiplied colour (it is the pixel over black).
//
// Sizes are pixels. Size arithmetic is 32-bit signed: 3 * width, RowBytes(width) or
// RowBytes(width) * height beyond that range raises NumberedError 6 "Overflow" before anything
// is allocated. Errors raised here carry the source "mdlPhotoShop".
//
// All operations share one pixel buffer and run on the user-interface thread, one at a time.
namespace mdlPhotoShop {

// Bytes in one 24-bit row of `w` pixels, padded to a multiple of 4: ((3w + 3) div 4) * 4.
// Raises 6 when 3w + 3 leaves the signed 32-bit range.
qint32 RowBytes(qint32 w);
// Padding bytes (0..3) after the 3w pixel bytes of a row: 3 - ((3w + 3) mod 4). Raises 6 as
// RowBytes does.
qint32 RowPadding(qint32 w);

// Fills the module's pixel buffer with the picture's pixels as 24 bits. Empties the buffer
// first. False for no picture or a picture without positive width and height; raises 6 when the
// sizes overflow. A 24-bit picture with 4-byte-aligned rows is shared, not copied.
bool LoadPixels(const QImage& picture);
// The buffer as a new picture of its width x height, or no picture when it is empty. The buffer
// becomes the picture without another copy (a buffer that shares a source picture is copied,
// so the result owns its pixels and has zero padding).
QImage PixelsToPicture();
// Empties the buffer (width = height = 0) and lets go of its memory.
void ClearPixels();

// A new 24-bit picture of the same size and colours. Raises 91 for no picture.
QImage CopyPicture24(const QImage& picture);

// The picture stretched to w x h pixels, nearest neighbour: result pixel (x, y) is the source
// pixel (floor((2x + 1) * W / (2w)), floor((2y + 1) * H / (2h))), the source pixel under the
// centre of the result pixel (W, H the source size). A Format_BGR888 source and the 32-bit
// formats listed above keep their format (alpha included); any other becomes Format_BGR888 (and
// raises 6 when the source itself is too large for 24 bits). Raises 91 for no picture; w or h
// not positive gives no picture.
QImage ScalePicture(const QImage& picture, qint32 w, qint32 h);

// A new 24-bit picture of w x h whose pixel (i, j) is the source pixel (x + i, y + j); pixels
// that fall outside the source are black. Raises 91 for no picture; w or h not positive gives no
// picture.
QImage CopyRegion(const QImage& picture, qint32 x, qint32 y, qint32 w, qint32 h);

// A screen as a 24-bit picture of the screen's size in device pixels (ScreenUnits): a plain copy
// of its pixels from the top-left corner, black beyond the grab. Null iScreen: the primary screen,
// whose size is its size in twips divided by twips per pixel, rounded half to even.
// No picture without a GUI application or when the platform refuses to grab the screen.
QImage CaptureScreen(QScreen* iScreen = nullptr);

// Rotated a quarter turn: 90 clockwise, -90 counter-clockwise; width and height exchange. Any
// other angle gives an unchanged 24-bit copy. No picture for no picture.
QImage RotatePicture(const QImage& picture, qint16 angle);

// Mirrored: "X" exchanges top and bottom, "Y" left and right (exact, case-sensitive). Any other
// text gives an unchanged 24-bit copy. No picture for no picture.
QImage FlipPicture(const QImage& picture, const QString& axis);

// A 24-bit copy with the pixels x..x+w-1, y..y+h-1 black. w or h not positive blackens nothing.
// A rectangle reaching outside the picture raises 9 "Subscript out of range". No picture for no
// picture.
QImage FillBlack(const QImage& picture, qint32 x, qint32 y, qint32 w, qint32 h);

// Grey: every pixel becomes g, g, g with g = B * 0.11 + G * 0.59 + R * 0.30 evaluated in double
// precision in that order and rounded half to even. No picture for no picture.
QImage GrayPicture(const QImage& picture);

}  // namespace mdlPhotoShop
