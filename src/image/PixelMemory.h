#pragma once

#include <QImage>
#include <QtGlobal>

// Memory for the pixel operations' result pictures. A large picture is mapped 2 MiB-aligned and
// advised to use huge pages, so filling it costs a few dozen page faults instead of thousands;
// a small one comes from the heap. Either way the memory starts zero-filled, so row padding is
// 0 without being written, and the returned QImage owns it: the memory is released when the
// last copy of the picture goes.
namespace PixelMemory {

// Pictures of at least this many bytes get their own huge-page mapping.
constexpr qsizetype kLargeBytes = qsizetype(2) << 20;

// A zero-filled picture of width x height pixels with rows of bytesPerLine bytes (a multiple of
// 4, at least what the format needs). Null when the memory cannot be had or the sizes are not
// positive. The caller has checked that bytesPerLine * height fits its own size rules.
QImage NewImage(qint32 width, qint32 height, qsizetype bytesPerLine, QImage::Format format);

}  // namespace PixelMemory
