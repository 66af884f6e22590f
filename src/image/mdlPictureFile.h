#pragma once

#include <QImage>
#include <QString>

// The one way the program reads a picture file.
namespace mdlPictureFile {

// Reads a picture file. Raises NumberedError 481 when it cannot be read; never returns a null
// picture.
QImage LoadPictureFile(const QString& iFileName);

}  // namespace mdlPictureFile
