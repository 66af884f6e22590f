#include "image/PixelMemory.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#define LUMORA_HUGE_PAGES 1
#endif

namespace PixelMemory {
namespace {

using TimePoint = std::chrono::steady_clock::time_point;

// Zeroes every byte of each row after its first `written` bytes.
void ClearAfterWritten(uchar* data, qint32 height, qsizetype bytesPerLine, qsizetype written) {
    if (written <= 0) {
        std::memset(data, 0, size_t(bytesPerLine) * size_t(height));
        return;
    }
    const qsizetype rest = bytesPerLine - written;
    if (rest <= 0) {
        return;
    }
    for (qint32 y = 0; y < height; ++y) {
        std::memset(data + y * bytesPerLine + written, 0, size_t(rest));
    }
}

#if defined(LUMORA_HUGE_PAGES)
constexpr size_t kHugePage = size_t(2) << 20;

struct Mapping {
    void* start;
    size_t length;
};

struct Kept {
    Mapping mapping;
    TimePoint freedAt;
};

void Unmap(const std::vector<Mapping>& mappings) {
    for (const Mapping& m : mappings) {
        munmap(m.start, m.length);
    }
}

// The kept mappings. Unmapping happens outside the lock: a large munmap takes a while, and a
// release on another thread need not wait for it.
class Cache {
public:
    // A kept mapping of `length` bytes (a multiple of kHugePage), or none. The best fit is taken;
    // a longer one gives its tail back so the picture holds no more than it needs.
    bool Take(size_t length, Mapping* out) {
        std::vector<Mapping> gone;
        bool found = false;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            TrimLocked(Now(), &gone);
            auto best = mKept.end();
            for (auto it = mKept.begin(); it != mKept.end(); ++it) {
                if (it->mapping.length >= length &&
                    (best == mKept.end() || it->mapping.length < best->mapping.length)) {
                    best = it;
                }
            }
            if (best != mKept.end()) {
                *out = best->mapping;
                mBytes -= best->mapping.length;
                mKept.erase(best);
                found = true;
            }
        }
        Unmap(gone);
        if (found && out->length > length) {
            munmap(static_cast<uchar*>(out->start) + length, out->length - length);
            out->length = length;
        }
        return found;
    }

    // Keeps a mapping the last picture on it has let go of; the oldest kept ones make room.
    void Give(const Mapping& m) {
        if (m.length > size_t(kMaxCachedBytes)) {
            munmap(m.start, m.length);
            return;
        }
        std::vector<Mapping> gone;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            const TimePoint now = Now();
            TrimLocked(now, &gone);
            while (!mKept.empty() && (int(mKept.size()) >= kMaxCachedBuffers ||
                                      mBytes + m.length > size_t(kMaxCachedBytes))) {
                gone.push_back(mKept.front().mapping);
                mBytes -= mKept.front().mapping.length;
                mKept.erase(mKept.begin());
            }
            mKept.push_back(Kept{m, now});
            mBytes += m.length;
            StartTrimmerLocked();
        }
        mWake.notify_one();
        Unmap(gone);
    }

    void Trim(bool all) {
        std::vector<Mapping> gone;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (all) {
                for (const Kept& k : mKept) {
                    gone.push_back(k.mapping);
                }
                mKept.clear();
                mBytes = 0;
            } else {
                TrimLocked(Now(), &gone);
            }
        }
        Unmap(gone);
    }

    CacheState State() {
        std::lock_guard<std::mutex> lock(mMutex);
        return CacheState{int(mKept.size()), qsizetype(mBytes)};
    }

    void SetClock(Clock clock) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mClock = std::move(clock);
        }
        mWake.notify_one();
    }

private:
    TimePoint Now() const { return mClock ? mClock() : std::chrono::steady_clock::now(); }

    // Moves the mappings idle for kIdle into `gone` (kept oldest first).
    void TrimLocked(TimePoint now, std::vector<Mapping>* gone) {
        while (!mKept.empty() && now - mKept.front().freedAt >= kIdle) {
            gone->push_back(mKept.front().mapping);
            mBytes -= mKept.front().mapping.length;
            mKept.erase(mKept.begin());
        }
    }

    // The trimmer sleeps on the condition while nothing is kept, and otherwise until the oldest
    // kept mapping has been idle long enough. It lives as long as the process (the cache is never
    // destroyed, so pictures released during exit still find it).
    void StartTrimmerLocked() {
        if (mTrimmerStarted) {
            return;
        }
        mTrimmerStarted = true;
        try {
            std::thread([this] { RunTrimmer(); }).detach();
        } catch (const std::system_error&) {
            mTrimmerStarted = false;  // no thread to be had: allocations and releases still trim
        }
    }

    void RunTrimmer() {
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;) {
            if (mKept.empty()) {
                mWake.wait(lock);
                continue;
            }
            const auto left = mKept.front().freedAt + kIdle - Now();
            if (left > std::chrono::steady_clock::duration::zero()) {
                mWake.wait_for(lock, left);
                continue;
            }
            std::vector<Mapping> gone;
            TrimLocked(Now(), &gone);
            lock.unlock();
            Unmap(gone);
            lock.lock();
        }
    }

    std::mutex mMutex;
    std::condition_variable mWake;
    std::vector<Kept> mKept;  // oldest first
    size_t mBytes = 0;
    Clock mClock;
    bool mTrimmerStarted = false;
};

