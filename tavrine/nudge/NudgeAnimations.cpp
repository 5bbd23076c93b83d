#include "tavrine/nudge/NudgeAnimations.h"

#include "tavrine/nudge/NudgeMotion.h"

namespace tavrine::nudge {

QVariantList NudgeAnimations::easeOut() { return kEaseOut.qmlCurve(); }
QVariantList NudgeAnimations::easeIn() { return kEaseIn.qmlCurve(); }
QVariantList NudgeAnimations::easeInOut() { return kEaseInOut.qmlCurve(); }

} // namespace tavrine::nudge
