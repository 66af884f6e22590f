#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

// FreeImage's bitmap handle. Only this module (and the decode worker built from it) ever holds one;
// everything else in the program sees pictures as QImage.
struct FIBITMAP;
struct ColourDescription;
enum class SaveFailure;

// Picture files in and out. The only code that reads or writes picture files; FreeImage does the
// decoding and encoding, this module chooses the format (always from the file name's extension),
// fits the colour depth to what the format can write, completes the file name, and reports
// failures as NumberedError with the source "MFreeImage":
//   5   invalid argument (unknown format for saving, or a format that cannot write bitmaps),
//   91  no picture given,
//   481 invalid picture (a file that cannot be read as a picture, pixels that cannot be copied).
//
// A picture read from a file keeps its depth: 1 bit -> Format_Mono, 4 and 8 bits ->
// Format_Indexed8 with its colour table, 16 bits -> Format_RGB16 (565) or Format_RGB555,
// 24 bits -> Format_BGR888, 32 bits -> Format_ARGB32, or Format_RGB32 when every pixel is opaque
// (or the alpha byte is unused, all zero). Pictures of 16 bits per channel or floating point are
// brought to an ordinary 8-bit-per-channel picture. Rows are top-down as Qt keeps them; the
// bottom-up rows of FreeImage are turned over here and nowhere else.
//
// File names are handed to FreeImage as UTF-8 (QFile::encodeName). All functions may be called
// from any thread.
namespace MFreeImage {

// Writes iPicture to CompletedFileName(iFileName) in the format of its extension, lowering the
// colour depth where the format needs it. HEIC/HEIF and AVIF are written by libheif, JPEG XL by
// libjxl and WebP by libwebp, at iQuality (1 to 100; 100 is lossless), alpha kept; every other
// format by FreeImage (JPEG at its default quality). iProfile, when not empty, is embedded as the
// file's ICC profile where the format carries one (see CarriesProfile); empty writes none (the
// values are sRGB). A profile libjxl refuses fails the JPEG XL save (NotEncoded), and so does an
// encoder the installed libheif lacks. Returns true when the file was written; false when the
// library could not encode the picture at any depth or the file could not be written whole. A
// file is replaced only once the new one is complete: on false an existing file of that name is
// left exactly as it was, and no temporary file stays behind. A symbolic link is written through
// (the file it points to is replaced, the link stays); a folder of that name is never touched.
// Raises 91 for a null picture, 481 when the picture's pixels cannot be copied, 5 for a format
// that is unknown or cannot write bitmaps. oWhy, when given, receives why the file was not
// written (None on true; NoFormat with error 5, NotEncoded with 91 and 481).
bool SavePictureFile(const QImage& iPicture, const QString& iFileName, SaveFailure* oWhy = nullptr,
                     const QByteArray& iProfile = {}, int iQuality = 90);

// True when the format a save to iFileName writes (after CompletedFileName) can embed an ICC
// profile: JPEG, PNG, TIFF, WebP, HEIC/HEIF, AVIF and JPEG XL.
bool CarriesProfile(const QString& iFileName);

// The name SavePictureFile writes for iFileName: the format follows the extension; when the
// extension is not one of the format's own (compared case-sensitively) the format's primary
// extension is appended: photo.JPG -> photo.JPG.jpg, a.AVIF -> a.AVIF.avif. Empty when the
// format is unknown or cannot write bitmaps.
QString CompletedFileName(const QString& iFileName);

// Every extension a picture file can be opened by, lower case, without dot, each once: those of
// every format the library reads, then heic, heif, avif and jxl. The one list the dialogs offer.
QStringList ReadableExtensions();

// ---- The FreeImage layer under the functions above and mdlPictureFile. Used by this module,
// ---- mdlPictureFile, the decode worker and their tests only. A "format" is a FreeImage
// ---- format identifier, -1 for unknown.

// Decodes iFileName in the calling process: the decode worker's side of
// mdlPictureFile::LoadPictureFile (nothing else in the program calls it, except mdlPictureFile
// where there is no worker). JPEG pixels come from libjpeg-turbo (as FreeImage's own reader
// would decode them), HEIF/AVIF from libheif, JPEG XL from libjxl, WebP from libwebp (an
// animation's first frame), every other format from
// FreeImage (FreeImage_Load is called nowhere else).
// The format follows the name's extension alone. Returns a standard bitmap (8 bits per channel at
// most, no more than kMaxPicturePixels) that the caller frees with FreeImage_Unload; raises 481
// when the file cannot be read.
// iUpright: a JPEG whose EXIF orientation (2 to 8) says the camera was turned or the picture
// mirrored comes turned and mirrored upright, its resolution following; an orientation tag that
// is damaged, of another type or count than one SHORT, or outside 1 to 8 leaves it as stored, and
// so does a picture too large to turn in the memory left. A HEIF file is turned by its irot/imir
// boxes and a JPEG XL file by its orientation. Without iUpright, and for other formats, the rows
// are as the file stores them.
// oColour, when given, receives what the file says about its colours (ColourDescription): an
// embedded profile, PNG's sRGB, gAMA and cHRM chunks, HEIF's nclx code points; never a CMYK
// profile, whose inks are brought to RGB here. Bytes and numbers only, nothing parsed.
FIBITMAP* LoadImageFile(const QString& iFileName, bool iUpright = false,
                        ColourDescription* oColour = nullptr);

// Decodes iFileName to a picture no larger than iMaxSide pixels on its longer side (0: full size,
// as LoadImageFile). A JPEG is decoded at 1/2, 1/4 or 1/8 of its size where that still covers
// iMaxSide (as FreeImage's size hint chooses); then any picture still larger is scaled down to
// ReducedSize. iUpright as LoadImageFile says. oOwnSize, when given, receives the file's own size
// in pixels (the full picture; upright when the picture is turned upright). Returns a standard
// bitmap that the caller frees; raises 481 as LoadImageFile does. oColour as LoadImageFile says.
// iRoughly: only the decoder's own reduction (a JPEG's DCT scale, a HEIF thumbnail, a JPEG XL
// early pass), no scaling after it: larger than iMaxSide where the decoder cannot reduce so far.
FIBITMAP* LoadReducedImageFile(const QString& iFileName, int iMaxSide, QSize* oOwnSize,
                               bool iUpright, ColourDescription* oColour = nullptr,
                               bool iRoughly = false);

// A JPEG decoded at full size straight into memory of the caller's: the decode worker's road for
// JPEGs, pixels exactly as LoadImageFile gives them. iTarget receives the picture's layout and
// returns memory for layout.height rows of layout.bytesPerLine bytes, top row first (nullptr:
// raises 481); it is called at most once. A photo to be turned upright (iUpright and an EXIF
// orientation of 2 to 8) passes through a bitmap for the turn; any other with no bitmap between.
// On true oLayout is that layout, oOwnSize (when given) the file's own size (upright when
// turned) and oColour (when given) as LoadImageFile says. False, nothing decoded and iTarget not
// called, for a file that takes LoadReducedImageFile's road (not a JPEG, a colour space the
// library reads another way, a header it cannot read, or too many pixels). Raises 481 when the
// decode fails.
bool LoadJpegInto(const QString& iFileName, bool iUpright, QSize* oOwnSize,
                  struct PictureLayout* oLayout,
                  const std::function<uchar*(const struct PictureLayout&)>& iTarget,
                  ColourDescription* oColour = nullptr);

// The same road for HEIF, AVIF and JPEG XL files at full size: libjxl writes its rows straight
// into iTarget's memory, libheif's own planes are copied there once. Turned by the file's own
// rotation when iUpright, as LoadImageFile does; format and pixels exactly LoadImageFile's.
// False, iTarget not called, for any other file name; raises 481 for a file that cannot be read
// whole.
bool LoadHeifJxlInto(const QString& iFileName, bool iUpright, QSize* oOwnSize,
                     struct PictureLayout* oLayout,
                     const std::function<uchar*(const struct PictureLayout&)>& iTarget,
                     ColourDescription* oColour = nullptr);

// The size, in pixels, of a picture of iSize pixels brought within iMaxSide on its longer side:
// the longer side becomes iMaxSide, the other keeps the aspect (rounded), each at least 1; iSize
// itself when it already fits or iMaxSide <= 0 (never larger).
QSize ReducedSize(QSize iSize, int iMaxSide);

// Encodes iBitmap and writes it, as SavePictureFile says. iFormat -1 takes the format from the
// name; the name is completed for the format as CompletedFileName says. The depth walks down
// (PreviousColorDepth) from the bitmap's own until the format accepts it, and on down while the
// writer refuses a depth it claimed to accept. Frees iBitmap and every bitmap it makes, on every
// path. Raises 5 as SavePictureFile says; oWhy as SavePictureFile says.
// iProfile, when not empty, is put on the bitmap encoded as its ICC profile.
bool SaveImageFile(FIBITMAP* iBitmap, const QString& iFileName, int iFormat = -1, int iFlags = 0,
                   SaveFailure* oWhy = nullptr, const QByteArray& iProfile = {});

// Converts iBitmap to iDepth bits per pixel (24, 16 = 565, 15 = 555, 8 = 256 colours by Wu
// quantisation, 4, 1 = threshold at 128). Returns the new bitmap, freeing iBitmap when
// iFreeSource; returns iBitmap itself when nothing was converted.
FIBITMAP* ConvertImageDepth(FIBITMAP* iBitmap, int iDepth, bool iFreeSource);

// The depth walk: 32 -> 24 -> 16 -> 15 -> 8 -> 4 -> 1 -> 0 (0 = nothing lower).
int PreviousColorDepth(int iDepth);

// True when the text after the last "." of iFileName is one of iFormat's extensions, compared
// case-sensitively (FreeImage lists them in lower case).
bool IsExtensionOfFormat(int iFormat, const QString& iFileName);

// The first extension of iFormat's list ("jpg" for JPEG); empty for an unknown format.
QString PrimaryExtension(int iFormat);

// The most pixels a picture read from a file may have (256 Mpixel). Larger ones are refused as
// invalid pictures, before any pixel memory is taken where the format lets the header be read
// alone.
inline constexpr qint64 kMaxPicturePixels = qint64(256) << 20;

// How a standard bitmap's rows are copied into a picture's.
enum class RowCopy {
    Plain,    // the same bytes, one memcpy per row
    Nibbles,  // 4 bits per pixel widened to one byte per pixel
    Opaque,   // 32 bits whose unused alpha byte (all zero) is set to 0xFF
};

// A bitmap seen as a picture: format, geometry in pixels, Qt's row length in bytes (whole 32-bit
// words), the colour table (full length for the depth, so every index names a colour; empty above
// 8 bits), and the resolution in dots per metre (0 when the file names none).
struct PictureLayout {
    QImage::Format format = QImage::Format_Invalid;
    int width = 0;
    int height = 0;
    qsizetype bytesPerLine = 0;
    QList<QRgb> colors;
    int dotsPerMeterX = 0;
    int dotsPerMeterY = 0;
    RowCopy copy = RowCopy::Plain;
};

// The layout of a standard bitmap (as LoadImageFile returns); format Format_Invalid for any other
// bitmap or one of more than kMaxPicturePixels.
PictureLayout LayoutOfBitmap(FIBITMAP* iBitmap);

// Copies picture rows [iFirst, iFirst + iCount) of iBitmap, counted from the top, into oRows, one
// row every iBytesPerLine bytes. Lets the decode worker build a picture in memory of its own.
void CopyPictureRows(FIBITMAP* iBitmap, const PictureLayout& iLayout, int iFirst, int iCount,
                     uchar* oRows, qsizetype iBytesPerLine);

// Copies a bitmap into a new picture of the matching format (see above), top row first. Frees
// iBitmap when iFree. Returns a null picture when the bitmap cannot be represented or the
// picture cannot be allocated.
QImage ImageToPicture(FIBITMAP* iBitmap, bool iFree);

// Copies a picture into a new bitmap of the matching depth (caller frees); nullptr for a null
// picture or when the bitmap cannot be allocated. Pictures in other formats are first converted
// to Format_ARGB32 (with alpha) or Format_BGR888.
FIBITMAP* PictureToImage(const QImage& iPicture);

}  // namespace MFreeImage
