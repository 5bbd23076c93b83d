#pragma once

#include "tavrine/history/ActivityClues.h"
#include "tavrine/history/SessionLogEntry.h"
#include "tavrine/history/SessionTimeline.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

namespace tavrine {

// What a finished focus session amounts to. A plain value compared field by field: the engine applies the
// written phrases to the summary on screen only while it still equals the one they were written for.
struct SessionSummary {
    // One group of detour entries sharing a merge key.
    struct Detour {
        QString key;
        QString phrase;
        double seconds = 0;
        QDateTime firstAt;
        ActivityClues clues;

        bool operator==(const Detour&) const = default;
    };

    QString intention;
    QDateTime startedAt;
    double focusedSeconds = 0; // planned duration minus the time that remained
    bool completed = false;
    qint64 detours = 0;
    double detourSeconds = 0;
    double longestStreak = 0; // never more than focusedSeconds
    QList<Detour> topDetours;
    SessionTimeline timeline;

    bool operator==(const SessionSummary&) const = default;

    // Every top detour and every detour segment whose key is in the map takes the mapped phrase. A phrase that
    // is empty after trimming is skipped, so a blank answer never wipes a label.
    void applyDetourPhrases(const QHash<QString, QString>& phrases);
};

// One detour per merge key, in first-met order, then sorted by seconds (most first, ties by first meeting).
QList<SessionSummary::Detour> buildTopDetours(const QList<SessionLogEntry>& entries, const QDateTime& startDate,
                                              double origin, double now);

// The longest stretch between `origin` and `now` that no detour or break entry covers, in seconds.
double longestStreak(const QList<SessionLogEntry>& entries, double origin, double now);

} // namespace tavrine
