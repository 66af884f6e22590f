#include "image/MFreeImage.h"

#include <FreeImage.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <cstring>
#include <memory>
#include <mutex>

#include "base/NumberedError.h"
#include "base/Rounding.h"
#include "image/ColourDescription.h"
#include "image/MFreeImage_OwnFormats.h"
#include "image/MFreeImage_Private.h"
#include "image/SaveFailure.h"

namespace MFreeImage {

// Shared with the picture conversions (MFreeImage_Pictures.cpp) through MFreeImage_Private.h.
namespace Detail {

const char* const kSource = "MFreeImage";

// The shared library registers its plugins when loaded; a static build needs this call. Counted
// by FreeImage itself, so one extra call is harmless.
void EnsureInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { FreeImage_Initialise(FALSE); });
}

[[noreturn]] void RaiseInvalidPicture() {
    throw NumberedError(481, kSource, ErrorText::InvalidPicture);
}

[[noreturn]] void RaiseInvalidCall(const QString& message) {
    throw NumberedError(
        5, kSource,
        QString::fromLatin1(ErrorText::InvalidCall) + QStringLiteral("\r\n\r\n") + message);
}

QString FromLibrary(const char* text) {
    return text != nullptr ? QString::fromLatin1(text) : QString();
}

bool TooManyPixels(quint64 width, quint64 height) {
    return width != 0 && height > static_cast<quint64>(kMaxPicturePixels) / width;
}

bool TooManyPixels(FIBITMAP* b) {
    return TooManyPixels(FreeImage_GetWidth(b), FreeImage_GetHeight(b));
}

QSize BitmapSize(FIBITMAP* b) {
    return QSize(static_cast<int>(FreeImage_GetWidth(b)), static_cast<int>(FreeImage_GetHeight(b)));
}

bool IsMasks(FIBITMAP* b, unsigned red, unsigned green, unsigned blue) {
    return FreeImage_GetRedMask(b) == red && FreeImage_GetGreenMask(b) == green &&
           FreeImage_GetBlueMask(b) == blue;
}

// True when FreeImage can hand this bitmap over as a picture without converting it first.
bool IsStandardBitmap(FIBITMAP* b) {
    if (FreeImage_GetImageType(b) != FIT_BITMAP || !FreeImage_HasPixels(b)) {
        return false;
    }
    switch (FreeImage_GetBPP(b)) {
        case 1:
        case 4:
        case 8:
            return FreeImage_GetPalette(b) != nullptr;
        case 16:
            return IsMasks(b, FI16_565_RED_MASK, FI16_565_GREEN_MASK, FI16_565_BLUE_MASK) ||
                   IsMasks(b, FI16_555_RED_MASK, FI16_555_GREEN_MASK, FI16_555_BLUE_MASK);
        case 24:
        case 32:
            return true;
        default:
            return false;
    }
}

// A new 8-bit-per-channel bitmap for one of another type or depth (16-bit channels, floating
// point, odd bit masks); nullptr when FreeImage cannot make one. The source stays with the caller.
FIBITMAP* ToStandardBitmap(FIBITMAP* b) {
    switch (FreeImage_GetImageType(b)) {
        case FIT_BITMAP:
            return FreeImage_ConvertTo24Bits(b);
        case FIT_RGB16:
            return FreeImage_ConvertTo24Bits(b);
        case FIT_RGBA16:
            return FreeImage_ConvertTo32Bits(b);
        case FIT_UINT16:
            // The high byte, as a 16-bit grey picture is meant to look; not stretched.
            return FreeImage_ConvertTo8Bits(b);
        case FIT_FLOAT:
        case FIT_RGBF:
        case FIT_RGBAF: {
            // High dynamic range: tone-mapped to what a screen shows.
            FIBITMAP* mapped = FreeImage_ToneMapping(b, FITMO_DRAGO03, 0, 0);
            return mapped != nullptr ? mapped : FreeImage_ConvertToStandardType(b, TRUE);
        }
        default:
            return FreeImage_ConvertToStandardType(b, TRUE);
    }
}

