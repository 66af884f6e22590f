#include "image/PixelKernels.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/Rounding.h"

// On x86-64 the grey and mirror loops have 16-pixel SSSE3 forms, chosen at run time so the
// program still runs on any x86-64 processor.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define LUMORA_SSSE3 1
#include <tmmintrin.h>
#endif

#if defined(__GNUC__) || defined(__clang__)
#define LUMORA_PREFETCH_READ(p) __builtin_prefetch((p), 0, 3)
#define LUMORA_PREFETCH_WRITE(p) __builtin_prefetch((p), 1, 3)
#else
#define LUMORA_PREFETCH_READ(p) ((void)(p))
#define LUMORA_PREFETCH_WRITE(p) ((void)(p))
#endif

namespace PixelKernels {
namespace {

// Pixel copies. Copy4 moves one pixel plus the byte after it; callers use it only where that
// byte lies inside the row on both sides and is written again afterwards.
inline void Copy3(uchar* d, const uchar* s) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
}
inline void Copy4(uchar* d, const uchar* s) {
    quint32 v;
    std::memcpy(&v, s, 4);
    std::memcpy(d, &v, 4);
}

#if defined(LUMORA_SSSE3)
bool HasSsse3() {
    static const bool yes = __builtin_cpu_supports("ssse3");
    return yes;
}
#endif

void PrefetchSpan(const uchar* p, qsizetype bytes, bool forWrite) {
    for (qsizetype o = 0; o < bytes + 63; o += 64) {
        if (forWrite) {
            LUMORA_PREFETCH_WRITE(p + o);
        } else {
            LUMORA_PREFETCH_READ(p + o);
        }
    }
}

// ---- grey ----------------------------------------------------------------------------------

// With S = 11B + 59G + 30R the exact grey is S / 100, and the double sum differs from it by far
// less than 1e-12. Unless S ends in 50 the double result therefore rounds as S / 100 does:
// S div 100, plus one when the remainder exceeds 50. When S ends in 50 (an exact half), the
// double sum can land just below, on, or just above q + 1/2 depending on how its products and
// sums round, so such a pixel is decided by the double sum itself. Half-way results come from
// the rounding helper, tabulated once.
const std::array<uchar, 256>& HalfWayGrey() {
    static const std::array<uchar, 256> table = [] {
        std::array<uchar, 256> t{};
        for (int q = 0; q < 255; ++q) {
            t[size_t(q)] = uchar(Rounding::RoundHalfEven(q + 0.5));
        }
        return t;
    }();
    return table;
}

// Grey of a pixel whose exact weighted sum is q + 1/2.
Q_NEVER_INLINE uchar GreyAtHalf(unsigned b, unsigned g, unsigned r, unsigned q) {
    const double v = b * 0.11 + g * 0.59 + r * 0.30;
    const double half = q + 0.5;
    if (v > half) {
        return uchar(q + 1);
    }
    if (v < half) {
        return uchar(q);
    }
    return HalfWayGrey()[q];
}

void GreyPortable(const uchar* s, uchar* d, qint32 n) {
    for (qint32 i = 0; i < n; ++i, s += 3, d += 3) {
        const unsigned sum = 11u * s[0] + 59u * s[1] + 30u * s[2];
        const unsigned q = sum / 100;
        const unsigned rem = sum - q * 100;
        const uchar grey = rem == 50 ? GreyAtHalf(s[0], s[1], s[2], q) : uchar(q + (rem > 50));
        d[0] = grey;
        d[1] = grey;
        d[2] = grey;
    }
}

#if defined(LUMORA_SSSE3)

// 16 pixels (48 bytes) per step: the bytes are regrouped into (B, G) pairs and (R, 0) pairs so
// one multiply-add each gives 11B + 59G and 30R in 16-bit lanes; S div 100 is
// (S * 41944) >> 22, exact for every S up to 25500. Returns the pixels done (a multiple of 16).
__attribute__((target("ssse3"))) qint32 GreySsse3(const uchar* s, uchar* d, qint32 n) {
    const __m128i bgLoA = _mm_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, 12, 13, 15, -1, -1, -1, -1, -1);
    const __m128i bgLoB = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 2, 3, 5, 6);
    const __m128i rLoA = _mm_setr_epi8(2, -1, 5, -1, 8, -1, 11, -1, 14, -1, -1, -1, -1, -1, -1, -1);
    const __m128i rLoB = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, -1, 4, -1, 7, -1);
    const __m128i bgHiB =
        _mm_setr_epi8(8, 9, 11, 12, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i bgHiC = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 1, 2, 4, 5, 7, 8, 10, 11, 13, 14);
    const __m128i rHiB =
        _mm_setr_epi8(10, -1, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i rHiC = _mm_setr_epi8(-1, -1, -1, -1, 0, -1, 3, -1, 6, -1, 9, -1, 12, -1, 15, -1);
    const __m128i out0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
    const __m128i out1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
    const __m128i out2 =
        _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
    const __m128i wBG =
        _mm_setr_epi8(11, 59, 11, 59, 11, 59, 11, 59, 11, 59, 11, 59, 11, 59, 11, 59);
    const __m128i wR = _mm_setr_epi8(30, 0, 30, 0, 30, 0, 30, 0, 30, 0, 30, 0, 30, 0, 30, 0);
    const __m128i div = _mm_set1_epi16(short(41944));
    const __m128i hundred = _mm_set1_epi16(100);
    const __m128i fifty = _mm_set1_epi16(50);
    qint32 i = 0;
    for (; i + 16 <= n; i += 16, s += 48, d += 48) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
        const __m128i bgLo = _mm_or_si128(_mm_shuffle_epi8(a, bgLoA), _mm_shuffle_epi8(b, bgLoB));
        const __m128i rLo = _mm_or_si128(_mm_shuffle_epi8(a, rLoA), _mm_shuffle_epi8(b, rLoB));
        const __m128i bgHi = _mm_or_si128(_mm_shuffle_epi8(b, bgHiB), _mm_shuffle_epi8(c, bgHiC));
        const __m128i rHi = _mm_or_si128(_mm_shuffle_epi8(b, rHiB), _mm_shuffle_epi8(c, rHiC));
        const __m128i sumLo =
            _mm_add_epi16(_mm_maddubs_epi16(bgLo, wBG), _mm_maddubs_epi16(rLo, wR));
        const __m128i sumHi =
            _mm_add_epi16(_mm_maddubs_epi16(bgHi, wBG), _mm_maddubs_epi16(rHi, wR));
        const __m128i qLo = _mm_srli_epi16(_mm_mulhi_epu16(sumLo, div), 6);
        const __m128i qHi = _mm_srli_epi16(_mm_mulhi_epu16(sumHi, div), 6);
        const __m128i remLo = _mm_sub_epi16(sumLo, _mm_mullo_epi16(qLo, hundred));
        const __m128i remHi = _mm_sub_epi16(sumHi, _mm_mullo_epi16(qHi, hundred));
        // q - (-1) where the remainder is above 50
        const __m128i greyLo = _mm_sub_epi16(qLo, _mm_cmpgt_epi16(remLo, fifty));
        const __m128i greyHi = _mm_sub_epi16(qHi, _mm_cmpgt_epi16(remHi, fifty));
        const __m128i grey = _mm_packus_epi16(greyLo, greyHi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(grey, out0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_shuffle_epi8(grey, out1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), _mm_shuffle_epi8(grey, out2));
        const __m128i halves =
            _mm_packs_epi16(_mm_cmpeq_epi16(remLo, fifty), _mm_cmpeq_epi16(remHi, fifty));
        unsigned mask = unsigned(_mm_movemask_epi8(halves));
        while (mask != 0) {
            const int k = __builtin_ctz(mask);
            mask &= mask - 1;
            const uchar* p = s + 3 * k;
            const unsigned q = unsigned(d[3 * k]);  // rem == 50 was not rounded up
            const uchar g = GreyAtHalf(p[0], p[1], p[2], q);
            d[3 * k] = g;
            d[3 * k + 1] = g;
            d[3 * k + 2] = g;
        }
    }
    return i;
}
#endif

}  // namespace

