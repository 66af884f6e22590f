#include "decode/mdlPictureFile.h"

#include "base/NumberedError.h"
#include "decode/cDecodePool.h"

namespace mdlPictureFile {

QImage LoadPictureFile(const QString& iFileName, bool iUpright) {
    // A file that crashes, hangs or floods a decoder takes the worker down, never the program.
    QImage picture = cDecodePool::Shared().Decode(iFileName, nullptr, iUpright);
    if (picture.isNull()) {
        // Also a picture the program cannot hold: reported like a file it cannot read, so no
        // caller mistakes it for success.
        throw NumberedError(481, QStringLiteral("MFreeImage"),
                            QString::fromLatin1(ErrorText::InvalidPicture));
    }
    return picture;
}

}  // namespace mdlPictureFile
