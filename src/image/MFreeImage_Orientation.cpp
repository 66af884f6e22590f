// Photos taken with the camera turned: the EXIF orientation of a JPEG, read with care, and the
// turn and mirror that make its bitmap upright.
//
// The library's own JPEG_EXIFROTATE is not used: it reads the tag's value as one 16-bit number
// whatever type and count the file gives it (a tag of no value, or of one byte, is read past its
// end), and it leaves the size read from the header alone, so a reduced load would report the
// stored size of a picture it turned. The turns themselves are the library's.

#include <FreeImage.h>

#include <QSize>
#include <utility>

#include "image/MFreeImage_Private.h"

namespace MFreeImage::Detail {

namespace {
constexpr WORD kOrientationTag = 0x0112;
}  // namespace

int ExifOrientation(FIBITMAP* b) {
    if (b == nullptr) {
        return 1;
    }
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, b, "Orientation", &tag) || tag == nullptr) {
        return 1;
    }
    // The standard's form and nothing else: one SHORT, 1 to 8. Anything else is a damaged or
    // lying block, and the picture stays as the file stores it.
    if (FreeImage_GetTagID(tag) != kOrientationTag || FreeImage_GetTagType(tag) != FIDT_SHORT ||
        FreeImage_GetTagCount(tag) != 1 || FreeImage_GetTagLength(tag) != sizeof(WORD) ||
        FreeImage_GetTagValue(tag) == nullptr) {
        return 1;
    }
    const WORD value = *static_cast<const WORD*>(FreeImage_GetTagValue(tag));
    return value >= 1 && value <= 8 ? value : 1;
}

bool TurnsAQuarter(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

QSize UprightSize(QSize size, int orientation) {
    return TurnsAQuarter(orientation) ? size.transposed() : size;
}

bool TurnUpright(BitmapPtr& bitmap, int orientation) {
    if (!bitmap || orientation < 2 || orientation > 8) {
        return false;
    }
    const unsigned dpmX = FreeImage_GetDotsPerMeterX(bitmap.get());
    const unsigned dpmY = FreeImage_GetDotsPerMeterY(bitmap.get());
    // The library turns anticlockwise for a positive angle. 5 and 7 are a quarter turn and a
    // mirror: the stored rows are the upright picture's columns.
    double angle = 0;
    bool mirrorLeftRight = false;
    bool mirrorUpDown = false;
    switch (orientation) {
        case 2:
            mirrorLeftRight = true;
            break;
        case 3:
            angle = 180;
            break;
        case 4:
            mirrorUpDown = true;
            break;
        case 5:
            angle = 90;
            mirrorUpDown = true;
            break;
        case 6:
            angle = -90;
            break;
        case 7:
            angle = -90;
            mirrorUpDown = true;
            break;
        default:  // 8
            angle = 90;
            break;
    }
    // A turn makes a new bitmap; a mirror works in place and changes nothing when it fails (it
    // takes one row of memory before it moves any pixel).
    BitmapPtr turned;
    if (angle != 0) {
        turned.reset(FreeImage_Rotate(bitmap.get(), angle));
        if (!turned) {
            return false;
        }
    }
    FIBITMAP* target = turned ? turned.get() : bitmap.get();
    if ((mirrorLeftRight && !FreeImage_FlipHorizontal(target)) ||
        (mirrorUpDown && !FreeImage_FlipVertical(target))) {
        return false;
    }
    // The resolution belongs to the picture's axes, which a quarter turn swaps.
    FreeImage_SetDotsPerMeterX(target, TurnsAQuarter(orientation) ? dpmY : dpmX);
    FreeImage_SetDotsPerMeterY(target, TurnsAQuarter(orientation) ? dpmX : dpmY);
    if (turned) {
        bitmap = std::move(turned);
    }
    return true;
}

}  // namespace MFreeImage::Detail