void GreyRow(const uchar* src, uchar* dst, qint32 w) {
    qint32 done = 0;
#if defined(LUMORA_SSSE3)
    if (HasSsse3()) {
        done = GreySsse3(src, dst, w);
    }
#endif
    GreyPortable(src + qsizetype(3) * done, dst + qsizetype(3) * done, w - done);
}

// ---- nearest-neighbour gather ------------------------------------------------------------

void GatherRow(const uchar* src, qsizetype srcRowBytes, const qsizetype* offsets, qint32 w,
               int pixelBytes, uchar* dst) {
    if (pixelBytes == 4) {
        for (qint32 x = 0; x < w; ++x, dst += 4) {
            std::memcpy(dst, src + offsets[x], 4);
        }
        return;
    }
    // 4-byte moves while the picked pixel is not the source row's last (its 4th byte must stay
    // in the row) and the result pixel is not the row's last (its spill would reach padding).
    qint32 fast = w - 1;
    while (fast > 0 && offsets[fast - 1] + 4 > srcRowBytes) {
        --fast;
    }
    qint32 x = 0;
    for (; x < fast; ++x, dst += 3) {
        Copy4(dst, src + offsets[x]);
    }
    for (; x < w; ++x, dst += 3) {
        Copy3(dst, src + offsets[x]);
    }
}

// ---- mirror ------------------------------------------------------------------------------

