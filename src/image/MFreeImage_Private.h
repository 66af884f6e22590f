#pragma once

#include <FreeImage.h>

#include <QByteArray>
#include <QIODevice>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

#include "image/MFreeImage.h"

struct ColourDescription;

// What the MFreeImage sources share with each other; nothing else includes this.
namespace MFreeImage::Detail {

struct BitmapDeleter {
    void operator()(FIBITMAP* b) const {
        if (b != nullptr) {
            FreeImage_Unload(b);
        }
    }
};
// A bitmap freed when it goes out of scope.
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;

struct MemoryDeleter {
    void operator()(FIMEMORY* m) const { FreeImage_CloseMemory(m); }
};
// A memory stream closed when it goes out of scope.
using MemoryPtr = std::unique_ptr<FIMEMORY, MemoryDeleter>;

// ---- Encoding (MFreeImage_Encode.cpp) ----
// The bitmap as the bytes of a file of the format, empty when the writer refuses it. PNG with
// the default flags goes to Lumora's own PNG encoder (libdeflate), everything else to the
// library's writer. Never throws.
QByteArray EncodeBitmap(FREE_IMAGE_FORMAT format, FIBITMAP* bitmap, int flags);

// Registers the library's plugins once (thread-safe).
void EnsureInitialised();
// Error 5 with the library's message, as its own wrapper raises it.
[[noreturn]] void RaiseInvalidCall(const QString& message);
// A text of the library's (Latin-1), empty for none.
QString FromLibrary(const char* text);
// True when the library writes ordinary bitmaps in the format.
bool WritesBitmaps(FREE_IMAGE_FORMAT format);
// The name a save writes: the format's primary extension appended when the name's own is not one
// of the format's.
QString CompletedFor(FREE_IMAGE_FORMAT format, const QString& fileName);
// The library's format for a file name's extension (FIF_UNKNOWN for none), thread-safe.
FREE_IMAGE_FORMAT FormatOfName(const QString& fileName);
// More pixels than a picture may hold (the product of two 32-bit sizes could overflow).
bool TooManyPixels(quint64 width, quint64 height);
bool TooManyPixels(FIBITMAP* b);
// The bitmap's size in pixels.
QSize BitmapSize(FIBITMAP* b);
// 1, 4, 8 bits with a palette, 5-6-5 or 5-5-5, 24 or 32 bits of 8-bit channels.
bool IsStandardBitmap(FIBITMAP* b);
// Another kind of bitmap (16 bits per channel, floating point, ...) as a standard one; null when
// it cannot be had.
FIBITMAP* ToStandardBitmap(FIBITMAP* b);

// ---- Orientation (MFreeImage_Orientation.cpp) ----
// The orientation a JPEG's APP1 block gives its picture, 1 to 8: 0 for a block that is not EXIF;
// 1 (as stored) for one without the tag, and for a tag that is not one SHORT of 1 to 8 in the
// first directory or a block that is damaged.
int ExifOrientation(const uchar* data, size_t size);
// True for the orientations whose upright picture is the stored one turned a quarter (5 to 8).
bool TurnsAQuarter(int orientation);
// A size in pixels as it is once upright.
QSize UprightSize(QSize size, int orientation);
// Turns and mirrors bitmap as orientation (2 to 8) says, its resolution following its axes; true
// when done. False, bitmap as it was, for any other value and when memory is short for the turn.
bool TurnUpright(BitmapPtr& bitmap, int orientation);

// Raises error 481 (invalid picture) with the module's source.
[[noreturn]] void RaiseInvalidPicture();

// ---- Colour descriptions (MFreeImage_Colour.cpp) ----
// What a file FreeImage has just read (bitmap, before any conversion) says about its colours:
// the profile the library kept (none when it marks it CMYK) and, for PNG, the iCCP, sRGB, gAMA
// and cHRM chunks read from the file's bytes. Never throws.
void DescribeLoaded(const QString& fileName, FREE_IMAGE_FORMAT format, FIBITMAP* bitmap,
                    ColourDescription& oColour);
// The iCCP (inflated), sRGB, gAMA and cHRM chunks of a PNG file, those before the first IDAT,
// into oColour (its other fields untouched), read from iFile's start, every other chunk skipped. Lengths checked,
// CRCs not; bytes that are not PNG leave it as it is.
void ReadPngColourChunks(QIODevice& iFile, ColourDescription& oColour);

// ---- PSD (MFreeImage_Psd.cpp) ----
// Puts the palette of an indexed-colour PSD file (its colour mode data) into the 8-bit bitmap the
// library read from it, which carries a grey ramp instead; true when done. Any other file, depth
// or a section that is not one 256-colour palette leaves the bitmap as it is. Never throws.
bool ApplyPsdPalette(const QString& fileName, FIBITMAP* bitmap);

// ---- HEIF, AVIF, JPEG XL (MFreeImage_HeifJxl.cpp) ----

// The extensions libheif and libjxl read, lower case: heic, heif, avif, jxl.
const QStringList& HeifJxlExtensions();

// True when the name's extension, in any letter case, is one of HeifJxlExtensions: those files go
// to libheif or libjxl, never to FreeImage.
bool IsHeifJxlName(const QString& fileName);

// Decodes such a file into a new 24-bit, or 32-bit with alpha, standard bitmap (caller frees),
// its size checked against kMaxPicturePixels before any pixel is decoded. upright applies the
// file's own rotation and mirroring (HEIF irot/imir, JPEG XL orientation); without it the rows
// are as stored. maxSide > 0 lets the decoder hand a smaller picture where it has one at no
// less than maxSide on its longer side (the caller scales whatever is still larger); oOwnSize,
// when given, receives the full picture's size (upright when turned). oColour, when given: the
// primary image's colr box (ICC or nclx) or JPEG XL's profile of the decoded pixels. Raises 481
// for a file that cannot be read whole.
FIBITMAP* LoadHeifJxl(const QString& fileName, bool upright, int maxSide, QSize* oOwnSize,
                      ColourDescription* oColour);

// Where a full-size HEIF or JPEG XL decode puts its rows instead of a bitmap (LoadHeifJxlInto).
struct PictureSink {
    const std::function<uchar*(const PictureLayout&)>& target;
    PictureLayout layout;  // as handed to target, then as the rows turned out
};

// MFreeImage_Heif.cpp and MFreeImage_Jxl.cpp: the whole file's bytes decoded as LoadHeifJxl says,
// into a new bitmap, or into iSink's memory (then returning null) when iSink is given.
FIBITMAP* LoadHeif(const QByteArray& iData, bool iUpright, int iMaxSide, QSize* oOwnSize,
                   ColourDescription* oColour, PictureSink* iSink);
FIBITMAP* LoadJxl(const QByteArray& iData, bool iUpright, int iMaxSide, QSize* oOwnSize,
                  ColourDescription* oColour, PictureSink* iSink);

// What both share (MFreeImage_HeifJxl.cpp).
// Refuses a size in pixels that is empty or above the pixel limit, before any pixel is decoded.
void CheckSize(quint64 width, quint64 height);
// A new 24-bit (3 channels) or 32-bit (4) bitmap from interleaved 8-bit R G B (A) rows, top row
// first, iStride bytes apart.
FIBITMAP* FromRgbRows(const uint8_t* iRows, qsizetype iStride, int iWidth, int iHeight,
                      int iChannels);
// A new bitmap 1/iFactor the size (rounded up) of such rows, each pixel the mean of its block.
FIBITMAP* ShrunkFromRgbRows(const uint8_t* iRows, qsizetype iStride, int iWidth, int iHeight,
                            int iChannels, int iFactor);
// The layout FromRgbRows's bitmap would have, the format decided by alpha left open: Format_BGR888
// for 3 channels, Format_ARGB32 for 4 until SettleAlpha.
PictureLayout RgbLayout(int iWidth, int iHeight, int iChannels);
// One row of interleaved R G B (A) as the picture's bytes (blue first, alpha last).
void RgbRowToPicture(const uint8_t* iSrc, uchar* oDst, size_t iPixels, int iChannels);
// 32-bit rows whose alpha bytes, ANDed, give iAll and, ORed, iAny: the format LayoutOfBitmap
// gives such a bitmap; all zero is an unused byte, set opaque in oRows here as it copies it.
void SettleAlpha(PictureLayout& ioLayout, uchar iAll, uchar iAny, uchar* ioRows);

// ---- JPEG (MFreeImage_Jpeg.cpp) ----

// Decodes a JPEG's pixels with libjpeg-turbo exactly as the library's own reader does with its
// default flags (the fast integer DCT, plain upsampling, CMYK brought to RGB its way), into a
// new bitmap carrying the header's resolution as the library reads it, the header read once.
// iMaxSide > 0 decodes at 1/2, 1/4 or 1/8 of the size where that still covers iMaxSide, as the
// library's size hint does. A colour space the library would read some other way goes to the
// library itself. oOrientation receives the EXIF orientation (1 to 8, not applied), oOwnSize the
// stored size, oColour (when given) the embedded ICC profile (none for CMYK, whose inks become
// RGB here). Raises 481 for a file that cannot be read or holds too many pixels.
FIBITMAP* LoadJpeg(const QString& fileName, int iMaxSide, int* oOrientation, QSize* oOwnSize,
                   ColourDescription* oColour);

}  // namespace MFreeImage::Detail