// True when FreeImage can write ordinary bitmaps in iFormat.
bool WritesBitmaps(FREE_IMAGE_FORMAT format) {
    return FreeImage_FIFSupportsExportType(format, FIT_BITMAP) &&
           FreeImage_FIFSupportsWriting(format);
}

// The one rule for the name a save writes: the format's primary extension is appended when the
// name's own is not one of the format's.
QString CompletedFor(FREE_IMAGE_FORMAT format, const QString& fileName) {
    return IsExtensionOfFormat(format, fileName)
               ? fileName
               : fileName + QLatin1Char('.') + PrimaryExtension(format);
}

// The format of a file name as FreeImage_GetFIFFromFilename finds it (the text after the last
// '.', or the whole name without one, matched without regard to ASCII letter case against each
// enabled format's name and extensions, the first format that matches winning), without calling
// it: it splits the lists with strtok, whose hidden position all threads share, so a save on a
// worker thread and a lookup on the window's thread would read each other's freed copies. The
// table is made once and never destroyed (a save may still run while the process ends); this
// program never enables or disables a format.
FREE_IMAGE_FORMAT FormatOfName(const QString& fileName) {
    EnsureInitialised();
    static const auto* const formats = [] {
        auto* table = new QHash<QByteArray, FREE_IMAGE_FORMAT>;
        for (int i = 0; i < FreeImage_GetFIFCount(); ++i) {
            const auto format = static_cast<FREE_IMAGE_FORMAT>(i);
            if (FreeImage_IsPluginEnabled(format) != TRUE) {
                continue;
            }
            QList<QByteArray> names = QByteArray(FreeImage_GetFIFExtensionList(format)).split(',');
            names.prepend(QByteArray(FreeImage_GetFormatFromFIF(format)));
            for (const QByteArray& name : names) {
                if (!name.isEmpty() && !table->contains(name.toLower())) {
                    table->insert(name.toLower(), format);
                }
            }
        }
        return table;
    }();
    const QByteArray name = QFile::encodeName(fileName);
    return formats->value(name.mid(name.lastIndexOf('.') + 1).toLower(), FIF_UNKNOWN);
}

}  // namespace Detail

using namespace Detail;

QStringList ReadableExtensions() {
    EnsureInitialised();
    QStringList extensions;
    for (int i = 0; i < FreeImage_GetFIFCount(); ++i) {
        const auto format = static_cast<FREE_IMAGE_FORMAT>(i);
        if (FreeImage_IsPluginEnabled(format) != TRUE || !FreeImage_FIFSupportsReading(format)) {
            continue;
        }
        for (const QString& e : FromLibrary(FreeImage_GetFIFExtensionList(format))
                                    .toLower()
                                    .split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!extensions.contains(e.trimmed())) {
                extensions << e.trimmed();
            }
        }
    }
    for (const QString& e : HeifJxlExtensions()) {
        if (!extensions.contains(e)) {
            extensions << e;
        }
    }
    return extensions;
}

