#include "tavrine/shell/RunningSessionModel.h"

#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryText.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/shell/MonitoringStatusModel.h"

namespace tavrine::shell {

RunningSessionModel::RunningSessionModel(FocusSession& session, QObject* parent)
    : QObject(parent), m_session(&session) {
    for (auto signal : {&FocusSession::phaseChanged, &FocusSession::remainingChanged, &FocusSession::intentionChanged,
                        &FocusSession::isFocusSessionChanged, &FocusSession::driftTextChanged,
                        &FocusSession::monitoringStateChanged, &FocusSession::lastCheckFailedChanged})
        connect(&session, signal, this, &RunningSessionModel::update);
    update();
}

QString RunningSessionModel::pauseResumeTitle() const {
    return m_state.paused ? QStringLiteral("Resume focus") : QStringLiteral("Take a break");
}

void RunningSessionModel::togglePause() {
    if (!m_session)
        return;
    if (m_session->phase() == SessionPhase::Paused)
        m_session->resume();
    else
        m_session->pause();
}

void RunningSessionModel::endSession() {
    if (m_session)
        m_session->stop(false);
}

void RunningSessionModel::setHistory(SessionHistory* history) {
    if (m_history)
        disconnect(m_history, nullptr, this, nullptr);
    m_history = history;
    if (m_history)
        connect(m_history, &SessionHistory::waitingChanged, this, &RunningSessionModel::update);
    update();
}

void RunningSessionModel::update() {
    if (!m_session)
        return;
    State state;
    state.isFocusSession = m_session->isFocusSession();
    state.title = state.isFocusSession ? QStringLiteral("Focus mode") : m_session->intention();
    state.countdown = m_session->remainingText();
    state.paused = m_session->phase() == SessionPhase::Paused;
    state.driftText = m_session->driftText();
    state.showsMonitoringStatus = MonitoringStatusRow::shownWhileRunning(MonitoringStatusRow::shownState(*m_session));
    if (m_history && m_session->isActive())
        state.storeNotice = runningStoreNotice(m_history->runningLoss());
    if (state == m_state)
        return;
    m_state = std::move(state);
    emit stateChanged();
}

} // namespace tavrine::shell
