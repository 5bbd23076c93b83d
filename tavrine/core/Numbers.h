#pragma once

#include <QtGlobal>
#include <cmath>
#include <limits>

namespace tavrine {

// A non-finite number (NaN or infinity) is never converted to an integer: it counts as 0. Finite numbers
// beyond the range are clamped rather than overflowing.
inline qint64 wholeNumber(double value) {
    if (!std::isfinite(value))
        return 0;
    constexpr double limit = 9.2e18;
    if (value >= limit)
        return std::numeric_limits<qint64>::max();
    if (value <= -limit)
        return std::numeric_limits<qint64>::min();
    return qint64(value);
}

// Rounded half away from zero, with the same guard.
inline qint64 roundedNumber(double value) {
    if (!std::isfinite(value))
        return 0;
    return wholeNumber(std::round(value));
}

// A non-finite number as 0, for sums and comparisons that must never see NaN.
inline double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0.0;
}

} // namespace tavrine