namespace {

// Result pixels [from, w) of a mirrored row, one at a time.
void MirrorPortable(const uchar* src, uchar* dst, qint32 from, qint32 w) {
    qint32 x = from;
    if (x == 0 && w > 0) {  // the source's last pixel has no 4th byte in its row
        Copy3(dst, src + qsizetype(3) * (w - 1));
        x = 1;
    }
    // Source pixels w-2 .. 1: 4 bytes, the spill into result pixel x + 1 is overwritten next.
    for (; x < w - 1; ++x) {
        Copy4(dst + qsizetype(3) * x, src + qsizetype(3) * (w - 1 - x));
    }
    if (x < w) {  // the row's last result pixel: a 4th byte would land in the padding
        Copy3(dst + qsizetype(3) * x, src + qsizetype(3) * (w - 1 - x));
    }
}

#if defined(LUMORA_SSSE3)
// 16 pixels (48 bytes) at a time, taken from the row's end and reversed in three shuffles each.
// Returns the result pixels done (a multiple of 16).
__attribute__((target("ssse3"))) qint32 MirrorSsse3(const uchar* src, uchar* dst, qint32 w) {
    const __m128i o0c = _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, -1);
    const __m128i o0b =
        _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 14);
    const __m128i o1a =
        _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 15, -1);
    const __m128i o1b = _mm_setr_epi8(15, -1, 11, 12, 13, 8, 9, 10, 5, 6, 7, 2, 3, 4, -1, 0);
    const __m128i o1c =
        _mm_setr_epi8(-1, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i o2a = _mm_setr_epi8(-1, 12, 13, 14, 9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2);
    const __m128i o2b =
        _mm_setr_epi8(1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    qint32 x = 0;
    for (; x + 16 <= w; x += 16) {
        const uchar* s = src + qsizetype(3) * (w - 16 - x);
        uchar* d = dst + qsizetype(3) * x;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                         _mm_or_si128(_mm_shuffle_epi8(c, o0c), _mm_shuffle_epi8(b, o0b)));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(d + 16),
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, o1a), _mm_shuffle_epi8(b, o1b)),
                         _mm_shuffle_epi8(c, o1c)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32),
                         _mm_or_si128(_mm_shuffle_epi8(a, o2a), _mm_shuffle_epi8(b, o2b)));
    }
    return x;
}
#endif

}  // namespace

void MirrorRow(const uchar* src, uchar* dst, qint32 w) {
    qint32 done = 0;
#if defined(LUMORA_SSSE3)
    if (HasSsse3()) {
        done = MirrorSsse3(src, dst, w);
    }
#endif
    MirrorPortable(src, dst, done, w);
}

// ---- rotation ----------------------------------------------------------------------------

// The result is written in bands of kBand rows (source columns); each band is walked in tiles
// of kTile result columns (source rows). While one tile is copied, the source rows and result
// row pieces of the next are prefetched: neither side is a stream the hardware can follow, as
// every source row lies in its own page and a band has more result rows than it tracks.
void RotateQuarter(const uchar* src, qsizetype srcBpl, qint32 W, qint32 H, uchar* dst,
                   qsizetype dstBpl, bool clockwise) {
    constexpr qint32 kTile = 64;
    constexpr qint32 kBand = 256;
    const qsizetype step = clockwise ? -srcBpl : srcBpl;
    // Source row that result column x comes from.
    const auto sourceRow = [&](qint32 x) -> const uchar* {
        return src + (clockwise ? qsizetype(H) - 1 - x : qsizetype(x)) * srcBpl;
    };
    for (qint32 y0 = 0; y0 < W; y0 += kBand) {
        const qint32 y1 = std::min(y0 + kBand, W);
        const qint32 rows = y1 - y0;
        // Source bytes of this band within one source row.
        const qsizetype firstColumn = clockwise ? y0 : W - y1;
        const qsizetype spanBytes = qsizetype(3) * rows;
        for (qint32 x0 = 0; x0 < H; x0 += kTile) {
            const qint32 x1 = std::min(x0 + kTile, H);
            const qint32 next1 = std::min(x1 + kTile, H);
            const qint32 perRow = (next1 - x1 + rows - 1) / rows;
            qint32 ahead = x1;
            // The result row's last pixel goes in 3 bytes: a 4th would land in the padding.
            const qint32 n4 = x1 == H ? x1 - x0 - 1 : x1 - x0;
            for (qint32 y = y0; y < y1; ++y) {
                for (qint32 k = 0; k < perRow && ahead < next1; ++k, ++ahead) {
                    PrefetchSpan(sourceRow(ahead) + 3 * firstColumn, spanBytes, false);
                }
                uchar* dp = dst + y * dstBpl + qsizetype(3) * x0;
                if (next1 > x1) {
                    PrefetchSpan(dp + qsizetype(3) * (x1 - x0), qsizetype(3) * (next1 - x1), true);
                }
                const qint32 column = clockwise ? y : W - 1 - y;
                const uchar* sp = sourceRow(x0) + qsizetype(3) * column;
                qint32 i = 0;
                if (column < W - 1) {  // the source's last column has no 4th byte in its row
                    for (; i < n4; ++i, sp += step, dp += 3) {
                        Copy4(dp, sp);
                    }
                }
                for (; i < x1 - x0; ++i, sp += step, dp += 3) {
                    Copy3(dp, sp);
                }
            }
        }
    }
}

}  // namespace PixelKernels
