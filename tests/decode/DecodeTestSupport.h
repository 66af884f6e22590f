#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <thread>

#include "decode/cDecodePool.h"

// What the decoding tests share: a file that hangs its worker, and the state of worker processes.
namespace DecodeTestSupport {

// A file in dir on which the XBM reader of FreeImage 3.18 loops for ever: it ends inside its data.
inline QString HangingFile(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("cut.xbm"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        f.write("#define x_width 16\n#define x_height 16\nstatic char x_bits[] = {\n0x00, 0x01,");
    }
    return path;
}

// The process id of the worker of pool decoding ticket, once that worker has file open (so that it
// has the request, not only a slot that will send it); -1 when it never does.
inline qint64 WorkerWithTheFile(const cDecodePool& pool, qint64 ticket, const QString& file) {
    for (int i = 0; i < 1000000; ++i) {
        const qint64 pid = pool.WorkerOf(ticket);
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System)) {
            if (pid > 0 && fd.symLinkTarget() == file) {
                return pid;
            }
        }
        std::this_thread::yield();
    }
    return -1;
}

enum class Ending { Running, Zombie, Gone };

// How pid has ended, once it has: a zombie (ended, waiting to be reaped) or gone altogether.
// Waits on the process's state; the bound (about 20 s) only keeps a broken test from hanging.
inline Ending WaitForEnd(qint64 pid) {
    for (int i = 0; i < 20000; ++i) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            return Ending::Gone;
        }
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        if (close >= 0 && line.mid(close + 2, 1) == "Z") {
            return Ending::Zombie;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return Ending::Running;
}

// True once pid is gone altogether, reaped by its parent; never reaps it itself (false after about
// 20 s, which only keeps a broken test from hanging).
inline bool BecomesGone(qint64 pid) {
    for (int i = 0; i < 20000 && QFile::exists(QStringLiteral("/proc/%1").arg(pid)); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

// True once pid has ended (a zombie, or gone).
inline bool Ends(qint64 pid) {
    return WaitForEnd(pid) != Ending::Running;
}

}  // namespace DecodeTestSupport
