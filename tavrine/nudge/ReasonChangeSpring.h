#pragma once

#include "tavrine/nudge/FrameTime.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace tavrine::nudge {

// A length that follows `target`: at once while not `animated`, else carried there by the spring the open notch
// panel resizes with when a new nudge text arrives, from wherever it stands. The first target is taken as it is.
class ReasonChangeSpring : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double target READ target WRITE setTarget NOTIFY targetChanged)
    Q_PROPERTY(bool animated READ animated WRITE setAnimated NOTIFY animatedChanged)
    Q_PROPERTY(double value READ value NOTIFY valueChanged)
public:
    explicit ReasonChangeSpring(QObject* parent = nullptr) : QObject(parent) {}

    double target() const { return m_target; }
    void setTarget(double target);
    bool animated() const { return m_animated; }
    void setAnimated(bool animated);
    double value() const { return m_value; }
    bool moving() const { return m_motion.running(); }
    // Steps to the frame time now; the timer calls it, tests may too.
    void step();

signals:
    void targetChanged();
    void animatedChanged();
    void valueChanged();

private:
    void setValue(double value);

    double m_target = 0;
    bool m_hasTarget = false;
    bool m_animated = false;
    double m_value = 0;
    FrameMotion m_motion{this, [this] { step(); }};
};

} // namespace tavrine::nudge
