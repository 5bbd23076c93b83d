#include "tavrine/model/SessionPhase.h"

namespace tavrine {

QString rawValue(SessionPhase phase) {
    switch (phase) {
    case SessionPhase::Idle:
        return QStringLiteral("idle");
    case SessionPhase::Running:
        return QStringLiteral("running");
    case SessionPhase::Paused:
        return QStringLiteral("paused");
    case SessionPhase::Finished:
        return QStringLiteral("finished");
    }
    return {};
}

std::optional<SessionPhase> sessionPhaseFromRawValue(const QString& text) {
    for (auto value : {SessionPhase::Idle, SessionPhase::Running, SessionPhase::Paused, SessionPhase::Finished})
        if (text == rawValue(value))
            return value;
    return std::nullopt;
}

} // namespace tavrine
