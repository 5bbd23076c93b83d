#pragma once

#include "tavrine/core/Cancellation.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <memory>

namespace tavrine {

class Clock;

// The poster's fake progress at `elapsed` seconds after it opened: 22 % creeping to 72 % over two minutes.
double posterProgress(double elapsed);

// Drives the poster's scrubber: `progress` follows `posterProgress` on the clock, at most one change per 50 ms,
// and stands still under reduce motion. It stops ticking once the progress is final, and when destroyed.
class PosterScrubber : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(bool reduceMotion READ reduceMotion WRITE setReduceMotion NOTIFY reduceMotionChanged)
public:
    static constexpr double tickSeconds = 0.05;

    // On the system clock (made by QML).
    explicit PosterScrubber(QObject* parent = nullptr);
    PosterScrubber(Clock& clock, bool reduceMotion, QObject* parent = nullptr);
    ~PosterScrubber() override;

    double progress() const { return m_progress; }
    bool reduceMotion() const { return m_reduceMotion; }
    void setReduceMotion(bool reduce);
    // Whether a tick loop runs.
    bool isTicking() const { return m_ticks != nullptr; }

signals:
    void progressChanged();
    void reduceMotionChanged();

private:
    double elapsed() const;
    void update();
    void startTicking();
    void stopTicking();

    Clock& m_clock;
    double m_opened;
    double m_progress;
    bool m_reduceMotion = false;
    std::shared_ptr<CancellationSource> m_ticks;
};

} // namespace tavrine
