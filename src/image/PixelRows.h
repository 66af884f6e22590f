#pragma once

#include <QImage>

// Any picture's pixels as 24-bit rows (bytes blue, green, red per pixel), the one form the pixel
// operations work on.
namespace PixelRows {

// The 32-bit formats whose words are 0xAARRGGBB (alpha or padding in the top byte).
bool Is32BitBgra(QImage::Format f);
// The 32-bit formats stored as bytes red, green, blue, alpha (or padding).
bool Is32BitRgba(QImage::Format f);

// Writes the source rectangle (x0, y0, w, n), which lies inside the source, as 24-bit rows
// (3w bytes each, padding untouched) at `out`, rows `outBpl` bytes apart. Any format Qt knows;
// alpha is dropped, a colour table looked up (an index beyond it is black, as Qt shows it).
// False when memory for a conversion runs out.
bool ConvertRows(const QImage& src, qint32 x0, qint32 y0, qint32 w, qint32 n, uchar* out,
                 qsizetype outBpl);

}  // namespace PixelRows
