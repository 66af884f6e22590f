#include "image/mdlPictureFile.h"

#include "image/MFreeImage.h"

namespace mdlPictureFile {

QImage LoadPictureFile(const QString& iFileName) {
    return MFreeImage::LoadPictureFile(iFileName);
}

}  // namespace mdlPictureFile
