// Photos taken with the camera turned: the EXIF orientation of a JPEG, read with care, and the
// turn and mirror that make its bitmap upright.
//
// The library's own JPEG_EXIFROTATE is not used: it reads the tag's value as one 16-bit number
// whatever type and count the file gives it (a tag of no value, or of one byte, is read past its
// end), and it leaves the size read from the header alone, so a reduced load would report the
// stored size of a picture it turned. The tag is read here from the APP1 block the JPEG decoder
// keeps while reading the header; the turns themselves are the library's.

#include <FreeImage.h>

#include <QSize>
#include <cstring>
#include <utility>

#include "image/MFreeImage_Private.h"

namespace MFreeImage::Detail {

namespace {
constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kShort = 3;
}  // namespace

// Every read is checked against the block: a damaged one leaves the picture as stored.
int ExifOrientation(const uchar* data, size_t size) {
    static const char kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (size < sizeof kExif || std::memcmp(data, kExif, sizeof kExif) != 0) {
        return 0;
    }
    const uchar* tiff = data + sizeof kExif;
    const size_t length = size - sizeof kExif;
    if (length < 8) {
        return 1;
    }
    const bool intel = tiff[0] == 'I' && tiff[1] == 'I';
    if (!intel && !(tiff[0] == 'M' && tiff[1] == 'M')) {
        return 1;
    }
    const auto u16 = [&](size_t at) {
        return static_cast<unsigned>(intel ? tiff[at] | tiff[at + 1] << 8
                                           : tiff[at] << 8 | tiff[at + 1]);
    };
    const auto u32 = [&](size_t at) {
        return intel ? u16(at) | static_cast<quint64>(u16(at + 2)) << 16
                     : static_cast<quint64>(u16(at)) << 16 | u16(at + 2);
    };
    const quint64 directory = u32(4);
    if (u16(2) != 42 || directory + 2 > length) {
        return 1;
    }
    const unsigned entries = u16(static_cast<size_t>(directory));
    for (unsigned i = 0; i < entries; ++i) {
        const quint64 entry = directory + 2 + 12 * static_cast<quint64>(i);
        if (entry + 12 > length) {
            return 1;
        }
        const auto at = static_cast<size_t>(entry);
        if (u16(at) != kOrientationTag) {
            continue;
        }
        const unsigned value = u16(at + 8);
        return u16(at + 2) == kShort && u32(at + 4) == 1 && value >= 1 && value <= 8
                   ? static_cast<int>(value)
                   : 1;
    }
    return 1;
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
