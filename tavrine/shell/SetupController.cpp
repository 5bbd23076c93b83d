#include "tavrine/shell/SetupController.h"

#include "tavrine/core/Text.h"
#include "tavrine/session/FocusSession.h"

namespace tavrine::shell {

SetupController::SetupController(FocusSession& session, std::function<void()> closeFocusWindow, QObject* parent)
    : QObject(parent), m_session(&session), m_closeFocusWindow(std::move(closeFocusWindow)) {
    for (auto signal : {&FocusSession::intentionChanged, &FocusSession::minutesChanged,
                        &FocusSession::accessibilityReadyChanged, &FocusSession::screenReadyChanged})
        connect(&session, signal, this, &SetupController::update);
    update();
}

void SetupController::setIntention(const QString& intention) {
    if (m_session)
        m_session->setIntention(intention);
}

QString SetupController::hintFor(bool accessibilityReady, bool screenReady) {
    if (!accessibilityReady)
        return QStringLiteral("Enable Accessibility in Settings to start.");
    if (!screenReady)
        return QStringLiteral("Enable Screen Recording in Settings to start.");
    return {};
}

void SetupController::startSession() {
    start(false);
}

void SetupController::startFocusMode() {
    start(true);
}

void SetupController::submitIntention() {
    if (m_state.blank)
        startFocusMode();
    else
        startSession();
}

void SetupController::start(bool focusMode) {
    if (!m_session || m_session->isActive())
        return;
    m_session->refreshPermissions();
    const bool allowed = focusMode ? m_session->canStartFocusMode() : m_session->canStart();
    // A refused start says nothing: the disabled buttons and the hint already tell why.
    if (!allowed || m_session->isActive() || m_session->rehearsalIntention())
        return;
    if (focusMode)
        m_session->setIntention(QString());
    m_session->start(focusMode);
    if (m_session->isActive() && m_closeFocusWindow)
        m_closeFocusWindow();
}

void SetupController::update() {
    if (!m_session)
        return;
    State state;
    state.intention = m_session->intention();
    state.blank = text::trimmed(state.intention).isEmpty();
    state.tooLong = text::graphemeCount(state.intention) > intentionLimit;
    state.startHint = hintFor(m_session->accessibilityReady(), m_session->screenReady());
    state.canStart = m_session->canStart();
    state.canStartFocusMode = m_session->canStartFocusMode();
    if (state == m_state)
        return;
    m_state = std::move(state);
    emit stateChanged();
}

} // namespace tavrine::shell
