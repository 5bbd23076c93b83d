#include "tavrine/nudge/NotchNudgeState.h"

#include "tavrine/core/Observable.h"

namespace tavrine::nudge {

void NotchNudgeState::setIsOpen(bool open) {
    if (assignIfChanged(m_isOpen, open))
        emit isOpenChanged();
}

void NotchNudgeState::setNotch(const QSizeF& notch) {
    if (assignIfChanged(m_notch, notch))
        emit notchChanged();
}

void NotchNudgeState::setReason(const QString& reason) {
    if (assignIfChanged(m_reason, reason))
        emit reasonChanged();
}

void NotchNudgeState::setIntention(const QString& intention) {
    if (assignIfChanged(m_intention, intention))
        emit intentionChanged();
}

void NotchNudgeState::setIsFocusSession(bool focus) {
    if (assignIfChanged(m_isFocusSession, focus))
        emit isFocusSessionChanged();
}

void NotchNudgeState::setRevealedAt(double at) {
    if (assignIfChanged(m_revealedAt, at))
        emit revealedAtChanged();
}

} // namespace tavrine::nudge
