#pragma once

#include <QString>

namespace tavrine {

// What the session's monitor is doing, for the shell's status view. Two of the cases carry the text to show.
struct MonitoringState {
    enum class Kind {
        Unreadable,
        CheckFailed,
        Waiting,
        Monitoring,
        Checking,
        Paused,
        AccessibilityRequired,
        ScreenRecordingRecommended,
    };

    Kind kind = Kind::Waiting;
    // Only for Unreadable and CheckFailed; empty otherwise.
    QString text;

    static MonitoringState unreadable(const QString& text) { return {Kind::Unreadable, text}; }
    static MonitoringState checkFailed(const QString& text) { return {Kind::CheckFailed, text}; }
    static MonitoringState waiting() { return {Kind::Waiting, {}}; }
    static MonitoringState monitoring() { return {Kind::Monitoring, {}}; }
    static MonitoringState checking() { return {Kind::Checking, {}}; }
    static MonitoringState paused() { return {Kind::Paused, {}}; }
    static MonitoringState accessibilityRequired() { return {Kind::AccessibilityRequired, {}}; }
    static MonitoringState screenRecordingRecommended() { return {Kind::ScreenRecordingRecommended, {}}; }

    // The case name in lower camel case ("unreadable", "checkFailed", "waiting", …).
    QString caseName() const;

    friend bool operator==(const MonitoringState&, const MonitoringState&) = default;
};

} // namespace tavrine
