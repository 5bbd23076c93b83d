#include "tavrine/onboarding/CoachModel.h"

#include "tavrine/core/Clock.h"
#include "tavrine/historyview/TimelineModel.h"

#include <QCoreApplication>

namespace tavrine::onboarding {

CoachModel::CoachModel(QObject* parent)
    : QObject(parent), m_content(coachContent(m_beat)), m_timeline(new TimelineModel(this)) {}

CoachModel::~CoachModel() = default;

void CoachModel::setClock(const Clock* clock) {
    m_clock = clock;
}

void CoachModel::setBeat(int beat) {
    const RehearsalBeat next = beatFromInt(beat);
    if (next == m_beat)
        return;
    emit beatAboutToChange();
    const int countBefore = driftCount();
    const bool wasCounting = counting();
    const bool hadTimeline = showsTimeline();
    m_beat = next;
    m_content = coachContent(next);
    emit beatChanged();
    if (wasCounting != counting())
        emit driftChanged();
    updateFraction();
    progressMoved(countBefore); // the bars follow the beat
    if (hadTimeline != showsTimeline())
        emit timelineChanged();
}

void CoachModel::setDriftStarted(const QDateTime& started) {
    if (started == m_driftStarted || (!started.isValid() && !m_driftStarted.isValid()))
        return;
    const int countBefore = driftCount();
    m_driftStarted = started;
    emit driftChanged();
    updateFraction();
    progressMoved(countBefore);
}

void CoachModel::setPace(double pace) {
    if (pace == m_pace)
        return;
    const int countBefore = driftCount();
    m_pace = pace;
    emit driftChanged();
    updateFraction();
    progressMoved(countBefore);
}

void CoachModel::setTrayEdge(int edge) {
    if (edge == m_trayEdge)
        return;
    m_trayEdge = edge;
    emit beatChanged();
}

void CoachModel::setSampleTimeline(const SessionTimeline& sample, const QDateTime& firstEntry, bool hasEntries) {
    m_sample = sample;
    m_hasEntries = hasEntries;
    m_timeline->setTimeline(sample, firstEntry);
    emit timelineChanged();
}

QString CoachModel::body() const {
    return coachBody(m_beat, static_cast<Qt::Edge>(m_trayEdge));
}

QString CoachModel::counterLabel() {
    return QCoreApplication::translate("RehearsalCoach", "%1 seconds of drift, sped up").arg(coachDriftSeconds);
}

QVariantList CoachModel::barFills() const {
    QVariantList fills;
    for (int bar = 0; bar < rehearsalBeatCount; ++bar)
        fills.append(storyBarFill(bar, m_beat, counting(), m_fraction));
    return fills;
}

void CoachModel::tick() {
    const double before = m_fraction;
    const int countBefore = driftCount();
    updateFraction();
    if (m_fraction != before)
        progressMoved(countBefore);
}

void CoachModel::progressMoved(int countBefore) {
    emit progressChanged();
    if (driftCount() != countBefore)
        emit countChanged();
}

void CoachModel::updateFraction() {
    if (!counting()) {
        m_fraction = 0;
        return;
    }
    const Clock& clock = m_clock ? *m_clock : Clock::system();
    const double started = m_driftStarted.toMSecsSinceEpoch() / 1000.0;
    const double now = clock.date().toMSecsSinceEpoch() / 1000.0;
    m_fraction = driftFraction(started, now, m_pace);
}

} // namespace tavrine::onboarding
