#include "tavrine/nudge/NudgeAnimations.h"

#include "tavrine/nudge/NudgeMotion.h"

#include <cmath>

namespace tavrine::nudge {

namespace {
int milliseconds(const SpringMotion& spring) {
    return int(std::ceil(spring.settlingTime() * 1000));
}
} // namespace

QVariantList NudgeAnimations::easeOut() { return kEaseOut.qmlCurve(); }
QVariantList NudgeAnimations::easeIn() { return kEaseIn.qmlCurve(); }
QVariantList NudgeAnimations::easeInOut() { return kEaseInOut.qmlCurve(); }
QVariantList NudgeAnimations::openSpring() { return kNotchOpenSpring.qmlCurve(); }
int NudgeAnimations::openSpringDuration() { return milliseconds(kNotchOpenSpring); }
QVariantList NudgeAnimations::closeSpring() { return kNotchCloseSpring.qmlCurve(); }
int NudgeAnimations::closeSpringDuration() { return milliseconds(kNotchCloseSpring); }
QVariantList NudgeAnimations::reasonSpring() { return kReasonChangeSpring.qmlCurve(); }
int NudgeAnimations::reasonSpringDuration() { return milliseconds(kReasonChangeSpring); }

} // namespace tavrine::nudge
