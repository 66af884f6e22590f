#pragma once

#include <QtGlobal>

#if defined(Q_OS_LINUX)

#include <errno.h>
#include <unistd.h>

// Whole reads and writes at an offset of a file descriptor (the memfds pictures travel in),
// through interruptions and short transfers. False when the descriptor ends or fails first.
namespace FdTransfer {

template <typename Call>
bool Whole(Call call, uchar* data, qsizetype size, qint64 offset) {
    while (size > 0) {
        const ssize_t n = call(data, static_cast<size_t>(size), static_cast<off_t>(offset));
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

inline bool WriteAt(int fd, const uchar* data, qsizetype size, qint64 offset) {
    return Whole([fd](uchar* d, size_t n, off_t at) { return ::pwrite(fd, d, n, at); },
                 const_cast<uchar*>(data), size, offset);
}

inline bool ReadAt(int fd, uchar* data, qsizetype size, qint64 offset) {
    return Whole([fd](uchar* d, size_t n, off_t at) { return ::pread(fd, d, n, at); }, data, size,
                 offset);
}

}  // namespace FdTransfer

#endif
