#pragma once

#include <FreeImage.h>

#include <memory>

// What the MFreeImage sources share with each other; nothing else includes this.
namespace MFreeImage::Detail {

struct BitmapDeleter {
    void operator()(FIBITMAP* b) const {
        if (b != nullptr) {
            FreeImage_Unload(b);
        }
    }
};
// A bitmap freed when it goes out of scope.
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// Registers the library's plugins once (thread-safe).
void EnsureInitialised();
// More pixels than a picture may hold.
bool TooManyPixels(FIBITMAP* b);
// 1, 4, 8 bits with a palette, 5-6-5 or 5-5-5, 24 or 32 bits of 8-bit channels.
bool IsStandardBitmap(FIBITMAP* b);
// Another kind of bitmap (16 bits per channel, floating point, ...) as a standard one; null when
// it cannot be had.
FIBITMAP* ToStandardBitmap(FIBITMAP* b);

}  // namespace MFreeImage::Detail
