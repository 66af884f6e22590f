#include "image/PngEncoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>

namespace PngEncoder {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Large enough that the chunk framing costs nothing, small enough for any reader's buffers.
constexpr std::size_t kIdatBytes = 256 * 1024;
// Below this many filtered bytes a second thread costs more than it saves.
constexpr std::size_t kThreadedBytes = 512 * 1024;

int BitsPerPixel(Layout layout) {
    switch (layout) {
        case Layout::Index1:
            return 1;
        case Layout::Index4:
            return 4;
        case Layout::Index8:
            return 8;
        case Layout::Bgra32:
        case Layout::Rgba32:
            return 32;
        default:
            return 24;  // the X layouts lose their fourth byte
    }
}

bool IsIndexed(Layout layout) {
    return layout == Layout::Index1 || layout == Layout::Index4 || layout == Layout::Index8;
}

void PutU32(QByteArray& out, std::uint32_t v) {
    const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(bytes, 4);
}

void PutChunk(QByteArray& out, const char* type, const std::uint8_t* data, std::size_t size) {
    PutU32(out, static_cast<std::uint32_t>(size));
    const qsizetype start = out.size();
    out.append(type, 4);
    if (size > 0) {
        out.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    }
    PutU32(out, libdeflate_crc32(0, out.constData() + start, size + 4));
}

// The rows of one source as PNG wants them, filtered into one buffer of height × (1 + rowBytes).
class RowFilter {
public:
    RowFilter(const Source& s, std::size_t rowBytes, bool adaptive)
        : mSource(s), mRowBytes(rowBytes), mAdaptive(adaptive) {}

    // Filters rows [first, last) into out (the whole buffer). Throws only std::bad_alloc.
    void Run(int first, int last, std::uint8_t* out) const {
        std::vector<std::uint8_t> scratch(mRowBytes * 4 + 1);
        std::uint8_t* rows[2] = {scratch.data(), scratch.data() + mRowBytes};
        std::uint8_t* best = scratch.data() + 2 * mRowBytes;
        std::uint8_t* trial = best + mRowBytes;
        const std::vector<std::uint8_t> zeros(mRowBytes, 0);
        // Converted rows alternate between the two slots, so the row above stays intact.
        const std::uint8_t* prev = first > 0 ? Raw(first - 1, rows[0]) : zeros.data();
        for (int y = first; y < last; ++y) {
            const std::uint8_t* cur = Raw(y, rows[(y - first + 1) & 1]);
            std::uint8_t* dst = out + static_cast<std::size_t>(y) * (mRowBytes + 1);
            if (mAdaptive) {
                dst[0] = Choose(cur, prev, best, trial);
                std::memcpy(dst + 1, best, mRowBytes);
            } else {
                dst[0] = 0;
                std::memcpy(dst + 1, cur, mRowBytes);
            }
            prev = cur;
        }
    }

private:
    // Row y in PNG byte order: the caller's row itself where it already is, else converted
    // into slot.
    const std::uint8_t* Raw(int y, std::uint8_t* slot) const {
        const std::uint8_t* src = mSource.topRow + mSource.stride * y;
        const int w = mSource.width;
        switch (mSource.layout) {
            case Layout::Bgr24:
                for (int x = 0; x < w; ++x, src += 3, slot += 3) {
                    slot[0] = src[2];
                    slot[1] = src[1];
                    slot[2] = src[0];
                }
                return slot - 3 * static_cast<std::size_t>(w);
            case Layout::Bgrx32:
            case Layout::Rgbx32: {
                const int r = mSource.layout == Layout::Bgrx32 ? 2 : 0;
                for (int x = 0; x < w; ++x, src += 4, slot += 3) {
                    slot[0] = src[r];
                    slot[1] = src[1];
                    slot[2] = src[2 - r];
                }
                return slot - 3 * static_cast<std::size_t>(w);
            }
            case Layout::Bgra32:
                for (int x = 0; x < w; ++x, src += 4, slot += 4) {
                    slot[0] = src[2];
                    slot[1] = src[1];
                    slot[2] = src[0];
                    slot[3] = src[3];
                }
                return slot - 4 * static_cast<std::size_t>(w);
            default:
                return src;
        }
    }

