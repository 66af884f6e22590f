#include "decode/mdlDecodeWorker.h"

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
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "base/NumberedError.h"
#include "decode/FdTransfer.h"
#include "decode/WorkerColour.h"
#include "image/ColourDescription.h"
#include "image/MFreeImage.h"

namespace mdlDecodeWorker {

using DecodeProtocol::kLastReply;
using DecodeProtocol::kMaxNameBytes;
using DecodeProtocol::kParentVariable;
using DecodeProtocol::kRequestMagic;
using DecodeProtocol::kRoughly;
using DecodeProtocol::kUpright;
using DecodeProtocol::Reply;
using DecodeProtocol::Request;
using DecodeProtocol::Status;

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

struct BitmapDeleter {
    void operator()(FIBITMAP* b) const { FreeImage_Unload(b); }
};

// The reply for a picture of iLayout whose file is iOwn pixels.
void FillReply(const MFreeImage::PictureLayout& iLayout, QSize iOwn, Reply& oReply) {
    oReply.status = Status::Picture;
    oReply.format = static_cast<qint32>(iLayout.format);
    oReply.width = iLayout.width;
    oReply.height = iLayout.height;
    oReply.bytesPerLine = iLayout.bytesPerLine;
    oReply.dotsPerMeterX = iLayout.dotsPerMeterX;
    oReply.dotsPerMeterY = iLayout.dotsPerMeterY;
    oReply.ownWidth = qMax(iOwn.width(), iLayout.width);
    oReply.ownHeight = qMax(iOwn.height(), iLayout.height);
    oReply.colorCount = static_cast<qint32>(qMin<qsizetype>(iLayout.colors.size(), 256));
    for (qint32 i = 0; i < oReply.colorCount; ++i) {
        oReply.colors[i] = iLayout.colors[i];
    }
}

// Seals a memfd the worker has finished writing: the parent knows the rows can neither change
// nor shrink under its mapping.
bool Seal(int memfd) {
    return ::fcntl(memfd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) ==
           0;
}

// A memfd of a picture's size mapped for the decoder to write the rows into. The mapping is gone
// before the memfd is sealed (a writable mapping would keep the seal from taking).
struct MappedPicture {
    FdCloser memfd{-1};
    void* rows = MAP_FAILED;
    size_t size = 0;

    MappedPicture() = default;
    MappedPicture(const MappedPicture&) = delete;
    MappedPicture& operator=(const MappedPicture&) = delete;
    ~MappedPicture() { Unmap(); }

    uchar* Map(const MFreeImage::PictureLayout& layout) {
        size = static_cast<size_t>(layout.bytesPerLine) * static_cast<size_t>(layout.height);
        memfd.fd = ::memfd_create("lumora-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (memfd.fd < 0 || ::ftruncate(memfd.fd, static_cast<off_t>(size)) != 0) {
            return nullptr;
        }
        rows = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, memfd.fd, 0);
        if (rows == MAP_FAILED) {
            return nullptr;
        }
        // Taking shared pages costs as much as decoding into them: the other core takes them,
        // top down, ahead of the decoder (which takes any it reaches first itself).
        populating = true;
        populate = std::thread([this] {
            constexpr size_t kStep = size_t(2) << 20;
            for (size_t at = 0; at < size && populating; at += kStep) {
                ::madvise(static_cast<uchar*>(rows) + at, std::min(kStep, size - at),
                          MADV_POPULATE_WRITE);
            }
        });
        return static_cast<uchar*>(rows);
    }
    void Unmap() {
        if (populate.joinable()) {
            populating = false;
            populate.join();
        }
        if (rows != MAP_FAILED) {
            ::munmap(rows, size);
            rows = MAP_FAILED;
        }
    }
    std::thread populate;
    std::atomic<bool> populating{false};
};

// A full-size JPEG, HEIF, AVIF or JPEG XL decoded straight into the memfd: -1 when the file takes
// the bitmap road (Decode below), else the memfd, oReply and oColour filled.
int DecodeDirect(const QString& fileName, bool upright, Reply& oReply, ColourDescription& oColour,
                 bool& oDirect) {
    MappedPicture picture;
    MFreeImage::PictureLayout layout;
    QSize own;
    const auto map = [&picture](const MFreeImage::PictureLayout& l) { return picture.Map(l); };
    oDirect = MFreeImage::LoadJpegInto(fileName, upright, &own, &layout, map, &oColour) ||
              MFreeImage::LoadHeifJxlInto(fileName, upright, &own, &layout, map, &oColour);
    if (!oDirect) {
        return -1;
    }
    picture.Unmap();
    if (!Seal(picture.memfd.fd)) {
        return -1;
    }
    FillReply(layout, own, oReply);
    const int fd = picture.memfd.fd;
    picture.memfd.fd = -1;
    return fd;
}

