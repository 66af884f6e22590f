#include "decode/WorkerColour.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX)

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "decode/FdTransfer.h"
#include "image/ColourProfile.h"
#include "marks/cMark.h"

namespace WorkerColour {

using DecodeProtocol::Reply;

namespace {

// Rows go through in chunks of about this many bytes each way: the worker's address space is
// limited, and a picture and its screen copy together may not fit in it.
constexpr qsizetype kChunkBytes = qsizetype(2) << 20;

int NewMemfd(qint64 size) {
    const int fd = ::memfd_create("lumora-colour", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd >= 0 && ::ftruncate(fd, size) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool Seal(int fd) {
    return ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0;
}

// The rows of iFrom converted into iTo, chunk by chunk, the chunks shared between two threads.
bool ConvertRows(const cColourTransform& transform, const Reply& reply, int iFrom, int iTo) {
    const int bytesPerPixel = reply.format == QImage::Format_BGR888 ? 3 : 4;
    const qint64 line = reply.bytesPerLine;
    const int rowsPerChunk =
        static_cast<int>(std::clamp<qint64>(kChunkBytes / line, 1, reply.height));
    std::atomic<int> nextRow{0};
    std::atomic<bool> failed{false};
    const auto work = [&] {
        std::vector<uchar> chunk(static_cast<size_t>(line) * static_cast<size_t>(rowsPerChunk));
        for (;;) {
            const int first = nextRow.fetch_add(rowsPerChunk);
            if (first >= reply.height || failed) {
                return;
            }
            const int count = std::min(rowsPerChunk, reply.height - first);
            const qint64 offset = line * first;
            if (!FdTransfer::ReadAt(iFrom, chunk.data(), line * count, offset)) {
                failed = true;
                return;
            }
            transform.Rows(chunk.data(), line, chunk.data(), line, reply.width, count,
                           bytesPerPixel);
            if (!FdTransfer::WriteAt(iTo, chunk.data(), line * count, offset)) {
                failed = true;
                return;
            }
        }
    };
    if (qint64(reply.width) * reply.height >= (qint64(1) << 20)) {
        std::thread other(work);
        work();
        other.join();
    } else {
        work();
    }
    return !failed;
}

}  // namespace

QByteArray ScreenProfile() {
    static const QByteArray profile =
        QByteArray::fromBase64(qgetenv(DecodeProtocol::kScreenProfileVariable));
    return profile;
}

bool Complete(const ColourDescription& iDescription, int iRowsMemfd, Reply& ioReply,
              Extra& oExtra) {
    using namespace DecodeProtocol;
    QByteArray profile = ColourProfile::FromDescription(iDescription);
    if (profile.size() > kMaxProfileBytes) {
        ioReply.flags |= kProfileRefused;
        profile.clear();
    }
    if (!profile.isEmpty()) {
        const int profileFd = NewMemfd(profile.size());
        if (profileFd < 0) {
            return false;
        }
        oExtra.profile = profileFd;
        if (!FdTransfer::WriteAt(profileFd, reinterpret_cast<const uchar*>(profile.constData()),
                                 profile.size(), 0) ||
            !Seal(profileFd)) {
            return false;
        }
        ioReply.flags |= kProfile;
        ioReply.profileBytes = profile.size();
    }
    auto transform = cColourTransform::Between(profile, ScreenProfile());
    if (transform->kind() == cColourTransform::Kind::Refused && !profile.isEmpty()) {
        // Shown as sRGB would be; the profile still goes back, for saving.
        ioReply.flags |= kProfileRefused;
        transform = cColourTransform::Between(QByteArray(), ScreenProfile());
    } else if (!profile.isEmpty()) {
        // Marks are chosen in sRGB: drawn into these values, they take the profile's numbers.
        const auto toValues = cColourTransform::Between(QByteArray(), profile);
        if (toValues->Converts()) {
            QList<QRgb> colours;
            for (const QColor& c : MarkColours()) {
                colours << c.rgb();
            }
            colours = toValues->Colours(colours);
            std::copy(colours.begin(), colours.end(), std::begin(ioReply.markColours));
            ioReply.flags |= kMarkColours;
        }
    }
    if (!transform->Converts()) {
        return true;
    }
    const QList<QRgb> ramp = transform->GreyRamp();
    switch (ioReply.format) {
        case QImage::Format_Mono:
        case QImage::Format_Indexed8: {
            const QList<QRgb> colours = transform->Colours(QList<QRgb>(
                std::begin(ioReply.colors), std::begin(ioReply.colors) + ioReply.colorCount));
            std::copy(colours.begin(), colours.end(), std::begin(ioReply.screenColors));
            ioReply.flags |= kScreenColors;
            break;
        }
        case QImage::Format_BGR888:
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32: {
            const qint64 size = ioReply.bytesPerLine * ioReply.height;
            oExtra.screenRows = NewMemfd(size);
            if (oExtra.screenRows < 0 ||
                !ConvertRows(*transform, ioReply, iRowsMemfd, oExtra.screenRows) ||
                !Seal(oExtra.screenRows)) {
                return false;
            }
            ioReply.flags |= kScreenRows;
            break;
        }
        default:
            return true;  // 16-bit pictures come from formats that carry no profile
    }
    std::copy(ramp.begin(), ramp.end(), std::begin(ioReply.greyRamp));
    ioReply.flags |= kGreyRamp;
    return true;
}

}  // namespace WorkerColour

#else

namespace WorkerColour {
QByteArray ScreenProfile() {
    return QByteArray();
}
bool Complete(const ColourDescription&, int, DecodeProtocol::Reply&, Extra&) {
    return true;
}
}  // namespace WorkerColour

#endif
