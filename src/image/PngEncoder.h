#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <vector>

// PNG files written with libdeflate: the chunk framing by hand, the pixel stream filtered as
// libpng filters it (None for palette and sub-byte rows, otherwise the adaptive per-row choice
// among the five filters) and compressed by libdeflate's zlib wrapper. Knows neither FreeImage
// nor QImage; MFreeImage and the clipboard describe their rows to it. Safe on any thread.
namespace PngEncoder {

// How the caller's rows hold their pixels. Index1 and Index4 pack from the most significant bit,
// as PNG does; the 32-bit X layouts carry a byte that is not written.
enum class Layout { Index1, Index4, Index8, Bgr24, Rgb24, Bgrx32, Rgbx32, Bgra32, Rgba32 };

struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

struct Source {
    int width = 0;   // pixels
    int height = 0;  // pixels
    Layout layout = Layout::Bgr24;
    const std::uint8_t* topRow = nullptr;  // the first row of the file (the picture's top)
    std::ptrdiff_t stride = 0;             // bytes from one row to the one below; may be negative
    // Index layouts: the colours (PLTE), or, when grey is set, none: the indices are grey levels
    // (the palette is the ramp 0..2^depth-1 spread over 0..255) and the file is greyscale.
    std::vector<PaletteEntry> palette;
    bool grey = false;
    // Index layouts with a palette: the alpha of the first entries, written as tRNS when not empty.
    std::vector<std::uint8_t> transparency;
    // An ICC profile written (compressed) as iCCP when iccSize is above 0.
    const std::uint8_t* icc = nullptr;
    std::size_t iccSize = 0;
    // Written as pHYs (pixels per metre) when both are above 0.
    std::uint32_t dotsPerMeterX = 0;
    std::uint32_t dotsPerMeterY = 0;
};

// The level libdeflate compresses at. Measured on a 24-megapixel photo: 5 to 8 give the same size
// (14 % under libpng's default), but on smooth pictures 5 is larger than libpng's file and 7 is
// hardly faster than libpng; 6, on the photo, is as small and five times faster.
constexpr int kDefaultLevel = 6;

// The whole file; empty when the source is not valid or memory is short. Never throws.
QByteArray Encode(const Source& source, int level = kDefaultLevel);

}  // namespace PngEncoder
