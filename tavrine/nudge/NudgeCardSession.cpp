#include "tavrine/nudge/NudgeCardSession.h"

#include "tavrine/session/FocusSession.h"

namespace tavrine::nudge {

NudgeCardSession::NudgeCardSession(QObject* parent) : QObject(parent) {}

NudgeCardSession::NudgeCardSession(FocusSession* session, QObject* parent) : QObject(parent) {
    setSession(session);
}

QObject* NudgeCardSession::sessionObject() const {
    return m_session.data();
}

void NudgeCardSession::setSessionObject(QObject* session) {
    setSession(qobject_cast<FocusSession*>(session));
}

void NudgeCardSession::setSession(FocusSession* session) {
    if (m_session == session)
        return;
    for (const auto& connection : m_connections)
        disconnect(connection);
    m_connections.clear();
    m_session = session;
    if (session) {
        m_connections << connect(session, &FocusSession::pendingNudgeReasonChanged, this,
                                 &NudgeCardSession::reasonChanged);
        m_connections << connect(session, &FocusSession::intentionChanged, this, &NudgeCardSession::intentionChanged);
        m_connections << connect(session, &FocusSession::rehearsalIntentionChanged, this, [this] {
            emit intentionChanged();
            emit pointsAtBackChanged();
        });
        m_connections << connect(session, &FocusSession::isFocusSessionChanged, this,
                                 &NudgeCardSession::isFocusSessionChanged);
    }
    emit sessionChanged();
    emit reasonChanged();
    emit intentionChanged();
    emit isFocusSessionChanged();
    emit pointsAtBackChanged();
}

QString NudgeCardSession::reason() const {
    return m_session ? m_session->pendingNudgeReason() : QString();
}

QString NudgeCardSession::intention() const {
    if (!m_session)
        return {};
    return m_session->rehearsalIntention().value_or(m_session->intention());
}

bool NudgeCardSession::isFocusSession() const {
    return m_session && m_session->isFocusSession();
}

bool NudgeCardSession::pointsAtBack() const {
    return m_session && m_session->rehearsalIntention().has_value();
}

NudgeVoiceMeter* NudgeCardSession::meter() const {
    return m_session ? &m_session->nudgeVoice() : nullptr;
}

void NudgeCardSession::returnToWork() {
    if (m_session)
        m_session->returnToWork();
}

void NudgeCardSession::grantSessionPass() {
    if (m_session)
        m_session->grantSessionPass();
}

void NudgeCardSession::pause() {
    if (m_session)
        m_session->pause();
}

void NudgeCardSession::acknowledgeNudge() {
    if (m_session)
        m_session->acknowledgeNudge();
}

} // namespace tavrine::nudge
