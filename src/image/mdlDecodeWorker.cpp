#include "image/mdlDecodeWorker.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX)

#include <FreeImage.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QSize>
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/NumberedError.h"
#include "image/MFreeImage.h"

namespace mdlDecodeWorker {

namespace {

// Rows go into the memfd in chunks of about this many bytes: the copy stays in the cache and the
// worker never maps the whole picture a second time (its address space is limited).
constexpr qsizetype kChunkBytes = qsizetype(4) << 20;

struct FdCloser {
    explicit FdCloser(int fd) : fd(fd) {}
    ~FdCloser() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    int fd;
};

bool WriteAll(int fd, const uchar* data, qsizetype size, qint64 offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, static_cast<size_t>(size), offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

bool SendReply(int socket, const Reply& reply, int memfd) {
    iovec iov{const_cast<Reply*>(&reply), sizeof reply};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (memfd >= 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &memfd, sizeof(int));
    }
    for (;;) {
        const ssize_t n = ::sendmsg(socket, &msg, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n == static_cast<ssize_t>(sizeof reply);
    }
}

struct BitmapDeleter {
    void operator()(FIBITMAP* b) const { FreeImage_Unload(b); }
};

// Decodes one file, no larger than maxSide pixels on its longer side when maxSide > 0 and upright
// when asked, into a sealed memfd. Returns the memfd (the caller sends and closes it) and fills
// oReply, or returns -1 for a file that is not a picture.
int Decode(const QString& fileName, int maxSide, bool upright, Reply& oReply) {
    QSize own;
    std::unique_ptr<FIBITMAP, BitmapDeleter> bitmap(
        MFreeImage::LoadReducedImageFile(fileName, qMax(0, maxSide), &own, upright));
    const MFreeImage::PictureLayout layout = MFreeImage::LayoutOfBitmap(bitmap.get());
    if (layout.format == QImage::Format_Invalid) {
        return -1;
    }
    const qint64 size = static_cast<qint64>(layout.bytesPerLine) * layout.height;
    FdCloser memfd(::memfd_create("lumora-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (memfd.fd < 0 || ::ftruncate(memfd.fd, size) != 0) {
        return -1;
    }
    const int rowsPerChunk =
        static_cast<int>(std::clamp<qint64>(kChunkBytes / layout.bytesPerLine, 1, layout.height));
    std::vector<uchar> chunk(static_cast<size_t>(layout.bytesPerLine) *
                             static_cast<size_t>(rowsPerChunk));
    for (int first = 0; first < layout.height; first += rowsPerChunk) {
        const int count = qMin(rowsPerChunk, layout.height - first);
        MFreeImage::CopyPictureRows(bitmap.get(), layout, first, count, chunk.data(),
                                    layout.bytesPerLine);
        if (!WriteAll(memfd.fd, chunk.data(), layout.bytesPerLine * count,
                      static_cast<qint64>(layout.bytesPerLine) * first)) {
            return -1;
        }
    }
    bitmap.reset();
    // Sealed, the parent knows the rows can neither change nor shrink under its mapping.
    if (::fcntl(memfd.fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) !=
        0) {
        return -1;
    }
    oReply.status = Status::Picture;
    oReply.format = static_cast<qint32>(layout.format);
    oReply.width = layout.width;
    oReply.height = layout.height;
    oReply.bytesPerLine = layout.bytesPerLine;
    oReply.dotsPerMeterX = layout.dotsPerMeterX;
    oReply.dotsPerMeterY = layout.dotsPerMeterY;
    oReply.ownWidth = qMax(own.width(), layout.width);
    oReply.ownHeight = qMax(own.height(), layout.height);
    oReply.colorCount = static_cast<qint32>(qMin<qsizetype>(layout.colors.size(), 256));
    for (qint32 i = 0; i < oReply.colorCount; ++i) {
        oReply.colors[i] = layout.colors[i];
    }
    const int fd = memfd.fd;
    memfd.fd = -1;
    return fd;
}

// True once the worker has used kRetireCpuSeconds of CPU time.
bool ShouldRetire() {
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) != 0) {
        return false;
    }
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec >= static_cast<long>(kRetireCpuSeconds);
}

}  // namespace

void LimitResources() {
    const rlimit space{kAddressSpaceLimit, kAddressSpaceLimit};
    ::setrlimit(RLIMIT_AS, &space);
    const rlimit core{0, 0};
    ::setrlimit(RLIMIT_CORE, &core);
    const rlimit cpu{kCpuLimitSeconds, kCpuLimitSeconds};
    ::setrlimit(RLIMIT_CPU, &cpu);
}

bool TieToParent() {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the line above: then this process has another parent.
    const QByteArray parent = qgetenv(kParentVariable);
    bool ok = false;
    const qint64 pid = parent.toLongLong(&ok);
    return !ok || pid == static_cast<qint64>(::getppid());
}

int Serve(int iSocket) {
    std::vector<char> buffer(sizeof(Request) + kMaxNameBytes + 1);
    for (;;) {
        const ssize_t n = ::recv(iSocket, buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return 0;  // the parent is gone
        }
        Request request;
        if (static_cast<size_t>(n) < sizeof request) {
            return 2;
        }
        std::memcpy(&request, buffer.data(), sizeof request);
        if (request.magic != kRequestMagic ||
            request.nameBytes != static_cast<size_t>(n) - sizeof request ||
            (request.flags & ~kUpright) != 0) {
            return 2;
        }
        const QString fileName = QFile::decodeName(
            QByteArray(buffer.data() + sizeof request, static_cast<int>(request.nameBytes)));

        ::alarm(kSelfAlarmSeconds);
        Reply reply;
        int memfd = -1;
        try {
            memfd = Decode(fileName, request.maxSide, (request.flags & kUpright) != 0, reply);
        } catch (...) {
            // NumberedError 481, or memory refused under the address-space limit.
            memfd = -1;
        }
        if (memfd < 0) {
            reply = Reply();
        }
        const bool last = ShouldRetire();
        if (last) {
            reply.flags |= kLastReply;
        }
        const bool sent = SendReply(iSocket, reply, memfd);
        if (memfd >= 0) {
            ::close(memfd);
        }
        ::alarm(0);
        if (!sent || last) {
            return 0;
        }
    }
}

}  // namespace mdlDecodeWorker

#else

namespace mdlDecodeWorker {
void LimitResources() {}
bool TieToParent() {
    return true;
}
int Serve(int) {
    return 2;
}
}  // namespace mdlDecodeWorker

#endif