// Decodes one file, no larger than maxSide pixels on its longer side when maxSide > 0 (roughly: as
// far as the decoder reduces cheaply) and upright when asked, into a sealed memfd. Returns the
// memfd (the caller sends and closes it) and fills oReply and oColour (what the file says about its
// colours), or returns -1 for a file that is not a picture.
int Decode(const QString& fileName, int maxSide, bool upright, bool roughly, Reply& oReply,
           ColourDescription& oColour) {
    // Only a full-size picture tries the straight road: a reduced one nearly always needs
    // scaling.
    if (maxSide <= 0) {
        bool direct = false;
        const int fd = DecodeDirect(fileName, upright, oReply, oColour, direct);
        if (direct) {
            return fd;
        }
    }
    QSize own;
    std::unique_ptr<FIBITMAP, BitmapDeleter> bitmap(MFreeImage::LoadReducedImageFile(
        fileName, qMax(0, maxSide), &own, upright, &oColour, roughly));
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
        if (!FdTransfer::WriteAt(memfd.fd, chunk.data(), layout.bytesPerLine * count,
                                 static_cast<qint64>(layout.bytesPerLine) * first)) {
            return -1;
        }
    }
    bitmap.reset();
    if (!Seal(memfd.fd)) {
        return -1;
    }
    FillReply(layout, own, oReply);
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

bool SendReply(int iSocket, const Reply& iReply, int iMemfd) {
    return SendReply(iSocket, iReply, iMemfd >= 0 ? std::vector<int>{iMemfd} : std::vector<int>{});
}

bool SendReply(int iSocket, const Reply& iReply, const std::vector<int>& iFds) {
    iovec iov{const_cast<Reply*>(&iReply), sizeof iReply};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    constexpr size_t kMaxFds = 3;
    alignas(cmsghdr) char control[CMSG_SPACE(kMaxFds * sizeof(int))] = {};
    if (!iFds.empty()) {
        if (iFds.size() > kMaxFds) {
            return false;
        }
        const size_t bytes = iFds.size() * sizeof(int);
        msg.msg_control = control;
        msg.msg_controllen = CMSG_SPACE(bytes);
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(bytes);
        std::memcpy(CMSG_DATA(c), iFds.data(), bytes);
    }
    for (;;) {
        const ssize_t n = ::sendmsg(iSocket, &msg, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n == static_cast<ssize_t>(sizeof iReply);
    }
}

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
            (request.flags & ~(kUpright | kRoughly)) != 0) {
            return 2;
        }
        const QString fileName = QFile::decodeName(
            QByteArray(buffer.data() + sizeof request, static_cast<int>(request.nameBytes)));

        ::alarm(kSelfAlarmSeconds);
        Reply reply;
        int memfd = -1;
        WorkerColour::Extra colour;
        try {
            ColourDescription described;
            memfd = Decode(fileName, request.maxSide, (request.flags & kUpright) != 0,
                           (request.flags & kRoughly) != 0, reply, described);
            if (memfd >= 0 && !WorkerColour::Complete(described, memfd, reply, colour)) {
                ::close(memfd);
                memfd = -1;
            }
        } catch (...) {
            // NumberedError 481, or memory refused under the address-space limit.
            if (memfd >= 0) {
                ::close(memfd);
            }
            memfd = -1;
        }
        if (memfd < 0) {
            reply = Reply();
        }
        const bool last = ShouldRetire();
        if (last) {
            reply.flags |= kLastReply;
        }
        std::vector<int> fds;
        if (memfd >= 0) {
            fds.push_back(memfd);
            for (const int fd : {colour.screenRows, colour.profile}) {
                if (fd >= 0) {
                    fds.push_back(fd);
                }
            }
        }
        const bool sent = SendReply(iSocket, reply, fds);
        for (const int fd : {memfd, colour.screenRows, colour.profile}) {
            if (fd >= 0) {
                ::close(fd);
            }
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
bool SendReply(int, const DecodeProtocol::Reply&, int) {
    return false;
}
bool SendReply(int, const DecodeProtocol::Reply&, const std::vector<int>&) {
    return false;
}
}  // namespace mdlDecodeWorker

#endif
