#include "decode/DecodeReply.h"

#include "decode/FdTransfer.h"
#include "image/MFreeImage.h"

#if defined(Q_OS_LINUX)

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace DecodeReply {

namespace {

using DecodeProtocol::Reply;

// A picture's rows mapped from a worker's memfd; unmapped when the last QImage sharing them goes.
struct MappedRows {
    void* address;
    size_t size;
};

void UnmapRows(void* info) {
    auto* rows = static_cast<MappedRows*>(info);
    ::munmap(rows->address, rows->size);
    delete rows;
}

void CloseAll(const std::vector<int>& fds) {
    for (const int fd : fds) {
        ::close(fd);
    }
}

bool IsPalette(qint32 format) {
    return format == QImage::Format_Mono || format == QImage::Format_Indexed8;
}

// Whether a picture reply's colour flags are ones a worker sends, with as many file descriptors
// as they name (the rows, then the screen's rows, then the profile).
bool ColourFdsFit(const Reply& reply, size_t fds) {
    using namespace DecodeProtocol;
    const quint32 flags = reply.flags;
    constexpr quint32 kKnown = kLastReply | kScreenRows | kProfile | kScreenColors | kGreyRamp |
                               kProfileRefused | kMarkColours;
    const bool screenRows = (flags & kScreenRows) != 0;
    const bool screenColors = (flags & kScreenColors) != 0;
    const bool profile = (flags & kProfile) != 0;
    if ((flags & ~kKnown) != 0 || (screenRows && screenColors) ||
        (screenRows && IsPalette(reply.format)) || (screenColors && !IsPalette(reply.format)) ||
        ((flags & kGreyRamp) != 0) != (screenRows || screenColors) ||
        profile != (reply.profileBytes > 0) || reply.profileBytes > kMaxProfileBytes ||
        ((flags & kMarkColours) != 0 && !profile) || reply.profileBytes < 0) {
        return false;
    }
    return fds == static_cast<size_t>(1 + (screenRows ? 1 : 0) + (profile ? 1 : 0));
}

// The profile's bytes from a sealed memfd of exactly that many; empty when it is anything else.
QByteArray ReadProfile(int memfd, qint64 bytes) {
    struct stat st {};
    const int seals = ::fcntl(memfd, F_GET_SEALS);
    const int needed = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;
    if (seals < 0 || (seals & needed) != needed || ::fstat(memfd, &st) != 0 ||
        !S_ISREG(st.st_mode) || st.st_size != bytes) {
        return QByteArray();
    }
    QByteArray profile(static_cast<qsizetype>(bytes), '\0');
    if (!FdTransfer::ReadAt(memfd, reinterpret_cast<uchar*>(profile.data()), bytes, 0)) {
        return QByteArray();
    }
    return profile;
}

// The colour part of a picture reply whose flags fit (ColourFdsFit), read from fds[1...], which
// it closes. False when something in it is not what a worker sends.
bool ReadColour(const Reply& reply, const std::vector<int>& fds, const QImage& picture,
                PictureColour& oColour) {
    using namespace DecodeProtocol;
    size_t next = 1;
    bool ok = true;
    if ((reply.flags & kScreenRows) != 0) {
        oColour.screen = PictureFromReply(reply, fds[next++]);
        ok = !oColour.screen.isNull();
    } else if ((reply.flags & kScreenColors) != 0 && !picture.isNull()) {
        QList<QRgb> table(std::begin(reply.screenColors),
                          std::begin(reply.screenColors) + reply.colorCount);
        table.resize(picture.colorCount(), qRgb(0, 0, 0));
        oColour.screen = picture;
        oColour.screen.setColorTable(table);
    }
    if ((reply.flags & kProfile) != 0) {
        const int fd = fds[next++];
        oColour.profile = ReadProfile(fd, reply.profileBytes);
        ::close(fd);
        ok = ok && !oColour.profile.isEmpty();
    }
    if ((reply.flags & kGreyRamp) != 0) {
        oColour.greyRamp = QList<QRgb>(std::begin(reply.greyRamp), std::end(reply.greyRamp));
    }
    if ((reply.flags & kMarkColours) != 0) {
        oColour.markColours =
            QList<QRgb>(std::begin(reply.markColours), std::end(reply.markColours));
    }
    oColour.refused = (reply.flags & kProfileRefused) != 0;
    return ok;
}

}  // namespace

DecodeOutcome ReadReply(int iSocket, QImage& oPicture, QSize* oOwnSize, bool* oLast,
                        PictureColour* oColour) {
    // One byte more than a reply, so a longer message shows as truncated.
    alignas(Reply) char buffer[sizeof(Reply) + 8];
    iovec iov{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n = -1;
    do {
        n = ::recvmsg(iSocket, &msg, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    std::vector<int> fds;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); n >= 0 && c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
            const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
                fds.push_back(fd);
            }
        }
    }
    if (n <= 0) {
        CloseAll(fds);
        return DecodeOutcome::Crashed;  // closed: the worker died
    }
    Reply reply;
    const bool whole =
        n == static_cast<ssize_t>(sizeof reply) && (msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) == 0;
    if (whole) {
        std::memcpy(&reply, buffer, sizeof reply);
    }
    if (whole && reply.magic == DecodeProtocol::kReplyMagic) {
        if (oLast != nullptr) {
            *oLast = (reply.flags & DecodeProtocol::kLastReply) != 0;
        }
        if (reply.status == DecodeProtocol::Status::Refused && fds.empty()) {
            return DecodeOutcome::Refused;
        }
        if (reply.status == DecodeProtocol::Status::Picture && ColourFdsFit(reply, fds.size())) {
            oPicture = PictureFromReply(reply, fds.front());
            PictureColour colour;
            const bool colourRead = ReadColour(reply, fds, oPicture, colour);
            if (oOwnSize != nullptr) {
                *oOwnSize = QSize(reply.ownWidth, reply.ownHeight);
            }
            if (oPicture.isNull() || !colourRead) {
                oPicture = QImage();
                return DecodeOutcome::Garbled;
            }
            if (oColour != nullptr) {
                *oColour = colour;
            }
            return DecodeOutcome::Loaded;
        }
    }
    CloseAll(fds);
    return DecodeOutcome::Garbled;
}

