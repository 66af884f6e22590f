#include <FreeImage.h>
#include <errno.h>

#include <QFileInfo>
#include <QSaveFile>

#include "base/NumberedError.h"
#include "image/MFreeImage.h"
#include "image/MFreeImage_OwnFormats.h"
#include "image/MFreeImage_Private.h"
#include "image/SaveFailure.h"

// Saving: the picture encoded whole in memory, then written beside its target and renamed over it.
namespace MFreeImage {

namespace Detail {

namespace {

QString LowerExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
}

// The extensions of a format written by its own library, the primary one first.
QStringList OwnExtensions(OwnFormat format) {
    switch (format) {
        case OwnFormat::Heic:
            return {QStringLiteral("heic"), QStringLiteral("heif")};
        case OwnFormat::Avif:
            return {QStringLiteral("avif")};
        case OwnFormat::Jxl:
            return {QStringLiteral("jxl")};
        case OwnFormat::Webp:
            return {QStringLiteral("webp")};
        case OwnFormat::None:
            break;
    }
    return {};
}

}  // namespace

OwnFormat OwnFormatOfName(const QString& fileName) {
    const QString extension = LowerExtension(fileName);
    for (const OwnFormat format :
         {OwnFormat::Heic, OwnFormat::Avif, OwnFormat::Jxl, OwnFormat::Webp}) {
        if (OwnExtensions(format).contains(extension)) {
            return format;
        }
    }
    return OwnFormat::None;
}

QString CompletedForOwn(OwnFormat format, const QString& fileName) {
    const QStringList extensions = OwnExtensions(format);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && extensions.contains(fileName.mid(dot + 1), Qt::CaseSensitive)) {
        return fileName;
    }
    return fileName + QLatin1Char('.') + extensions.value(0);
}

QByteArray EncodeOwnFormat(OwnFormat format, const QImage& picture, const QByteArray& profile,
                           int quality) {
    try {
        // Rows of R G B (A) bytes, as every one of these libraries takes them.
        const QImage rgba = picture.convertToFormat(
            picture.hasAlphaChannel() ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        if (rgba.isNull()) {
            return {};
        }
        quality = qBound(1, quality, 100);
        switch (format) {
            case OwnFormat::Heic:
            case OwnFormat::Avif:
                return EncodeHeif(rgba, format == OwnFormat::Avif, profile, quality);
            case OwnFormat::Jxl:
                return EncodeJxl(rgba, profile, quality);
            case OwnFormat::Webp:
                return EncodeWebp(rgba, profile, quality);
            case OwnFormat::None:
                break;
        }
    } catch (...) {
        // Memory refused.
    }
    return {};
}

}  // namespace Detail

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

// Writes encoded as target: beside it under another name, then renamed over it once complete,
// so a full disk or a crash never leaves the old file half replaced. Where no such file can be
// made (a folder without write permission) the save fails: writing in place would risk the old
// file. QSaveFile writes through a symbolic link to the file it points to, and refuses a folder.
bool WriteBeside(const QString& target, const QByteArray& encoded, SaveFailure& why) {
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

// Puts profile into bitmap as its ICC profile (the library's JPEG and TIFF writers and Lumora's
// PNG encoder write it), replacing any other.
void AttachProfile(FIBITMAP* bitmap, const QByteArray& profile) {
    if (profile.isEmpty()) {
        return;
    }
    FreeImage_DestroyICCProfile(bitmap);
    FreeImage_CreateICCProfile(bitmap, const_cast<char*>(profile.constData()),
                               static_cast<long>(profile.size()));
}

}  // namespace

bool SavePictureFile(const QImage& iPicture, const QString& iFileName, SaveFailure* oWhy,
                     const QByteArray& iProfile, int iQuality) {
    SaveFailure unused = SaveFailure::None;
    SaveFailure& why = oWhy != nullptr ? *oWhy : unused;
    why = SaveFailure::NotEncoded;  // until the writer says otherwise
    if (iPicture.isNull()) {
        throw NumberedError(91, "MFreeImage", ErrorText::ObjectNotSet);
    }
    const OwnFormat own = OwnFormatOfName(iFileName);
    if (own == OwnFormat::None) {
        FIBITMAP* bitmap = PictureToImage(iPicture);
        if (bitmap == nullptr) {
            RaiseInvalidPicture();
        }
        return SaveImageFile(bitmap, iFileName, -1, 0, oWhy, iProfile);
    }
    const QByteArray encoded = EncodeOwnFormat(own, iPicture, iProfile, iQuality);
    if (encoded.isEmpty()) {
        return false;
    }
    return WriteBeside(CompletedForOwn(own, iFileName), encoded, why);
}

QString CompletedFileName(const QString& iFileName) {
    const OwnFormat own = OwnFormatOfName(iFileName);
    if (own != OwnFormat::None) {
        return CompletedForOwn(own, iFileName);
    }
    const FREE_IMAGE_FORMAT format = FormatOfName(iFileName);
    if (format == FIF_UNKNOWN || !WritesBitmaps(format)) {
        return QString();
    }
    return CompletedFor(format, iFileName);
}

bool CarriesProfile(const QString& iFileName) {
    if (OwnFormatOfName(iFileName) != OwnFormat::None) {
        return true;
    }
    if (CompletedFileName(iFileName).isEmpty()) {
        return false;
    }
    const FREE_IMAGE_FORMAT format = FormatOfName(iFileName);
    return format == FIF_JPEG || format == FIF_PNG || format == FIF_TIFF;
}

bool SaveImageFile(FIBITMAP* iBitmap, const QString& iFileName, int iFormat, int iFlags,
                   SaveFailure* oWhy, const QByteArray& iProfile) {
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
        // Every depth's bitmap is a new one: the profile goes on the one encoded.
        AttachProfile(bitmap.get(), iProfile);
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

    return WriteBeside(target, encoded, why);
}

}  // namespace MFreeImage
