// Mutants for the colour work: damage inside the ICC profile a picture file carries (which the
// decode worker opens with lcms2), WebP files, and files Lumora's own writers made. The seeds are
// written by the test itself through MFreeImage::SavePictureFile with a profile built by lcms2.

#pragma once

#include <QTemporaryDir>

#include "fuzz/DecodeMutants.h"
#include "image/MFreeImage.h"
#include "support/ColourSupport.h"

namespace ColourMutants {

using DecodeMutants::Damage;
using DecodeMutants::Original;
using DecodeMutants::Put32;
using DecodeMutants::Random;

// Where an ICC profile lies in a file: the offset of its first byte (its header's "acsp"
// signature is at 36) and its length as its header says; length 0 when there is none.
struct Span {
    int at = 0;
    int length = 0;
};

inline Span FindProfile(const QByteArray& b) {
    const int signature = static_cast<int>(b.indexOf("acsp"));
    if (signature < 36) {
        return {};
    }
    const int at = signature - 36;
    const int length = static_cast<int>(DecodeMutants::GetBig(b, at, 4));
    return {at, qBound(0, length, static_cast<int>(b.size()) - at)};
}

// Damage that keeps the profile's length (so no container around it needs mending): its header
// (size, class, colour space, version), its tag table (count, offsets and sizes that point
// outside or overlap), or its tags' data.
// The header's size, preferred module, class, colour space and connection space; tag signatures
// (rTRC, wtpt, A2B0, chad, vcgt).
constexpr int kHeaderFields[] = {0, 4, 12, 16, 20};
constexpr quint32 kTagTypes[] = {0x72545243u, 0x77747074u, 0x41324230u, 0x63686164u, 0x76636774u};

inline void DamageProfile(QByteArray& b, Span p, Random& r) {
    if (p.length < 132) {
        Damage(b, r, r.Below(2), p.at, qMax(1, p.length));
        return;
    }
    const int tags = static_cast<int>(DecodeMutants::GetBig(b, p.at + 128, 4));
    const quint32 wild[] = {
        0u, 1u, 0xFFFFFFFFu, 0x7FFFFFFFu, quint32(p.length), quint32(p.length) + 1, 0x10000u};
    switch (r.Below(5)) {
        case 0:  // the header's own fields
            Put32(b, p.at + r.Pick(kHeaderFields), r.Pick(wild), true);
            break;
        case 1:  // the tag count
            Put32(b, p.at + 128, r.Pick(wild), true);
            break;
        case 2: {  // one tag's offset or size
            const int tag = r.Below(qBound(1, tags, 64));
            Put32(b, p.at + 132 + 12 * tag + 4 + 4 * r.Below(2), r.Pick(wild), true);
            break;
        }
        case 3:  // bytes anywhere in the tag data
            Damage(b, r, r.Below(2), p.at + 132, p.length - 132);
            break;
        default:  // one tag's signature made another's (a curve read as a matrix...)
            Put32(b, p.at + 132 + 12 * r.Below(qBound(1, tags, 64)), r.Pick(kTagTypes), true);
            break;
    }
}

// A file whose profile is stored as it stands (JPEG APP2, HEIF colr, WebP ICCP, TIFF): the
// profile damaged in place; one mutant in eight damaged anywhere instead.
inline QByteArray MutateRawProfile(const QByteArray& original, const QString& name, int index) {
    Random r(DecodeMutants::Seed(name, index));
    QByteArray b = original;
    const Span p = FindProfile(b);
    if (p.length == 0 || index % 8 == 7) {
        return DecodeMutants::Mutate(original, name, index);
    }
    DamageProfile(b, p, r);
    return b;
}

// A PNG, whose iCCP chunk holds its profile deflated: inflated, damaged, deflated again, and the
// chunk's length and checksum made right so that the reader believes it.
inline QByteArray MutatePngProfile(const QByteArray& original, const QString& name, int index) {
    Random r(DecodeMutants::Seed(name, index));
    const int chunk = static_cast<int>(original.indexOf("iCCP")) - 4;
    if (chunk < 8 || index % 8 == 7) {
        return DecodeMutants::Mutate(original, name, index);
    }
    const int length = static_cast<int>(DecodeMutants::GetBig(original, chunk, 4));
    const int nameEnd = static_cast<int>(original.indexOf('\0', chunk + 8));
    if (nameEnd < 0 || nameEnd + 2 > chunk + 8 + length) {
        return DecodeMutants::Mutate(original, name, index);
    }
    const QByteArray deflated = original.mid(nameEnd + 2, chunk + 8 + length - (nameEnd + 2));
    // qUncompress wants the inflated size first: a guess, which it outgrows when it must.
    QByteArray profile = qUncompress(QByteArray("\x00\x01\x00\x00", 4) + deflated);
    if (profile.isEmpty()) {
        return DecodeMutants::Mutate(original, name, index);
    }
    DamageProfile(profile, Span{0, static_cast<int>(profile.size())}, r);
    const QByteArray again = qCompress(profile).mid(4);
    QByteArray data = original.mid(chunk + 8, nameEnd + 2 - (chunk + 8)) + again;
    QByteArray rebuilt(4, '\0');
    Put32(rebuilt, 0, static_cast<quint32>(data.size()), true);
    QByteArray typed = QByteArray("iCCP") + data;
    QByteArray crc(4, '\0');
    Put32(crc, 0, DecodeMutants::Crc32(typed.constData(), static_cast<int>(typed.size())), true);
    return original.left(chunk) + rebuilt + typed + crc + original.mid(chunk + 12 + length);
}

// A small photo-like picture (a gradient with an edge; with alpha when asked) that the seeds are
// written from.
inline QImage SeedPicture(bool alpha) {
    QImage picture(48, 32, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            picture.setPixel(
                x, y, qRgba(x * 5, 40 + y * 6, x < 24 ? 200 : 30, alpha ? 100 + x * 3 : 255));
        }
    }
    return picture;
}

