#include "tavrine/onboarding/Scenery.h"

#include "tavrine/nudge/NudgeMotion.h"
#include "tavrine/onboarding/SceneryStates.h"

#include <algorithm>
#include <cmath>

namespace tavrine::onboarding {

namespace {

constexpr nudge::SpringMotion beatSpring{0.6, 0.84};

} // namespace

QColor Scenery::sceneryColor(const QColor& base, double opacity) {
    QColor color = base.toRgb();
    color.setAlphaF(static_cast<float>(std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 1.0));
    return color;
}

QVariantList Scenery::beatSpringCurve() {
    // Cubic Hermite pieces through samples of the spring, written as Bézier segments: the control points sit
    // a third of a step along the slope at either end. No more than ten: Qt 6.4's easing curve keeps room for
    // ten segments and writes past it for more, corrupting memory the first time such a curve runs. Ten pieces
    // follow the spring to within 0.002.
    constexpr int pieces = maxBezierSegments;
    const double total = beatSpring.settlingTime();
    const double h = total / pieces;
    auto value = [&](double t) { return t >= total ? 1.0 : beatSpring.valueAt(t); };
    // The spring's own slope over a short span (a wide span misjudged the start once the pieces grew long): at
    // the start it is at rest, at the end the curve meets 1.
    auto slope = [&](double t) {
        const double e = 1e-5;
        const double before = std::max(t - e, 0.0);
        return (beatSpring.valueAt(t + e) - beatSpring.valueAt(before)) / (t + e - before);
    };
    QVariantList curve;
    for (int i = 0; i < pieces; ++i) {
        const double t0 = i * h;
        const double t1 = (i + 1) * h;
        const double y0 = value(t0);
        const double y1 = i + 1 == pieces ? 1.0 : value(t1);
        const double x0 = t0 / total;
        const double x1 = t1 / total;
        const double dx = (x1 - x0) / 3;
        curve << x0 + dx << y0 + slope(t0) * h / 3 << x1 - dx << y1 - slope(t1) * h / 3 << x1 << y1;
    }
    return curve;
}

int Scenery::beatSpringDuration() {
    return static_cast<int>(std::lround(beatSpring.settlingTime() * 1000));
}

QVariantList Scenery::easeInOut() { return nudge::kEaseInOut.qmlCurve(); }
QVariantList Scenery::easeOut() { return nudge::kEaseOut.qmlCurve(); }

QVariantMap Scenery::pointerState(int beat) {
    const PointerState s = onboarding::pointerState(beatFromInt(beat));
    return {{"onTask", s.onTask}, {"tint", s.tint}, {"label", s.label}, {"accessibleLabel", s.accessibleLabel},
            {"opacity", s.opacity}};
}

QVariantMap Scenery::designPageState(int beat) {
    const DesignPageState s = onboarding::designPageState(beatFromInt(beat));
    return {{"progress", s.progress}, {"features", s.features}, {"reviews", s.reviews},
            {"headlineSelected", s.headlineSelected}};
}

QVariantMap Scenery::landingPageParts(int progress) {
    const LandingPageParts p = onboarding::landingPageParts(progress);
    return {{"headlineSelected", p.headlineSelected}, {"featureRow", p.featureRow},
            {"featureRowSelected", p.featureRowSelected}, {"review", p.review}};
}

} // namespace tavrine::onboarding
