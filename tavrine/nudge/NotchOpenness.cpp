#include "tavrine/nudge/NotchOpenness.h"

#include "tavrine/core/Observable.h"

namespace tavrine::nudge {

void NotchOpenness::setOpen(bool open) {
    if (!assignIfChanged(m_open, open))
        return;
    emit openChanged();
    if (!m_animated) {
        setProgress(open ? 1 : 0);
        return;
    }
    m_motion.start(m_progress);
}

void NotchOpenness::setReduceMotion(bool reduce) {
    if (assignIfChanged(m_reduceMotion, reduce))
        emit reduceMotionChanged();
}

void NotchOpenness::setAnimated(bool animated) {
    if (!assignIfChanged(m_animated, animated))
        return;
    if (!animated) {
        m_motion.stop();
        setProgress(m_open ? 1 : 0);
    }
    emit animatedChanged();
}

double NotchOpenness::progressAt(double from, double elapsed) const {
    const double target = m_open ? 1 : 0;
    double fraction;
    if (m_reduceMotion)
        fraction = elapsed >= 0.2 ? 1 : kEaseInOut.valueAt(elapsed / 0.2);
    else {
        const SpringMotion& spring = m_open ? kNotchOpenSpring : kNotchCloseSpring;
        fraction = elapsed >= spring.settlingTime() ? 1 : spring.valueAt(elapsed);
    }
    return from + (target - from) * fraction;
}

void NotchOpenness::step() {
    const double value = progressAt(m_motion.from(), m_motion.elapsed());
    setProgress(value);
    if (value == (m_open ? 1 : 0))
        m_motion.stop();
}

void NotchOpenness::setProgress(double progress) {
    if (assignIfChanged(m_progress, progress))
        emit progressChanged();
}

} // namespace tavrine::nudge
