// What the files FreeImage reads say about their colours: the profile the library keeps with the
// bitmap, and PNG's own colour chunks, which it reads but does not keep (its iCCP profile among
// them: the library's PNG reader here keeps none).

#include <FreeImage.h>
#include <libdeflate.h>

#include <QFile>
#include <QtEndian>
#include <cstring>
#include <memory>

#include "image/ColourDescription.h"
#include "image/MFreeImage_Private.h"

namespace MFreeImage::Detail {

namespace {

const char kPngSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};

// Chunks are walked no further than this: the colour chunks come first, before any picture data.
constexpr int kMaxChunks = 4096;

// An inflated profile may be no larger: a small chunk cannot make the decoder take gigabytes.
constexpr size_t kMaxProfileBytes = size_t(16) << 20;

quint32 BigEndian32(const char* bytes) {
    return qFromBigEndian<quint32>(bytes);
}

// An iCCP chunk's profile: a name of 1 to 79 bytes, its end, method 0 (zlib), the zlib stream.
// Empty when any of it is wrong.
QByteArray InflateIccp(const QByteArray& chunk) {
    const qsizetype end = chunk.indexOf('\0');
    if (end < 1 || end > 79 || end + 2 > chunk.size() || chunk[end + 1] != 0) {
        return QByteArray();
    }
    const char* in = chunk.constData() + end + 2;
    const size_t inSize = static_cast<size_t>(chunk.size() - end - 2);
    std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    if (!inflater) {
        return QByteArray();
    }
    for (size_t room = qMax<size_t>(inSize * 4, 4096); room <= kMaxProfileBytes; room *= 4) {
        QByteArray out(static_cast<qsizetype>(room), Qt::Uninitialized);
        size_t made = 0;
        const libdeflate_result r =
            libdeflate_zlib_decompress(inflater.get(), in, inSize, out.data(), room, &made);
        if (r == LIBDEFLATE_SUCCESS) {
            out.truncate(static_cast<qsizetype>(made));
            return out;
        }
        if (r != LIBDEFLATE_INSUFFICIENT_SPACE) {
            break;
        }
    }
    return QByteArray();
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
        if (type == "iCCP" && length <= kMaxProfileBytes) {
            const QByteArray chunk = iFile.read(length);
            if (chunk.size() == static_cast<qsizetype>(length)) {
                oColour.icc = InflateIccp(chunk);
            }
        } else if (type == "sRGB" && length == 1) {
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
