// What the files FreeImage reads say about their colours: the profile the library keeps with the
// bitmap, and PNG's own colour chunks, which it reads but does not keep.

#include <FreeImage.h>

#include <QFile>
#include <QtEndian>
#include <cstring>

#include "image/ColourDescription.h"
#include "image/MFreeImage_Private.h"

namespace MFreeImage::Detail {

namespace {

const char kPngSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};

// Chunks are walked no further than this: the colour chunks come first, before any picture data.
constexpr int kMaxChunks = 4096;

quint32 BigEndian32(const char* bytes) {
    return qFromBigEndian<quint32>(bytes);
}

}  // namespace

void ReadPngColourChunks(QIODevice& iFile, ColourDescription& oColour) {
    char head[8];
    if (iFile.read(head, sizeof head) != sizeof head ||
        std::memcmp(head, kPngSignature, sizeof head) != 0) {
        return;
    }
    for (int i = 0; i < kMaxChunks; ++i) {
        char chunk[8];
        if (iFile.read(chunk, sizeof chunk) != sizeof chunk) {
            return;
        }
        const quint32 length = BigEndian32(chunk);
        const QByteArray type(chunk + 4, 4);
        if (length > 0x7FFFFFFFu || type == "IDAT" || type == "IEND") {
            return;
        }
        const qint64 next = iFile.pos() + length + 4;  // past the data and the CRC
        if (type == "sRGB" && length == 1) {
            oColour.srgbChunk = true;
        } else if (type == "gAMA" && length == 4) {
            char data[4];
            if (iFile.read(data, 4) == 4) {
                oColour.gamma = BigEndian32(data);
            }
        } else if (type == "cHRM" && length == 32) {
            char data[32];
            if (iFile.read(data, 32) == 32) {
                for (int c = 0; c < 8; ++c) {
                    oColour.chromaticities[c] = BigEndian32(data + 4 * c);
                }
                oColour.hasChromaticities = true;
            }
        }
        if (!iFile.seek(next)) {
            return;
        }
    }
}

void DescribeLoaded(const QString& fileName, FREE_IMAGE_FORMAT format, FIBITMAP* bitmap,
                    ColourDescription& oColour) {
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(bitmap);
    // A CMYK profile no longer describes the RGB the library makes of the inks.
    if (profile != nullptr && profile->data != nullptr && profile->size > 0 &&
        (profile->flags & FIICC_COLOR_IS_CMYK) == 0) {
        oColour.icc = QByteArray(static_cast<const char*>(profile->data),
                                 static_cast<qsizetype>(profile->size));
    }
    if (format == FIF_PNG) {
        QFile file(fileName);
        if (file.open(QIODevice::ReadOnly)) {
            ReadPngColourChunks(file, oColour);
        }
    }
}

}  // namespace MFreeImage::Detail
