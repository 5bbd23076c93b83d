#pragma once

#include "tavrine/history/SessionTimeline.h"
#include "tavrine/historyview/TimelineModel.h"
#include "tavrine/onboarding/CoachCopy.h"

#include <QDateTime>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tavrine {
class Clock;
} // namespace tavrine

namespace tavrine::onboarding {

// What the rehearsal coach shows, from the rehearsal's beat, drift start, pace and entered beats. The stage
// copies those in; the card's frame loop calls tick() while `counting`, which reads the rehearsal's clock.
class CoachModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int beat READ beat WRITE setBeat NOTIFY beatChanged)
    Q_PROPERTY(QDateTime driftStarted READ driftStarted WRITE setDriftStarted NOTIFY driftChanged)
    Q_PROPERTY(double pace READ pace WRITE setPace NOTIFY driftChanged)
    Q_PROPERTY(int trayEdge READ trayEdge WRITE setTrayEdge NOTIFY beatChanged)
    Q_PROPERTY(QString title READ title NOTIFY beatChanged)
    Q_PROPERTY(QString body READ body NOTIFY beatChanged)
    Q_PROPERTY(int element READ element NOTIFY beatChanged)
    Q_PROPERTY(QString buttonTitle READ buttonTitle NOTIFY beatChanged)
    Q_PROPERTY(QString prompt READ prompt NOTIFY beatChanged)
    Q_PROPERTY(QString stepLabel READ stepLabel NOTIFY beatChanged)
    Q_PROPERTY(QString counterLabel READ counterLabel CONSTANT)
    Q_PROPERTY(bool counting READ counting NOTIFY driftChanged)
    Q_PROPERTY(bool showsCounter READ showsCounter NOTIFY driftChanged)
    Q_PROPERTY(QVariantList barFills READ barFills NOTIFY progressChanged)
    Q_PROPERTY(int driftCount READ driftCount NOTIFY countChanged)
    Q_PROPERTY(QVariantList counterRuns READ counterRuns NOTIFY countChanged)
    Q_PROPERTY(bool showsTimeline READ showsTimeline NOTIFY timelineChanged)
    Q_PROPERTY(tavrine::TimelineModel* timeline READ timeline CONSTANT)
public:
    enum Element { NextButton = 0, Prompt = 1, DriftCounter = 2 };
    Q_ENUM(Element)

    // Without a clock, the real one.
    explicit CoachModel(QObject* parent = nullptr);
    ~CoachModel() override;
    void setClock(const Clock* clock);

    int beat() const { return static_cast<int>(m_beat); }
    void setBeat(int beat);
    QDateTime driftStarted() const { return m_driftStarted; }
    void setDriftStarted(const QDateTime& started); // an invalid date: the drift has not started
    double pace() const { return m_pace; }
    void setPace(double pace);
    int trayEdge() const { return m_trayEdge; }
    void setTrayEdge(int edge);
    // The rehearsal's sample timeline and whether any beat was entered; the timeline starts at the first entry.
    void setSampleTimeline(const SessionTimeline& sample, const QDateTime& firstEntry, bool hasEntries);

    QString title() const { return m_content.title; }
    QString body() const;
    int element() const { return static_cast<int>(m_content.element); }
    QString buttonTitle() const { return m_content.buttonTitle; }
    QString prompt() const { return m_content.prompt; }
    QString stepLabel() const { return storyStepLabel(m_beat); }
    static QString counterLabel();
    bool counting() const { return m_beat == RehearsalBeat::Drifting && m_driftStarted.isValid(); }
    bool showsCounter() const { return counting(); }
    QVariantList barFills() const;
    double fraction() const { return m_fraction; }
    int driftCount() const { return onboarding::driftCount(m_fraction); }
    QVariantList counterRuns() const { return textRuns(driftCounterText(driftCount())); }
    bool showsTimeline() const { return onboarding::showsTimeline(m_beat, m_hasEntries, m_sample); }
    TimelineModel* timeline() const { return m_timeline; }

    // One animation frame: reads the clock and moves the drift clock on.
    Q_INVOKABLE void tick();

signals:
    // Just before a new beat's content replaces the current one, so the card can keep a copy to fade out.
    void beatAboutToChange();
    void beatChanged();
    void driftChanged();
    // Every frame of a drift: the bars.
    void progressChanged();
    // Only when the whole seconds counted change, so the counter's text is laid out again 45 times, not each frame.
    void countChanged();
    void timelineChanged();

private:
    void updateFraction();
    // Emits the progress, and the count when it differs from `countBefore`.
    void progressMoved(int countBefore);

    const Clock* m_clock = nullptr;
    RehearsalBeat m_beat = RehearsalBeat::Working;
    CoachContent m_content;
    QDateTime m_driftStarted;
    double m_pace = 1;
    int m_trayEdge = Qt::TopEdge;
    double m_fraction = 0;
    SessionTimeline m_sample;
    bool m_hasEntries = false;
    TimelineModel* m_timeline;
};

} // namespace tavrine::onboarding
