#pragma once

#include <QEasingCurve>
#include <QVariantList>

namespace tavrine::nudge {

// A cubic Bézier timing curve from (0, 0) to (1, 1) through the control points (x1, y1) and (x2, y2).
struct BezierEasing {
    double x1, y1, x2, y2;
    // Progress at time fraction `x` (0..1).
    double valueAt(double x) const;
    // The curve as Qt's easing.bezierCurve list (one segment).
    QVariantList qmlCurve() const;
};
inline constexpr BezierEasing kEaseOut{0, 0, 0.58, 1};
inline constexpr BezierEasing kEaseIn{0.42, 0, 1, 1};
inline constexpr BezierEasing kEaseInOut{0.42, 0, 0.58, 1};

// A damped spring carrying a value from 0 to 1 from rest: stiffness (2π/response)², damping
// 4π·dampingFraction/response, unit mass.
struct SpringMotion {
    double response;
    double dampingFraction;

    double stiffness() const;
    double damping() const;
    // The value `t` seconds after the start.
    double valueAt(double t) const;
    // When the value stays within 0.001 of 1 from then on.
    double settlingTime() const;
};
inline constexpr SpringMotion kNotchOpenSpring{0.46, 0.74};
inline constexpr SpringMotion kNotchCloseSpring{0.36, 0.95};
inline constexpr SpringMotion kReasonChangeSpring{0.4, 0.86};

} // namespace tavrine::nudge
