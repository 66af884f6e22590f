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
    const quint32 wild[] = {0u, 1u, 0xFFFFFFFFu, 0x7FFFFFFFu, quint32(p.length),
                            quint32(p.length) + 1, 0x10000u};
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

}  // namespace ColourMutants