namespace {

// LoadImageFile, decoded no smaller than iMaxSide on its longer side where the decoder can
// reduce while decoding (0: full size), telling also the file's own size in pixels where the
// header says it (left as it is otherwise). iUpright reaches the decoders that turn while
// decoding (HEIF, JPEG XL); a JPEG's turn is left to the caller: oOrientation receives it (1 for
// every other format and without iUpright).
FIBITMAP* LoadBitmap(const QString& iFileName, int iMaxSide, QSize* oHeaderSize, bool iUpright,
                     int* oOrientation, ColourDescription* oColour) {
    EnsureInitialised();
    *oOrientation = 1;
    if (oColour != nullptr) {
        *oColour = ColourDescription();
    }
    if (IsHeifJxlName(iFileName)) {
        return LoadHeifJxl(iFileName, iUpright, iMaxSide, oHeaderSize, oColour);
    }
    if (IsWebpName(iFileName)) {
        return LoadWebpFile(iFileName, iMaxSide, oHeaderSize, oColour);
    }
    const QByteArray name = QFile::encodeName(iFileName);
    const FREE_IMAGE_FORMAT format = FormatOfName(iFileName);
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) {
        RaiseInvalidPicture();
    }
    // Only regular files: a folder opens for reading on this platform, and a pipe or a device
    // would block or never end.
    const QFileInfo info(iFileName);
    if (!info.isFile()) {
        RaiseInvalidPicture();
    }
    BitmapPtr bitmap;
    try {
        if (format == FIF_JPEG) {
            // Its one header read gives the size, the orientation and the profile.
            int orientation = 1;
            QSize own;
            bitmap.reset(LoadJpeg(iFileName, iMaxSide, &orientation, &own, oColour));
            *oOrientation = iUpright ? orientation : 1;
            if (oHeaderSize != nullptr) {
                *oHeaderSize = own;
            }
        } else {
            // The header first, where the format can read it alone: a file that declares more
            // pixels than a picture may hold is refused before any pixel memory is taken.
            if (FreeImage_FIFSupportsNoPixels(format)) {
                BitmapPtr header(FreeImage_Load(format, name.constData(), FIF_LOAD_NOPIXELS));
                if (header && TooManyPixels(header.get())) {
                    RaiseInvalidPicture();
                }
                if (header && oHeaderSize != nullptr) {
                    *oHeaderSize = BitmapSize(header.get());
                }
            }
            // A PNG keeps its own values: its gAMA is the colour management's, not the reader's.
            bitmap.reset(
                FreeImage_Load(format, name.constData(), format == FIF_PNG ? PNG_IGNOREGAMMA : 0));
            if (bitmap && oColour != nullptr) {
                // Before any conversion below, which would not carry the profile along.
                DescribeLoaded(iFileName, format, bitmap.get(), *oColour);
            }
        }
    } catch (const NumberedError&) {
        throw;
    } catch (...) {
        // Some decoders throw out of FreeImage_Load on damaged files.
        RaiseInvalidPicture();
    }
    if (!bitmap || TooManyPixels(bitmap.get())) {
        RaiseInvalidPicture();
    }
    if (format == FIF_PSD) {
        ApplyPsdPalette(iFileName, bitmap.get());
    }
    if (!IsStandardBitmap(bitmap.get())) {
        bitmap.reset(ToStandardBitmap(bitmap.get()));
        if (!bitmap || !IsStandardBitmap(bitmap.get())) {
            RaiseInvalidPicture();
        }
    }
    return bitmap.release();
}

}  // namespace

FIBITMAP* LoadImageFile(const QString& iFileName, bool iUpright, ColourDescription* oColour) {
    int orientation = 1;
    BitmapPtr bitmap(LoadBitmap(iFileName, 0, nullptr, iUpright, &orientation, oColour));
    // A picture too large to turn within the memory left opens as stored rather than not at all.
    TurnUpright(bitmap, orientation);
    return bitmap.release();
}

QSize ReducedSize(QSize iSize, int iMaxSide) {
    const int longer = qMax(iSize.width(), iSize.height());
    if (iMaxSide <= 0 || longer <= iMaxSide) {
        return iSize;
    }
    const double scale = static_cast<double>(iMaxSide) / longer;
    return QSize(qBound(1, Rounding::Round32(iSize.width() * scale), iMaxSide),
                 qBound(1, Rounding::Round32(iSize.height() * scale), iMaxSide));
}