QImage PictureFromReply(const Reply& reply, int memfd) {
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{memfd};
    // The format is checked as the number it came as: only a known value becomes a QImage::Format.
    int depth = 0;
    bool colorsFit = false;
    switch (reply.format) {
        case QImage::Format_Mono:
            depth = 1;
            colorsFit = reply.colorCount == 2;
            break;
        case QImage::Format_Indexed8:
            // 16 colours come from a 4-bit file, whose pixels were widened to a byte each.
            depth = 8;
            colorsFit = reply.colorCount == 16 || reply.colorCount == 256;
            break;
        case QImage::Format_RGB16:
        case QImage::Format_RGB555:
            depth = 16;
            colorsFit = reply.colorCount == 0;
            break;
        case QImage::Format_BGR888:
            depth = 24;
            colorsFit = reply.colorCount == 0;
            break;
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
            depth = 32;
            colorsFit = reply.colorCount == 0;
            break;
        default:
            return QImage();
    }
    if (!colorsFit || reply.width <= 0 || reply.height <= 0 || reply.ownWidth < reply.width ||
        reply.ownHeight < reply.height ||
        static_cast<qint64>(reply.width) * reply.height > MFreeImage::kMaxPicturePixels) {
        return QImage();
    }
    const auto format = static_cast<QImage::Format>(reply.format);
    const qint64 bytesPerLine = (static_cast<qint64>(reply.width) * depth + 31) / 32 * 4;
    if (reply.bytesPerLine != bytesPerLine) {
        return QImage();
    }
    const qint64 size = bytesPerLine * reply.height;
    // Sealed, the rows can neither change nor shrink under the mapping (a shrunk file would turn
    // a read of the picture into SIGBUS). A pipe or a plain file has no seals and fails here.
    struct stat st {};
    const int seals = ::fcntl(memfd, F_GET_SEALS);
    const int needed = F_SEAL_SHRINK | F_SEAL_WRITE;
    if (seals < 0 || (seals & needed) != needed || ::fstat(memfd, &st) != 0 ||
        !S_ISREG(st.st_mode) || st.st_size < size) {
        return QImage();
    }
    void* address =
        ::mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_PRIVATE, memfd, 0);
    if (address == MAP_FAILED) {
        return QImage();
    }
#ifdef MADV_POPULATE_READ
    // The picture is about to be shown: its page tables filled in one call rather than a fault on
    // every page (the copy on write stays for the pages an edit writes). Older kernels refuse the
    // advice, and then the pages come by faults as before.
    ::madvise(address, static_cast<size_t>(size), MADV_POPULATE_READ);
#endif
    auto* rows = new MappedRows{address, static_cast<size_t>(size)};
    QImage picture(static_cast<uchar*>(address), reply.width, reply.height,
                   static_cast<qsizetype>(bytesPerLine), format, &UnmapRows, rows);
    if (picture.isNull()) {
        UnmapRows(rows);
        return QImage();
    }
    if (reply.colorCount > 0) {
        // The worker's table as sent, padded with black to the full table of the format, so that
        // every index a row can hold names a colour.
        QList<QRgb> table(std::begin(reply.colors), std::begin(reply.colors) + reply.colorCount);
        table.resize(format == QImage::Format_Indexed8 ? 256 : 2, qRgb(0, 0, 0));
        picture.setColorTable(table);
    }
    if (reply.dotsPerMeterX > 0 && reply.dotsPerMeterY > 0) {
        picture.setDotsPerMeterX(reply.dotsPerMeterX);
        picture.setDotsPerMeterY(reply.dotsPerMeterY);
    }
    return picture;
}

}  // namespace DecodeReply

#else

namespace DecodeReply {
DecodeOutcome ReadReply(int, QImage&, QSize*, bool*, PictureColour*) {
    return DecodeOutcome::Crashed;
}
QImage PictureFromReply(const DecodeProtocol::Reply&, int) {
    return QImage();
}
}  // namespace DecodeReply

#endif
