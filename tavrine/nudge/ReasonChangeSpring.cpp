#include "tavrine/nudge/ReasonChangeSpring.h"

#include "tavrine/core/Observable.h"
#include "tavrine/nudge/NudgeMotion.h"

namespace tavrine::nudge {

void ReasonChangeSpring::setTarget(double target) {
    const bool first = !m_hasTarget;
    m_hasTarget = true;
    if (!assignIfChanged(m_target, target) && !first)
        return;
    emit targetChanged();
    if (first || !m_animated) {
        m_motion.stop();
        setValue(target);
        return;
    }
    m_motion.start(m_value);
}

void ReasonChangeSpring::setAnimated(bool animated) {
    if (!assignIfChanged(m_animated, animated))
        return;
    if (!animated) {
        m_motion.stop();
        setValue(m_target);
    }
    emit animatedChanged();
}

void ReasonChangeSpring::step() {
    static const double settled = kReasonChangeSpring.settlingTime();
    const double elapsed = m_motion.elapsed();
    if (elapsed >= settled) {
        m_motion.stop();
        setValue(m_target);
        return;
    }
    setValue(m_motion.from() + (m_target - m_motion.from()) * kReasonChangeSpring.valueAt(elapsed));
}

void ReasonChangeSpring::setValue(double value) {
    if (assignIfChanged(m_value, value))
        emit valueChanged();
}

} // namespace tavrine::nudge
