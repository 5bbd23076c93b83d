#include "tavrine/shell/MonitoringStatusModel.h"

#include "tavrine/session/FocusSession.h"

namespace tavrine::shell {

MonitoringStatusRow MonitoringStatusRow::forState(const MonitoringState& state) {
    using Kind = MonitoringState::Kind;
    switch (state.kind) {
    case Kind::Unreadable:
        return {QStringLiteral("eye.slash"), false, state.text, false, Fix::None};
    case Kind::CheckFailed:
        return {QStringLiteral("eye.slash"), false, state.text, true, Fix::None};
    case Kind::Waiting:
        return {QStringLiteral("eye"), false, QStringLiteral("Waiting for another app"), false, Fix::None};
    case Kind::Monitoring:
        return {QStringLiteral("eye.fill"), false, QStringLiteral("Monitoring on this computer"), false, Fix::None};
    case Kind::Checking:
        return {QString(), true, QStringLiteral("Checking\u2026"), false, Fix::None};
    case Kind::Paused:
        return {QStringLiteral("pause.circle"), false, QStringLiteral("Monitoring paused"), false, Fix::None};
    case Kind::AccessibilityRequired:
        return {QStringLiteral("exclamationmark.triangle.fill"), false,
                QStringLiteral("Can\u2019t monitor without Accessibility"), true, Fix::Accessibility};
    case Kind::ScreenRecordingRecommended:
        return {QStringLiteral("eye.slash"), false, QStringLiteral("Can\u2019t monitor without Screen Recording"), true,
                Fix::ScreenRecording};
    }
    return {};
}

MonitoringState MonitoringStatusRow::shownState(const MonitoringState& state,
                                                const std::optional<QString>& checkFailure) {
    const bool permission = state.kind == MonitoringState::Kind::AccessibilityRequired ||
                            state.kind == MonitoringState::Kind::ScreenRecordingRecommended;
    if (permission || !checkFailure)
        return state;
    return MonitoringState::checkFailed(*checkFailure);
}

MonitoringState MonitoringStatusRow::shownState(const FocusSession& session) {
    return shownState(session.monitoringState(),
                      session.lastCheckFailed() ? std::optional(session.lastCheckFailure()) : std::nullopt);
}

bool MonitoringStatusRow::shownWhileRunning(const MonitoringState& state) {
    return state.kind == MonitoringState::Kind::AccessibilityRequired ||
           state.kind == MonitoringState::Kind::ScreenRecordingRecommended ||
           state.kind == MonitoringState::Kind::CheckFailed;
}

MonitoringStatusModel::MonitoringStatusModel(FocusSession& session, QObject* parent)
    : QObject(parent), m_session(&session),
      m_row(MonitoringStatusRow::forState(MonitoringStatusRow::shownState(session))) {
    connect(&session, &FocusSession::monitoringStateChanged, this, &MonitoringStatusModel::update);
    connect(&session, &FocusSession::lastCheckFailedChanged, this, &MonitoringStatusModel::update);
}

void MonitoringStatusModel::update() {
    if (!m_session)
        return;
    const MonitoringStatusRow row = MonitoringStatusRow::forState(MonitoringStatusRow::shownState(*m_session));
    if (row == m_row)
        return;
    m_row = row;
    emit rowChanged();
}

void MonitoringStatusModel::fix() {
    // The desktop has no permission prompt: opening the settings is the whole request.
    switch (m_row.fix) {
    case MonitoringStatusRow::Fix::Accessibility:
        FocusSession::openPrivacySettings(QStringLiteral("Privacy_Accessibility"));
        break;
    case MonitoringStatusRow::Fix::ScreenRecording:
        FocusSession::openPrivacySettings(QStringLiteral("Privacy_ScreenCapture"));
        break;
    case MonitoringStatusRow::Fix::None:
        break;
    }
}

} // namespace tavrine::shell
