#include <FreeImage.h>
#include <errno.h>

#include <QFileInfo>
#include <QSaveFile>

#include "image/MFreeImage.h"
#include "image/MFreeImage_Private.h"
#include "image/SaveFailure.h"

// Saving: the picture encoded whole in memory, then written beside its target and renamed over it.
namespace MFreeImage {

using namespace Detail;

namespace {

// Why no file could be made beside target. The folder is looked at first: the errno a failed
// create leaves may have been overwritten by the clean-up after it, and a missing folder is the
// likeliest cause.
SaveFailure WhyNotCreated(const QString& target, int error) {
    const QFileInfo file(target);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir()) {
        return SaveFailure::NoFolder;
    }
    const SaveFailure fromError = SaveFailureOfErrno(error);
    if (fromError != SaveFailure::NotWritten) {
        return fromError;
    }
    if (!folder.isWritable() || !folder.isExecutable() || (file.isFile() && !file.isWritable())) {
        return SaveFailure::NoPermission;
    }
    return SaveFailure::NotWritten;
}

}  // namespace

bool SaveImageFile(FIBITMAP* iBitmap, const QString& iFileName, int iFormat, int iFlags,
                   SaveFailure* oWhy) {
    SaveFailure unused = SaveFailure::None;
    SaveFailure& why = oWhy != nullptr ? *oWhy : unused;
    why = SaveFailure::NoFormat;
    EnsureInitialised();
    BitmapPtr bitmap(iBitmap);
    auto format = static_cast<FREE_IMAGE_FORMAT>(iFormat);
    if (format == FIF_UNKNOWN) {
        format = FormatOfName(iFileName);
    }
    if (format == FIF_UNKNOWN) {
        RaiseInvalidCall(QStringLiteral(
            "Unknown image format. Neither an explicit image format was specified nor any known "
            "image format was parsed from the filename given."));
    }
    if (!WritesBitmaps(format)) {
        RaiseInvalidCall(QStringLiteral("FreeImage Library plugin '") +
                         FromLibrary(FreeImage_GetFormatFromFIF(format)) +
                         QStringLiteral("' is unable to write images of the image format "
                                        "requested."));
    }
    const QString target = CompletedFor(format, iFileName);
    why = SaveFailure::NotEncoded;
    if (!bitmap) {
        return false;
    }
    if (format == FIF_PSD && iFlags == 0) {
        // The library's default PSD writer compresses rows with a buffer it never frees, on every
        // save; uncompressed files are as valid and leak nothing.
        iFlags = PSD_NONE;
    }

    // Encode into memory first: the file is only touched once the whole picture is encoded, so a
    // refused depth or a failed encoder never leaves an empty or half-written file behind, nor
    // destroys the file being replaced.
    QByteArray encoded;
    for (int depth = static_cast<int>(FreeImage_GetBPP(bitmap.get())); depth != 0;
         depth = PreviousColorDepth(depth)) {
        if (!FreeImage_FIFSupportsExportBPP(format, depth)) {
            continue;
        }
        if (depth != static_cast<int>(FreeImage_GetBPP(bitmap.get()))) {
            bitmap.reset(ConvertImageDepth(bitmap.release(), depth, true));
        }
        if (format == FIF_TARGA && depth == 16 &&
            FreeImage_GetGreenMask(bitmap.get()) == FI16_565_GREEN_MASK) {
            // 16-bit TGA is 5-5-5; the writer would store 5-6-5 pixels unchanged and so wrong.
            bitmap.reset(ConvertImageDepth(bitmap.release(), 15, true));
        }
        encoded = EncodeBitmap(format, bitmap.get(), iFlags);
        if (!encoded.isEmpty()) {
            break;
        }
        // The writer refused a depth it claims (JPEG and 32 bits): go on down the walk.
    }
    bitmap.reset();
    if (encoded.isEmpty()) {
        return false;
    }

    // Written beside the target under another name and renamed over it once complete, so a full
    // disk or a crash never leaves the old file half replaced. Where no such file can be made (a
    // folder without write permission) the save fails: writing in place would risk the old file.
    // QSaveFile writes through a symbolic link to the file it points to, and refuses a folder.
    QSaveFile file(target);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        why = WhyNotCreated(target, errno);
        return false;
    }
    // The flush is checked here: a write error left in the buffer must not reach commit, which
    // would rename an incomplete file over the old one.
    if (file.write(encoded) != encoded.size() || !file.flush()) {
        why = SaveFailureOfErrno(errno);  // read before the clean-up sets another
        file.cancelWriting();
        return false;
    }
    errno = 0;
    if (!file.commit()) {
        // The data reach the disk only here on some file systems (a full disk shows now); the
        // folder may also have gone since the file was made.
        why = errno != 0 ? SaveFailureOfErrno(errno) : WhyNotCreated(target, 0);
        return false;
    }
    why = SaveFailure::None;
    return true;
}

}  // namespace MFreeImage
