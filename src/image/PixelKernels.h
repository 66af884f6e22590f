#pragma once

#include <QtGlobal>

// The hot loops of the pixel operations, on raw 24-bit rows (bytes blue, green, red per pixel).
// Callers own the buffers and have checked every size; a kernel reads and writes exactly the
// pixel bytes it is given, never the padding after a row's last pixel.
namespace PixelKernels {

// Rotates a W x H picture a quarter turn into an H x W one. Clockwise:
// dst(x, y) = src(y, H - 1 - x); counter-clockwise: dst(x, y) = src(W - 1 - y, x).
// Rows are srcBpl and dstBpl bytes apart.
void RotateQuarter(const uchar* src, qsizetype srcBpl, qint32 W, qint32 H, uchar* dst,
                   qsizetype dstBpl, bool clockwise);

// One row of w pixels picked from a source row: dst pixel x is the pixelBytes (3 or 4) bytes at
// src + offsets[x]. Offsets ascend and every picked pixel lies within the source row's
// srcRowBytes bytes.
void GatherRow(const uchar* src, qsizetype srcRowBytes, const qsizetype* offsets, qint32 w,
               int pixelBytes, uchar* dst);

// One row of w pixels mirrored: dst pixel x = src pixel w - 1 - x. src and dst must not overlap.
void MirrorRow(const uchar* src, uchar* dst, qint32 w);

// One row of w pixels made grey: each pixel becomes g, g, g with
// g = B * 0.11 + G * 0.59 + R * 0.30 in double precision, summed in that order, rounded half to
// even. src and dst must not overlap.
void GreyRow(const uchar* src, uchar* dst, qint32 w);

}  // namespace PixelKernels
