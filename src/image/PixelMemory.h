#pragma once

#include <QImage>
#include <QtGlobal>
#include <chrono>
#include <functional>

// Memory for the pixel operations' result pictures. A large picture is mapped 2 MiB-aligned and
// advised to use huge pages, so filling it costs a few dozen page faults instead of thousands;
// a small one comes from the heap. The returned QImage owns the memory.
//
// Page faults still dominate a short operation on a fresh mapping, so a few recently freed large
// mappings are kept (at most kMaxCachedBuffers, kMaxCachedBytes in all) and handed out again for
// a picture that fits. One idle for kIdle goes back to the system: checked on every allocation
// and release, and by a background trimmer that sleeps while nothing is kept. Safe to use from
// any thread; a picture may be released on another thread than the one that made it.
namespace PixelMemory {

// Pictures of at least this many bytes get their own huge-page mapping.
constexpr qsizetype kLargeBytes = qsizetype(2) << 20;
constexpr int kMaxCachedBuffers = 4;
constexpr qsizetype kMaxCachedBytes = qsizetype(256) << 20;
constexpr std::chrono::milliseconds kIdle{3000};

// A picture of width x height pixels with rows of bytesPerLine bytes (a multiple of 4, at least
// what the format needs). The caller promises to write the first `written` bytes of every row
// (0..bytesPerLine); every byte after them is 0, so row padding is 0 without the caller touching
// it, and with written = 0 the whole picture is black. The first `written` bytes of a row hold
// anything until written (a recycled buffer keeps an old picture's bytes there). Null when the
// memory cannot be had or the sizes are not positive. The caller has checked that
// bytesPerLine * height fits its own size rules.
QImage NewImage(qint32 width, qint32 height, qsizetype bytesPerLine, QImage::Format format,
                qsizetype written = 0);

// What the cache holds now.
struct CacheState {
    int buffers = 0;
    qsizetype bytes = 0;
};
CacheState Cached();

// Returns the kept buffers that have been idle for kIdle to the system.
void TrimIdle();
// Returns every kept buffer to the system now (before measuring memory, and for tests).
void ReleaseCached();

// The clock idle time is measured on; nullptr restores the steady clock. Tests set their own so
// that nothing waits on wall-clock time.
using Clock = std::function<std::chrono::steady_clock::time_point()>;
void SetClock(Clock clock);

}  // namespace PixelMemory
