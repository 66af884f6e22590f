#pragma once

#include <QtGlobal>
#include <cmath>
#include <limits>

// The one rounding rule of the program: to the nearest integer, ties to even (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2). Every measure that becomes an integer goes through here.
namespace Rounding {

inline double RoundHalfEven(double v) {
    const double lower = std::floor(v);
    const double diff = v - lower;
    if (diff > 0.5) {
        return lower + 1.0;
    }
    if (diff < 0.5) {
        return lower;
    }
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

// Rounded and clamped into the signed 32-bit range (NaN gives 0), so a wild measure can never
// become undefined behaviour in a cast.
inline qint32 Round32(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    const double r = RoundHalfEven(v);
    if (r >= static_cast<double>(std::numeric_limits<qint32>::max())) {
        return std::numeric_limits<qint32>::max();
    }
    if (r <= static_cast<double>(std::numeric_limits<qint32>::min())) {
        return std::numeric_limits<qint32>::min();
    }
    return static_cast<qint32>(r);
}

}  // namespace Rounding
