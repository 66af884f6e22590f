#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

namespace TestSupport {

// Path of a file in tests/data.
QString DataFile(const QString& name);

// A small picture whose every pixel differs from its neighbours, so a wrong offset, a swapped
// channel or a mirrored row shows up in a byte comparison.
QImage PatternImage(int width, int height, QImage::Format format = QImage::Format_BGR888);

// True when both pictures have the same size and the same colour at every pixel
// (formats may differ).
bool SamePixels(const QImage& a, const QImage& b);

// The meaningful bytes of every row, without the padding at the end of each.
QByteArray RowBytes(const QImage& image);

}  // namespace TestSupport
