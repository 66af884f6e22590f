#pragma once

#include <QImage>
#include <QString>

// The one way the program reads a picture file. Kept apart from MFreeImage so that the decode
// worker, built from MFreeImage, needs nothing of the pool that starts it.
namespace mdlPictureFile {

// Reads a picture file. Raises NumberedError 481 (source "MFreeImage") when it cannot be read;
// never returns a null picture. Waits for the decode: the user-interface thread uses cDecodeFront
// instead. On Linux the file is decoded in a worker process (see cDecodePool), so a file that
// crashes, hangs or floods a decoder only fails this call; elsewhere it is decoded in this
// process. May be called from any thread. iUpright: a JPEG whose EXIF orientation says it was
// taken turned or mirrored comes upright (see MFreeImage::LoadImageFile); without it the picture
// is as the file stores it.
QImage LoadPictureFile(const QString& iFileName, bool iUpright = false);

}  // namespace mdlPictureFile
