#pragma once

#include "tavrine/nudge/FrameTime.h"
#include "tavrine/nudge/NudgeMotion.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace tavrine::nudge {

// How far the notch silhouette has opened, 0 (the cap over the notch) to 1 (the whole panel), carried by a
// spring: a livelier one when opening, a calmer one when closing, a plain 0.2 s ease-in-out under less motion.
// Without animation it jumps.
class NotchOpenness : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool open READ open WRITE setOpen NOTIFY openChanged)
    Q_PROPERTY(bool reduceMotion READ reduceMotion WRITE setReduceMotion NOTIFY reduceMotionChanged)
    Q_PROPERTY(bool animated READ animated WRITE setAnimated NOTIFY animatedChanged)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
public:
    explicit NotchOpenness(QObject* parent = nullptr) : QObject(parent) {}

    bool open() const { return m_open; }
    void setOpen(bool open);
    bool reduceMotion() const { return m_reduceMotion; }
    void setReduceMotion(bool reduce);
    bool animated() const { return m_animated; }
    void setAnimated(bool animated);
    double progress() const { return m_progress; }
    // The progress `elapsed` seconds after a change from `from` towards the current target.
    double progressAt(double from, double elapsed) const;
    // Steps to the frame time now; the item's timer calls it, tests may too.
    void step();

signals:
    void openChanged();
    void reduceMotionChanged();
    void animatedChanged();
    void progressChanged();

private:
    void setProgress(double progress);

    bool m_open = false;
    bool m_reduceMotion = false;
    bool m_animated = true;
    double m_progress = 0;
    FrameMotion m_motion{this, [this] { step(); }};
};

} // namespace tavrine::nudge
