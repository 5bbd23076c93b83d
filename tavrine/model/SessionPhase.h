#pragma once

#include <QString>
#include <optional>

namespace tavrine {

// Where a focus session stands.
enum class SessionPhase { Idle, Running, Paused, Finished };

// "idle", "running", "paused" or "finished".
QString rawValue(SessionPhase phase);
// Matches the raw value exactly (case counts).
std::optional<SessionPhase> sessionPhaseFromRawValue(const QString& text);

} // namespace tavrine