Cache& TheCache() {
    static Cache* cache = new Cache;  // never destroyed: see StartTrimmerLocked
    return *cache;
}

void ReleaseMapping(void* info) {
    auto* m = static_cast<Mapping*>(info);
    TheCache().Give(*m);
    delete m;
}

// A fresh anonymous mapping (zero-filled by the kernel) of `length` bytes (a multiple of
// kHugePage), starting on a 2 MiB boundary so the kernel can back it with huge pages from the
// first touch.
bool MapFresh(size_t length, Mapping* out) {
    const size_t reserve = length + kHugePage;
    void* raw = mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return false;
    }
    const auto base = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (base + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    // Give back the unaligned head and the unused tail.
    if (aligned > base) {
        munmap(raw, aligned - base);
    }
    const size_t tail = reserve - (aligned - base) - length;
    if (tail > 0) {
        munmap(reinterpret_cast<void*>(aligned + length), tail);
    }
    auto* start = reinterpret_cast<void*>(aligned);
    madvise(start, length, MADV_HUGEPAGE);  // advice only: a refusal costs speed, not results
    *out = Mapping{start, length};
    return true;
}

// A large picture's memory, recycled when one fits, with every byte after `written` in each row
// zero. Null when no mapping is to be had.
uchar* MapLarge(qint32 height, qsizetype bytesPerLine, qsizetype written, Mapping** info) {
    const size_t bytes = size_t(bytesPerLine) * size_t(height);
    const size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    Mapping m{};
    if (TheCache().Take(length, &m)) {
        ClearAfterWritten(static_cast<uchar*>(m.start), height, bytesPerLine, written);
    } else if (!MapFresh(length, &m)) {
        return nullptr;
    }
    *info = new (std::nothrow) Mapping(m);
    if (*info == nullptr) {
        munmap(m.start, m.length);
        return nullptr;
    }
    return static_cast<uchar*>(m.start);
}
#endif

void ReleaseHeap(void* info) {
    std::free(info);
}

}  // namespace

QImage NewImage(qint32 width, qint32 height, qsizetype bytesPerLine, QImage::Format format,
                qsizetype written) {
    if (width <= 0 || height <= 0 || bytesPerLine <= 0 || bytesPerLine % 4 != 0 || written < 0 ||
        written > bytesPerLine) {
        return QImage();
    }
    const qsizetype bytes = bytesPerLine * height;
    uchar* data = nullptr;
    QImageCleanupFunction release = ReleaseHeap;
    void* info = nullptr;
#if defined(LUMORA_HUGE_PAGES)
    if (bytes >= kLargeBytes) {
        Mapping* mapping = nullptr;
        data = MapLarge(height, bytesPerLine, written, &mapping);
        if (data != nullptr) {
            release = ReleaseMapping;
            info = mapping;
        }
    }
#endif
    if (data == nullptr) {  // small, or no mapping to be had: the heap, zero-filled
        data = static_cast<uchar*>(std::calloc(static_cast<size_t>(bytes), 1));
        info = data;
    }
    if (data == nullptr) {
        return QImage();
    }
    QImage image(data, width, height, bytesPerLine, format, release, info);
    if (image.isNull()) {
        release(info);  // Qt refused the layout and did not take the memory
    }
    return image;
}

CacheState Cached() {
#if defined(LUMORA_HUGE_PAGES)
    return TheCache().State();
#else
    return CacheState{};
#endif
}

void TrimIdle() {
#if defined(LUMORA_HUGE_PAGES)
    TheCache().Trim(false);
#endif
}

void ReleaseCached() {
#if defined(LUMORA_HUGE_PAGES)
    TheCache().Trim(true);
#endif
}

void SetClock(Clock clock) {
#if defined(LUMORA_HUGE_PAGES)
    TheCache().SetClock(std::move(clock));
#else
    (void)clock;
#endif
}

}  // namespace PixelMemory
