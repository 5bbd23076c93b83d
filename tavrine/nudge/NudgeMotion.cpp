#include "tavrine/nudge/NudgeMotion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavrine::nudge {

namespace {

double bezier(double a, double b, double s) {
    // One coordinate of the curve from 0 to 1 with control values a and b.
    const double u = 1 - s;
    return 3 * u * u * s * a + 3 * u * s * s * b + s * s * s;
}

} // namespace

double BezierEasing::valueAt(double x) const {
    if (!(x > 0))
        return 0;
    if (x >= 1)
        return 1;
    // The x coordinate rises monotonically for control x values in 0..1: bisect for the parameter.
    double lo = 0, hi = 1;
    for (int i = 0; i < 50; ++i) {
        const double mid = (lo + hi) / 2;
        (bezier(x1, x2, mid) < x ? lo : hi) = mid;
    }
    return bezier(y1, y2, (lo + hi) / 2);
}

QVariantList BezierEasing::qmlCurve() const {
    return {x1, y1, x2, y2, 1.0, 1.0};
}

double SpringMotion::stiffness() const {
    const double w = 2 * std::numbers::pi / response;
    return w * w;
}

double SpringMotion::damping() const {
    return 4 * std::numbers::pi * dampingFraction / response;
}

double SpringMotion::valueAt(double t) const {
    if (!(t > 0))
        return 0;
    const double k = stiffness(), c = damping();
    const double w0 = std::sqrt(k);
    const double zeta = c / (2 * w0);
    if (zeta < 1) {
        const double wd = w0 * std::sqrt(1 - zeta * zeta);
        return 1 - std::exp(-zeta * w0 * t) * (std::cos(wd * t) + zeta * w0 / wd * std::sin(wd * t));
    }
    if (zeta == 1)
        return 1 - std::exp(-w0 * t) * (1 + w0 * t);
    const double root = std::sqrt(zeta * zeta - 1);
    const double r1 = -w0 * (zeta - root), r2 = -w0 * (zeta + root);
    // x(0) = 0 and x'(0) = 0 for x = 1 + A e^(r1 t) + B e^(r2 t).
    const double a = r2 / (r1 - r2), b = -r1 / (r1 - r2);
    return 1 + a * std::exp(r1 * t) + b * std::exp(r2 * t);
}

double SpringMotion::settlingTime() const {
    // Walk back from far out to the last moment the value was more than 0.001 away from 1.
    const double step = 1.0 / 240;
    const double far = 10 * response;
    for (double t = far; t > 0; t -= step) {
        if (std::abs(valueAt(t) - 1) > 0.001)
            return std::min(far, t + step);
    }
    return step;
}

} // namespace tavrine::nudge
