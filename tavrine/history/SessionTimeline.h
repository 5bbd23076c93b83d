#pragma once

#include "tavrine/history/ActivityClues.h"
#include "tavrine/history/SessionLogEntry.h"

#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace tavrine {

// A finished session laid out in time: segments in seconds from the session's start, and the whole length.
struct SessionTimeline {
    enum class Kind { Related, Detour, Pause, Gap };

    struct Segment {
        // One row of an unfolded timeline block: "App" or "Page" and its text.
        struct Detail {
            QString label;
            QString value;
            bool operator==(const Detail&) const = default;
        };

        qint64 id = 0; // position in the timeline, gaps counted; given by normaliseTimeline
        Kind kind = Kind::Related;
        double start = 0;
        double end = 0;
        QString phrase;
        QString intent; // the history label, filled later; empty in a timeline built from the log
        ActivityClues clues;
        QString key; // merge key of the log entry; empty for a gap and for a segment rebuilt from storage

        bool operator==(const Segment&) const = default;
    };

    QList<Segment> segments;
    double length = 0;

    bool operator==(const SessionTimeline&) const = default;

    // "related", "detour", "pause", "gap".
    static QString rawValue(Kind kind);
    // Only an exact match of one of the four texts gives a kind.
    static std::optional<Kind> kindFromRaw(const QString& text);
    static Kind kindOf(SessionLogKind kind);
};

// Holes of at least this many seconds become gap segments.
inline constexpr double timelineGapThreshold = 1.0;

// Sorts the segments by start (stably), drops gaps and segments with a non-finite start or end, clips each to
// the running cursor and to the length, drops what is left empty, puts a gap into every hole of 1 s or more
// (a trailing one too) and numbers the ids by position. A negative or non-finite length counts as 0.
SessionTimeline normaliseTimeline(QList<SessionTimeline::Segment> segments, double length);

// The timeline of a session's log: entries of 30 s or more (an open one ends at `now`), relative to `origin`.
SessionTimeline timelineFromLogEntries(const QList<SessionLogEntry>& entries, double origin, double now);
// One entry's segment, from its start to `end`, relative to `origin`.
SessionTimeline::Segment segmentOfEntry(const SessionLogEntry& entry, double origin, double end);

// True when at least one segment is not a gap.
bool timelineHasActivity(const SessionTimeline& timeline);

} // namespace tavrine
