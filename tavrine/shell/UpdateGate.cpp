#include "tavrine/shell/UpdateGate.h"

#include "tavrine/session/FocusSession.h"

namespace tavrine::shell {

UpdateGate::UpdateGate(std::function<bool()> isBusy, QObject* parent) : QObject(parent), m_isBusy(std::move(isBusy)) {}

std::unique_ptr<UpdateGate> UpdateGate::forSession(FocusSession& session, QObject* parent) {
    QPointer<FocusSession> watched(&session);
    auto gate = std::make_unique<UpdateGate>(
        [watched] {
            return watched && (watched->isActive() || watched->rehearsalIntention().has_value() ||
                               watched->backgroundWritersRunning());
        },
        parent);
    gate->observe(&session, &FocusSession::phaseChanged);
    gate->observe(&session, &FocusSession::rehearsalIntentionChanged);
    gate->observe(&session, &FocusSession::backgroundWritersRunningChanged);
    return gate;
}

bool UpdateGate::mayPerformUpdateCheck(UpdaterController& updater, int kind, UpdaterError* error) {
    if (kind == UpdaterController::Background && m_isBusy()) {
        m_updater = &updater;
        m_deferredCheck = true;
        if (error)
            *error = UpdaterError{QStringLiteral("UpdateGate"), 1, QStringLiteral("A focus session is in progress.")};
        return false;
    }
    return true;
}

bool UpdateGate::shouldPostponeRelaunch(UpdaterController&, const UpdateItem&, std::function<void()> relaunch) {
    if (!m_isBusy())
        return false;
    m_pendingRelaunch = std::move(relaunch);
    return true;
}

void UpdateGate::scheduleResume() {
    if (m_resumeQueued)
        return;
    m_resumeQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_resumeQueued = false;
            resumeIfIdle();
        },
        Qt::QueuedConnection);
}

void UpdateGate::resumeIfIdle() {
    if (m_isBusy())
        return;
    if (m_pendingRelaunch) {
        const auto relaunch = std::exchange(m_pendingRelaunch, nullptr);
        relaunch();
        return;
    }
    if (m_deferredCheck) {
        m_deferredCheck = false;
        if (m_updater)
            m_updater->checkForUpdatesInBackground();
    }
}

} // namespace tavrine::shell
