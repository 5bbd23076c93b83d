#include "tavrine/nudge/ReasonChangeSpring.h"

#include "tavrine/core/Observable.h"
#include "tavrine/nudge/FrameTime.h"
#include "tavrine/nudge/NudgeMotion.h"

namespace tavrine::nudge {

ReasonChangeSpring::ReasonChangeSpring(QObject* parent) : QObject(parent) {
    m_timer.setInterval(16);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReasonChangeSpring::step);
}

void ReasonChangeSpring::setTarget(double target) {
    const bool first = !m_hasTarget;
    m_hasTarget = true;
    if (!assignIfChanged(m_target, target) && !first)
        return;
    emit targetChanged();
    if (first || !m_animated) {
        m_timer.stop();
        setValue(target);
        return;
    }
    m_from = m_value;
    m_startedAt = FrameTime::now();
    m_timer.start();
}

void ReasonChangeSpring::setAnimated(bool animated) {
    if (!assignIfChanged(m_animated, animated))
        return;
    if (!animated) {
        m_timer.stop();
        setValue(m_target);
    }
    emit animatedChanged();
}

void ReasonChangeSpring::step() {
    static const double settled = kReasonChangeSpring.settlingTime();
    const double elapsed = FrameTime::now() - m_startedAt;
    if (elapsed >= settled) {
        m_timer.stop();
        setValue(m_target);
        return;
    }
    setValue(m_from + (m_target - m_from) * kReasonChangeSpring.valueAt(elapsed));
}

void ReasonChangeSpring::setValue(double value) {
    if (assignIfChanged(m_value, value))
        emit valueChanged();
}

} // namespace tavrine::nudge
