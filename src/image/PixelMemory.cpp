#include "image/PixelMemory.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#define LUMORA_HUGE_PAGES 1
#endif

namespace PixelMemory {
namespace {

#if defined(LUMORA_HUGE_PAGES)
constexpr size_t kHugePage = size_t(2) << 20;

struct Mapping {
    void* start;
    size_t length;
};

void ReleaseMapping(void* info) {
    auto* m = static_cast<Mapping*>(info);
    munmap(m->start, m->length);
    delete m;
}

// A fresh anonymous mapping (zero-filled by the kernel) of at least `bytes`, starting on a
// 2 MiB boundary so the kernel can back it with huge pages from the first touch.
uchar* MapLarge(size_t bytes, Mapping** info) {
    const size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    const size_t reserve = length + kHugePage;
    void* raw = mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
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
    *info = new (std::nothrow) Mapping{start, length};
    if (*info == nullptr) {
        munmap(start, length);
        return nullptr;
    }
    return static_cast<uchar*>(start);
}
#endif

void ReleaseHeap(void* info) {
    std::free(info);
}

}  // namespace

QImage NewImage(qint32 width, qint32 height, qsizetype bytesPerLine, QImage::Format format) {
    if (width <= 0 || height <= 0 || bytesPerLine <= 0 || bytesPerLine % 4 != 0) {
        return QImage();
    }
    const qsizetype bytes = bytesPerLine * height;
    uchar* data = nullptr;
    QImageCleanupFunction release = ReleaseHeap;
    void* info = nullptr;
#if defined(LUMORA_HUGE_PAGES)
    if (bytes >= kLargeBytes) {
        Mapping* mapping = nullptr;
        data = MapLarge(static_cast<size_t>(bytes), &mapping);
        if (data != nullptr) {
            release = ReleaseMapping;
            info = mapping;
        }
    }
#endif
    if (data == nullptr) {  // small, or no mapping to be had: the heap
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

}  // namespace PixelMemory
