#pragma once

#include "tavrine/history/ActivityClues.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace tavrine {

enum class SessionLogKind { Related, Detour, Pause };

// "related", "detour", "pause".
QString rawValue(SessionLogKind kind);
// Only an exact match of one of the three texts gives a kind.
std::optional<SessionLogKind> sessionLogKindFromRaw(const QString& text);

// One stretch of a running session's activity log. Times are seconds on the session's own clock.
struct SessionLogEntry {
    QUuid id;
    QString mergeKey;
    QString phrase;
    SessionLogKind kind = SessionLogKind::Related;
    double startedAt = 0;
    std::optional<double> endedAt; // absent while the stretch is open
    ActivityClues clues;

    // The end, or `now` while open.
    double end(double now) const { return endedAt.value_or(now); }
    // End minus start, floored at 0 (a non-finite difference counts as 0).
    double duration(double now) const;

    bool operator==(const SessionLogEntry&) const = default;
};

// An entry as a row of the session's observable list.
struct SessionLogItem {
    QUuid id;
    QString phrase;
    SessionLogKind kind = SessionLogKind::Related;
    QString durationText;

    bool operator==(const SessionLogItem&) const = default;
};

} // namespace tavrine
