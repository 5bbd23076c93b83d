#include "tavrine/historystore/StoredSession.h"

#include "tavrine/core/Numbers.h"

#include <algorithm>

namespace tavrine {

namespace {

QDateTime offsetFrom(const QDateTime& start, double seconds) {
    return start.addMSecs(roundedNumber(seconds * 1000.0));
}

double secondsBetween(const QDateTime& from, const QDateTime& to) {
    return double(from.msecsTo(to)) / 1000.0;
}

} // namespace

StoredSession StoredSession::fromSummary(const QUuid& sessionID, const SessionSummary& summary) {
    StoredSession session;
    session.sessionID = sessionID;
    session.startedAt = summary.startedAt;
    session.endedAt = offsetFrom(summary.startedAt, summary.timeline.length);
    session.intention = summary.intention;
    session.focusedSeconds = finiteOrZero(summary.focusedSeconds);
    session.completed = summary.completed;
    session.detours = summary.detours;
    session.detourSeconds = finiteOrZero(summary.detourSeconds);
    session.longestStreak = finiteOrZero(summary.longestStreak);
    for (const SessionTimeline::Segment& segment : summary.timeline.segments) {
        if (segment.kind == SessionTimeline::Kind::Gap)
            continue;
        StoredSegment stored;
        stored.kind = SessionTimeline::rawValue(segment.kind);
        stored.startedAt = offsetFrom(summary.startedAt, segment.start);
        stored.endedAt = offsetFrom(summary.startedAt, segment.end);
        stored.phrase = segment.phrase;
        stored.intent = segment.intent;
        stored.app = segment.clues.app;
        stored.host = segment.clues.host;
        stored.titles = segment.clues.titles;
        session.segments.append(std::move(stored));
    }
    return session;
}

qint64 StoredSession::focusedMinutes() const {
    return std::max<qint64>(wholeNumber(focusedSeconds / 60.0), 1);
}

SessionTimeline StoredSession::timeline() const {
    QList<SessionTimeline::Segment> rebuilt;
    rebuilt.reserve(segments.size());
    for (const StoredSegment& stored : segments) {
        const auto kind = SessionTimeline::kindFromRaw(stored.kind);
        if (!kind)
            continue;
        SessionTimeline::Segment segment;
        segment.kind = *kind;
        segment.start = secondsBetween(startedAt, stored.startedAt);
        segment.end = secondsBetween(startedAt, stored.endedAt);
        segment.phrase = stored.phrase;
        segment.intent = stored.intent;
        segment.clues.app = stored.app;
        segment.clues.host = stored.host;
        segment.clues.titles = stored.titles;
        rebuilt.append(std::move(segment));
    }
    return normaliseTimeline(std::move(rebuilt), secondsBetween(startedAt, endedAt));
}

} // namespace tavrine