// The files Lumora's own writers make with extension, each named by how it was written: with
// and without the test's Adobe RGB profile, at quality 90 and 100 (lossless), opaque and not.
inline std::vector<Original> Written(const char* extension, bool withProfile) {
    static QTemporaryDir dir;
    std::vector<Original> files;
    for (const bool alpha : {false, true}) {
        for (const int quality : {90, 100}) {
            const QString name = QStringLiteral("%1%2-q%3.%4")
                                     .arg(withProfile ? "adobe" : "plain")
                                     .arg(alpha ? "-alpha" : "")
                                     .arg(quality)
                                     .arg(QLatin1String(extension));
            const QString path = dir.filePath(name);
            const QByteArray profile = withProfile ? ColourSupport::AdobeRgb() : QByteArray();
            if (MFreeImage::SavePictureFile(SeedPicture(alpha), path, nullptr, profile, quality)) {
                QFile f(path);
                if (f.open(QIODevice::ReadOnly)) {
                    files.push_back({name, f.readAll()});
                }
            }
        }
    }
    return files;
}

inline std::vector<Original> JpegWithProfile() {
    return Written("jpg", true);
}
inline std::vector<Original> PngWithProfile() {
    return Written("png", true);
}
inline std::vector<Original> HeifWithProfile() {
    return Written("heic", true);
}
inline std::vector<Original> JxlWithProfile() {
    return Written("jxl", true);
}
inline std::vector<Original> WebpFiles() {
    std::vector<Original> files = Written("webp", true);
    for (Original& o : Written("webp", false)) {
        files.push_back(std::move(o));
    }
    return files;
}
inline std::vector<Original> OwnHeic() {
    return Written("heic", false);
}
inline std::vector<Original> OwnAvif() {
    return Written("avif", false);
}
inline std::vector<Original> OwnJxl() {
    return Written("jxl", false);
}

// A WebP: half the mutants damage its profile where it has one, half the file anywhere.
inline QByteArray MutateWebp(const QByteArray& original, const QString& name, int index) {
    return index % 2 == 0 ? MutateRawProfile(original, name, index)
                          : DecodeMutants::Mutate(original, name, index);
}

// Every format the long sweep knows: the decoders' own, then the colour work's.
inline const std::vector<DecodeMutants::Format>& AllFormats() {
    static const std::vector<DecodeMutants::Format> formats = [] {
        std::vector<DecodeMutants::Format> all = DecodeMutants::Formats();
        const DecodeMutants::Format colour[] = {
            {"icc-jpeg", {"jpg"}, &MutateRawProfile, &JpegWithProfile},
            {"icc-png", {"png"}, &MutatePngProfile, &PngWithProfile},
            {"icc-heif", {"heic"}, &MutateRawProfile, &HeifWithProfile},
            {"icc-jxl", {"jxl"}, &DecodeMutants::MutateJxl, &JxlWithProfile},
            {"webp", {"webp"}, &MutateWebp, &WebpFiles},
            {"own-heic", {"heic"}, &DecodeMutants::MutateBoxes, &OwnHeic},
            {"own-avif", {"avif"}, &DecodeMutants::MutateBoxes, &OwnAvif},
            {"own-jxl", {"jxl"}, &DecodeMutants::MutateJxl, &OwnJxl},
        };
        all.insert(all.end(), std::begin(colour), std::end(colour));
        return all;
    }();
    return formats;
}

inline QString AllFormatNames() {
    QStringList names;
    for (const DecodeMutants::Format& f : AllFormats()) {
        names << QLatin1String(f.name);
    }
    return names.join(QLatin1Char(','));
}

}  // namespace ColourMutants
