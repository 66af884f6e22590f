#pragma once

#include <FreeImage.h>

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

struct ColourDescription;

// The formats written by their own libraries rather than FreeImage (HEIF and AVIF by libheif,
// JPEG XL by libjxl, WebP by libwebp), and WebP's reader. What the MFreeImage sources share about
// them; nothing else includes this.
namespace MFreeImage::Detail {

enum class OwnFormat { None, Heic, Avif, Jxl, Webp };

// The format a save to fileName writes when it is one of these: the text after the last '.',
// in any letter case (heic and heif are one format).
OwnFormat OwnFormatOfName(const QString& fileName);

// The name a save writes: as given when its extension is one of the format's own, exactly (lower
// case), else with the format's primary extension appended ("a.AVIF" -> "a.AVIF.avif"), the rule
// FreeImage's formats follow.
QString CompletedForOwn(OwnFormat format, const QString& fileName);

// The picture as the bytes of a file of the format; empty when the library refuses it (its
// encoder missing, a size it cannot hold, a profile it cannot carry, memory short). quality 1 to
// 100, 100 lossless. profile: ICC bytes to embed, none when empty. Alpha is kept. Never throws.
QByteArray EncodeOwnFormat(OwnFormat format, const QImage& picture, const QByteArray& profile,
                           int quality);

// The same for one format each (MFreeImage_HeifJxlWrite.cpp and MFreeImage_Webp.cpp). rgba holds
// Format_RGBA8888 (with alpha) or Format_RGB888 rows.
QByteArray EncodeHeif(const QImage& rgba, bool avif, const QByteArray& profile, int quality);
QByteArray EncodeJxl(const QImage& rgba, const QByteArray& profile, int quality);
QByteArray EncodeWebp(const QImage& rgba, const QByteArray& profile, int quality);

// Test hook: when not 0, HEIC and AVIF saves ask libheif for an encoder of this
// heif_compression_format instead of their own, to reach the path of an encoder the library
// lacks. Not for the program.
void SetHeifCompressionForTesting(int compression);

// True when the name's extension, in any letter case, is "webp": such files are read by libwebp.
bool IsWebpName(const QString& fileName);

// Decodes a WebP file (a still picture, or an animation's first frame as shown) into a new
// 24-bit, or 32-bit with alpha, standard bitmap (caller frees), its size checked against
// kMaxPicturePixels before any pixel is decoded. maxSide > 0 decodes a still picture scaled to
// ReducedSize(own size, maxSide). oOwnSize (when given) receives the full size; oColour (when
// given) its ICC profile. Raises 481 for data that cannot be read whole.
FIBITMAP* LoadWebp(const QByteArray& data, int maxSide, QSize* oOwnSize,
                   ColourDescription* oColour);
// The same for a regular file's contents.
FIBITMAP* LoadWebpFile(const QString& fileName, int maxSide, QSize* oOwnSize,
                       ColourDescription* oColour);

}  // namespace MFreeImage::Detail
