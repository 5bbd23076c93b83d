#pragma once

#include "tavrine/history/SessionSummary.h"
#include "tavrine/history/SessionTimeline.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

namespace tavrine {

// One non-gap segment of a stored session, as stored. Times read from the store are UTC date-times (the stored
// instants); show them with toLocalTime().
struct StoredSegment {
    QString kind; // "related", "detour" or "pause"
    QDateTime startedAt;
    QDateTime endedAt;
    QString phrase;
    QString intent;
    QString app;
    QString host;
    QStringList titles;

    bool operator==(const StoredSegment&) const = default;
};

// One finished session as the history holds it. The top detours are not kept; the segments are in the order
// they were recorded.
struct StoredSession {
    QUuid sessionID;
    QDateTime startedAt;
    QDateTime endedAt; // startedAt plus the timeline's length
    QString intention;
    double focusedSeconds = 0;
    bool completed = false;
    qint64 detours = 0;
    double detourSeconds = 0;
    double longestStreak = 0;
    QList<StoredSegment> segments;
    // Tavrine stopped while the session ran (a crash, a kill, the display lost): it ends at its last write.
    bool endedUnexpectedly = false;

    bool operator==(const StoredSession&) const = default;

    // The record of a summary: one stored segment per segment that is not a gap, in timeline order.
    static StoredSession fromSummary(const QUuid& sessionID, const SessionSummary& summary);

    // Whole focused minutes, truncated, at least 1.
    qint64 focusedMinutes() const;
    // The timeline rebuilt from the stored segments: unknown kinds are left out, the gaps come back.
    SessionTimeline timeline() const;
};

} // namespace tavrine