    // The filter of least sum of absolute (signed) differences, libpng's choice; its bytes end
    // in best.
    std::uint8_t Choose(const std::uint8_t* cur, const std::uint8_t* prev, std::uint8_t*& best,
                        std::uint8_t*& trial) const {
        const std::size_t n = mRowBytes;
        const std::size_t bpp = static_cast<std::size_t>(BitsPerPixel(mSource.layout) / 8);
        std::uint64_t bestSum = UINT64_MAX;
        std::uint8_t bestType = 0;
        for (std::uint8_t type = 0; type < 5; ++type) {
            std::uint8_t* t = trial;
            for (std::size_t i = 0; i < bpp; ++i) {
                const int up = prev[i];
                const int pred = type == 2 ? up : type == 3 ? up >> 1 : type == 4 ? up : 0;
                t[i] = static_cast<std::uint8_t>(cur[i] - pred);
            }
            switch (type) {
                case 0:
                    std::memcpy(t, cur, n);
                    break;
                case 1:
                    for (std::size_t i = bpp; i < n; ++i) {
                        t[i] = static_cast<std::uint8_t>(cur[i] - cur[i - bpp]);
                    }
                    break;
                case 2:
                    for (std::size_t i = bpp; i < n; ++i) {
                        t[i] = static_cast<std::uint8_t>(cur[i] - prev[i]);
                    }
                    break;
                case 3:
                    for (std::size_t i = bpp; i < n; ++i) {
                        t[i] = static_cast<std::uint8_t>(cur[i] - ((cur[i - bpp] + prev[i]) >> 1));
                    }
                    break;
                default:
                    for (std::size_t i = bpp; i < n; ++i) {
                        const int a = cur[i - bpp];
                        const int b = prev[i];
                        const int c = prev[i - bpp];
                        const int pa = std::abs(b - c);
                        const int pb = std::abs(a - c);
                        const int pc = std::abs(a + b - 2 * c);
                        const int p = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
                        t[i] = static_cast<std::uint8_t>(cur[i] - p);
                    }
                    break;
            }
            std::uint64_t sum = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const unsigned v = t[i];
                sum += v < 128 ? v : 256 - v;
            }
            if (sum < bestSum) {
                bestSum = sum;
                bestType = type;
                std::swap(best, trial);
            }
        }
        return bestType;
    }

    const Source& mSource;
    std::size_t mRowBytes;
    bool mAdaptive;
};

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

bool Valid(const Source& s) {
    if (s.width <= 0 || s.height <= 0 || s.topRow == nullptr || (s.height > 1 && s.stride == 0)) {
        return false;
    }
    if (IsIndexed(s.layout) && !s.grey &&
        (s.palette.empty() || s.palette.size() > 256 || s.transparency.size() > s.palette.size())) {
        return false;
    }
    return true;
}

