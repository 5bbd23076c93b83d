#pragma once

#include "tavrine/onboarding/RehearsalVideo.h"

#include "tavrine/core/Cancellation.h"
#include "tavrine/model/ActivityEvidence.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>
#include <optional>

namespace tavrine {
class Clock;
class FocusSession;
class NudgeSpeaking;
} // namespace tavrine

namespace tavrine::onboarding {

// The staged practice run of the first-run flow: a real session in rehearsal mode walked through seven beats
// (at work, tempted, drifting, nudged, back on task, researching, finished). Each beat holds until the user does
// what it asks, or until its time runs out; the script is ticked every 40 ms on the injected clock.
//
// Main thread only. The session is held weakly and reached only through its rehearsal calls.
class OnboardingRehearsal final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the onboarding flow")
    Q_PROPERTY(Beat beat READ beat NOTIFY beatChanged)
    Q_PROPERTY(bool isOnTask READ isOnTask NOTIFY beatChanged)
    // Invalid while no drift was rehearsed.
    Q_PROPERTY(QDateTime driftStarted READ driftStartedDate NOTIFY driftStartedChanged)
    Q_PROPERTY(bool running READ isRunning NOTIFY runningChanged)

public:
    enum class Beat { Working, Tempted, Drifting, Nudged, Returned, Researching, Finished };
    Q_ENUM(Beat)
    using Video = RehearsalVideo;

    // One beat begun. `at` is continuous time (uptime plus time asleep), which a change of the wall clock never
    // moves; the date only labels it.
    struct Entry {
        Beat beat = Beat::Working;
        double at = 0;
        QDateTime date;
        bool operator==(const Entry&) const = default;
    };

    // The recorded voice of the scripted nudge; none makes a silent nudge.
    using SpeakerFactory = std::function<std::shared_ptr<NudgeSpeaking>()>;

    static const QString intention;
    static constexpr int minutes = 30;
    static const QString nudgeText;
    static constexpr double tick = 0.04;
    static constexpr double answerHold = 180;
    static constexpr double driftHold = 5;

    explicit OnboardingRehearsal(Clock& clock, SpeakerFactory speakers = {}, Beat beat = Beat::Working,
                                 QList<Entry> entered = {}, QObject* parent = nullptr);
    ~OnboardingRehearsal() override;

    // Starts the rehearsal on `session`; its first beat comes on the next turn of the event loop. False, changing
    // nothing, while a script runs or when the session refuses (a session or another rehearsal is on).
    bool start(FocusSession* session, std::function<void()> onEnd);
    // Makes the next start's speaker now (its recording is read and converted), so that the start does not wait
    // for it. Nothing while one is kept.
    void prepareSpeaker();
    // Ends the rehearsal: the session's rehearsal ends and `onEnd` runs once. Safe when nothing runs.
    void finish();
    // The user's skip: the script stops, then the rehearsal finishes. Nothing when no script runs.
    Q_INVOKABLE void skip();

    // The coach's Next, Return or Enter: answers the working, returned, researching and finished beats.
    Q_INVOKABLE void answerNext();
    // The video window became active: answers the tempted beat.
    void answerVideoActivated();
    // Whether the beat takes the coach's Next (and Return).
    static bool takesNext(Beat beat);
    Q_INVOKABLE bool takesNext() const { return takesNext(m_beat); }

    Beat beat() const { return m_beat; }
    bool isOnTask() const { return m_beat != Beat::Drifting && m_beat != Beat::Nudged; }
    const std::optional<QDateTime>& driftStarted() const { return m_driftStarted; }
    QDateTime driftStartedDate() const { return m_driftStarted.value_or(QDateTime()); }
    bool isRunning() const { return m_running; }
    bool answered() const { return m_answered; }
    const QList<Entry>& entered() const { return m_entered; }
    double pace() const { return m_pace; }
    // The clock the script runs on, which the views' own timing reads too.
    Clock& clock() const { return m_clock; }
    // Scales every hold; read when a hold begins.
    void setPace(double pace) { m_pace = pace; }
    void setOnBeat(std::function<void(Beat)> onBeat) { m_onBeat = std::move(onBeat); }

    // What the scripted nudge is about.
    static ActivityEvidence scriptedEvidence();
    // The beat of a raw value; none for 7 or more and for negatives.
    static std::optional<Beat> beatFromRaw(int raw);

signals:
    void beatChanged();
    void driftStartedChanged();
    void runningChanged();

private:
    QCoro::Task<void> runScript(CancellationToken token, std::shared_ptr<bool> alive);
    // One step of the script; false once it has walked every beat.
    bool step();
    void enter(Beat beat);
    void setBeat(Beat beat);
    void setDriftStarted(std::optional<QDateTime> date);
    void setRunning(bool running);
    double continuousNow() const;
    bool rehearsing() const;

    Clock& m_clock;
    SpeakerFactory m_speakers;
    std::optional<std::shared_ptr<NudgeSpeaking>> m_preparedSpeaker;
    Beat m_beat;
    std::optional<QDateTime> m_driftStarted;
    double m_pace = 1.0;
    std::function<void(Beat)> m_onBeat;
    std::optional<CancellationSource> m_script;
    bool m_running = false;
    QPointer<FocusSession> m_session;
    std::function<void()> m_onEnd;
    bool m_answered = false;
    QList<Entry> m_entered;
    // The beat being held, none before the first; its deadline in continuous time and whether an answer ends it.
    std::optional<Beat> m_holding;
    double m_deadline = 0;
    bool m_untilAnswered = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tavrine::onboarding
