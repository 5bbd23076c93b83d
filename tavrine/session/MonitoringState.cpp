#include "tavrine/session/MonitoringState.h"

namespace tavrine {

QString MonitoringState::caseName() const {
    switch (kind) {
    case Kind::Unreadable:
        return QStringLiteral("unreadable");
    case Kind::CheckFailed:
        return QStringLiteral("checkFailed");
    case Kind::Waiting:
        return QStringLiteral("waiting");
    case Kind::Monitoring:
        return QStringLiteral("monitoring");
    case Kind::Checking:
        return QStringLiteral("checking");
    case Kind::Paused:
        return QStringLiteral("paused");
    case Kind::AccessibilityRequired:
        return QStringLiteral("accessibilityRequired");
    case Kind::ScreenRecordingRecommended:
        return QStringLiteral("screenRecordingRecommended");
    }
    return {};
}

} // namespace tavrine