QByteArray EncodeOrThrow(const Source& s, int level) {
    const int bits = BitsPerPixel(s.layout);
    const std::size_t rowBytes = (static_cast<std::size_t>(s.width) * bits + 7) / 8;
    const std::size_t filteredSize = (rowBytes + 1) * static_cast<std::size_t>(s.height);
    if (rowBytes > (SIZE_MAX / 2) / static_cast<std::size_t>(s.height)) {
        return QByteArray();
    }

    // libpng leaves palette and sub-byte rows unfiltered, and so does this.
    const bool adaptive = !IsIndexed(s.layout);
    std::unique_ptr<std::uint8_t[]> filtered(new std::uint8_t[filteredSize]);
    const RowFilter filter(s, rowBytes, adaptive);
    const int middle = s.height / 2;
    bool split = false;
    if (filteredSize >= kThreadedBytes && std::thread::hardware_concurrency() > 1) {
        try {
            std::exception_ptr failed;
            std::thread top([&] {
                try {
                    filter.Run(0, middle, filtered.get());
                } catch (...) {
                    failed = std::current_exception();
                }
            });
            split = true;
            try {
                filter.Run(middle, s.height, filtered.get());
            } catch (...) {
                top.join();
                throw;
            }
            top.join();
            if (failed) {
                std::rethrow_exception(failed);
            }
        } catch (const std::system_error&) {
            split = false;  // no thread to be had: one is enough
        }
    }
    if (!split) {
        filter.Run(0, s.height, filtered.get());
    }

    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(std::clamp(level, 1, 12)));
    if (!compressor) {
        return QByteArray();
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredSize);
    std::unique_ptr<std::uint8_t[]> stream(new std::uint8_t[bound]);
    const std::size_t streamSize = libdeflate_zlib_compress(compressor.get(), filtered.get(),
                                                            filteredSize, stream.get(), bound);
    filtered.reset();
    if (streamSize == 0) {
        return QByteArray();
    }

    QByteArray out;
    out.reserve(static_cast<qsizetype>(streamSize + streamSize / kIdatBytes * 12 + 2048));
    out.append(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
    std::uint8_t ihdr[13] = {};
    const auto be = [](std::uint8_t* p, std::uint32_t v) {
        p[0] = static_cast<std::uint8_t>(v >> 24);
        p[1] = static_cast<std::uint8_t>(v >> 16);
        p[2] = static_cast<std::uint8_t>(v >> 8);
        p[3] = static_cast<std::uint8_t>(v);
    };
    be(ihdr, static_cast<std::uint32_t>(s.width));
    be(ihdr + 4, static_cast<std::uint32_t>(s.height));
    ihdr[8] = static_cast<std::uint8_t>(IsIndexed(s.layout) ? bits : 8);
    ihdr[9] = IsIndexed(s.layout) ? (s.grey ? 0 : 3) : (bits == 32 ? 6 : 2);
    PutChunk(out, "IHDR", ihdr, sizeof ihdr);
    if (s.icc != nullptr && s.iccSize > 0) {
        // A name, its terminating zero, the compression method (0, zlib) and the profile.
        static const char kName[] = "ICC profile";
        std::vector<std::uint8_t> iccp(kName, kName + sizeof kName);
        iccp.push_back(0);
        const std::size_t at = iccp.size();
        iccp.resize(at + libdeflate_zlib_compress_bound(compressor.get(), s.iccSize));
        const std::size_t packed = libdeflate_zlib_compress(compressor.get(), s.icc, s.iccSize,
                                                            iccp.data() + at, iccp.size() - at);
        if (packed == 0) {
            return QByteArray();
        }
        iccp.resize(at + packed);
        PutChunk(out, "iCCP", iccp.data(), iccp.size());
    }
    if (IsIndexed(s.layout) && !s.grey) {
        std::vector<std::uint8_t> plte;
        for (const PaletteEntry& e : s.palette) {
            plte.insert(plte.end(), {e.red, e.green, e.blue});
        }
        PutChunk(out, "PLTE", plte.data(), plte.size());
        if (!s.transparency.empty()) {
            PutChunk(out, "tRNS", s.transparency.data(), s.transparency.size());
        }
    }
    if (s.dotsPerMeterX > 0 && s.dotsPerMeterY > 0) {
        std::uint8_t phys[9] = {};
        be(phys, s.dotsPerMeterX);
        be(phys + 4, s.dotsPerMeterY);
        phys[8] = 1;  // the unit is the metre
        PutChunk(out, "pHYs", phys, sizeof phys);
    }
    for (std::size_t at = 0; at < streamSize; at += kIdatBytes) {
        PutChunk(out, "IDAT", stream.get() + at, std::min(kIdatBytes, streamSize - at));
    }
    PutChunk(out, "IEND", nullptr, 0);
    return out;
}

}  // namespace

QByteArray Encode(const Source& source, int level) {
    if (!Valid(source)) {
        return QByteArray();
    }
    try {
        return EncodeOrThrow(source, level);
    } catch (...) {
        return QByteArray();  // out of memory
    }
}

}  // namespace PngEncoder