FIBITMAP* LoadReducedImageFile(const QString& iFileName, int iMaxSide, QSize* oOwnSize,
                               bool iUpright, ColourDescription* oColour, bool iRoughly) {
    // JPEG decodes at 1/2, 1/4 or 1/8 of its size where that still covers iMaxSide. The longer
    // side is the same turned or not, so the reduction holds for the upright picture too.
    QSize own;
    int orientation = 1;
    BitmapPtr bitmap(
        LoadBitmap(iFileName, qMax(0, iMaxSide), &own, iUpright, &orientation, oColour));
    const QSize decoded = BitmapSize(bitmap.get());
    if (!own.isValid() || own.width() < decoded.width() || own.height() < decoded.height()) {
        own = decoded;
    }
    const QSize wanted = ReducedSize(decoded, iMaxSide);
    if (wanted != decoded && !iRoughly) {
        // A triangle filter widened by the scale: every source pixel counts, no ringing.
        bitmap.reset(
            FreeImage_Rescale(bitmap.get(), wanted.width(), wanted.height(), FILTER_BILINEAR));
        if (bitmap && !IsStandardBitmap(bitmap.get())) {
            bitmap.reset(ToStandardBitmap(bitmap.get()));
        }
        if (!bitmap || !IsStandardBitmap(bitmap.get())) {
            RaiseInvalidPicture();
        }
    }
    // Turned last, when it is smallest; as stored when memory is short for the turn (as
    // LoadImageFile), and then the own size is the stored one too.
    const bool turned = TurnUpright(bitmap, orientation);
    if (oOwnSize != nullptr) {
        *oOwnSize = turned ? UprightSize(own, orientation) : own;
    }
    return bitmap.release();
}

FIBITMAP* ConvertImageDepth(FIBITMAP* iBitmap, int iDepth, bool iFreeSource) {
    if (iBitmap == nullptr) {
        return nullptr;
    }
    EnsureInitialised();
    FIBITMAP* made = nullptr;
    switch (iDepth) {
        case 24:
            made = FreeImage_ConvertTo24Bits(iBitmap);
            break;
        case 16:
            made = FreeImage_ConvertTo16Bits565(iBitmap);
            break;
        case 15:
            made = FreeImage_ConvertTo16Bits555(iBitmap);
            break;
        case 8:
            if (FreeImage_GetBPP(iBitmap) == 24) {
                made = FreeImage_ColorQuantize(iBitmap, FIQ_WUQUANT);
            } else {
                BitmapPtr full(FreeImage_ConvertTo24Bits(iBitmap));
                if (full) {
                    made = FreeImage_ColorQuantize(full.get(), FIQ_WUQUANT);
                }
            }
            break;
        case 4:
            made = FreeImage_ConvertTo4Bits(iBitmap);
            break;
        case 1:
            if (FreeImage_GetBPP(iBitmap) > 1) {
                made = FreeImage_Threshold(iBitmap, 128);
            }
            break;
        default:
            break;
    }
    if (made == nullptr) {
        return iBitmap;
    }
    if (iFreeSource) {
        FreeImage_Unload(iBitmap);
    }
    return made;
}

int PreviousColorDepth(int iDepth) {
    switch (iDepth) {
        case 32:
            return 24;
        case 24:
            return 16;
        case 16:
            return 15;
        case 15:
            return 8;
        case 8:
            return 4;
        case 4:
            return 1;
        default:
            return 0;
    }
}

bool IsExtensionOfFormat(int iFormat, const QString& iFileName) {
    const qsizetype dot = iFileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        return false;
    }
    EnsureInitialised();
    const QString extension = iFileName.mid(dot + 1);
    const QStringList list =
        FromLibrary(FreeImage_GetFIFExtensionList(static_cast<FREE_IMAGE_FORMAT>(iFormat)))
            .split(QLatin1Char(','));
    return list.contains(extension, Qt::CaseSensitive);
}

QString PrimaryExtension(int iFormat) {
    EnsureInitialised();
    const QString list =
        FromLibrary(FreeImage_GetFIFExtensionList(static_cast<FREE_IMAGE_FORMAT>(iFormat)));
    return list.section(QLatin1Char(','), 0, 0);
}

}  // namespace MFreeImage
