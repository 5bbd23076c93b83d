#include "tavrine/history/SessionTimeline.h"

#include <algorithm>
#include <cmath>

namespace tavrine {

QString SessionTimeline::rawValue(Kind kind) {
    switch (kind) {
    case Kind::Related:
        return QStringLiteral("related");
    case Kind::Detour:
        return QStringLiteral("detour");
    case Kind::Pause:
        return QStringLiteral("pause");
    case Kind::Gap:
        return QStringLiteral("gap");
    }
    return {};
}

std::optional<SessionTimeline::Kind> SessionTimeline::kindFromRaw(const QString& text) {
    for (Kind kind : {Kind::Related, Kind::Detour, Kind::Pause, Kind::Gap}) {
        if (text == rawValue(kind))
            return kind;
    }
    return std::nullopt;
}

SessionTimeline::Kind SessionTimeline::kindOf(SessionLogKind kind) {
    switch (kind) {
    case SessionLogKind::Related:
        return Kind::Related;
    case SessionLogKind::Detour:
        return Kind::Detour;
    case SessionLogKind::Pause:
        return Kind::Pause;
    }
    return Kind::Related;
}

namespace {

SessionTimeline::Segment gapSegment(qint64 id, double start, double end) {
    SessionTimeline::Segment gap;
    gap.id = id;
    gap.kind = SessionTimeline::Kind::Gap;
    gap.start = start;
    gap.end = end;
    return gap;
}

} // namespace

SessionTimeline normaliseTimeline(QList<SessionTimeline::Segment> segments, double length) {
    // A non-finite length or bound would reach the layout's loops and sorts; such segments are dropped and
    // such a length counts as 0.
    const double total = std::isfinite(length) && length > 0 ? length : 0.0;
    segments.removeIf([](const SessionTimeline::Segment& segment) {
        return segment.kind == SessionTimeline::Kind::Gap || !std::isfinite(segment.start) ||
               !std::isfinite(segment.end);
    });
    std::stable_sort(segments.begin(), segments.end(),
                     [](const auto& left, const auto& right) { return left.start < right.start; });

    SessionTimeline result;
    result.length = total;
    double cursor = 0;
    for (SessionTimeline::Segment& segment : segments) {
        const double start = std::max(cursor, segment.start);
        const double end = std::min(segment.end, total);
        if (!(end > start))
            continue;
        if (start - cursor >= timelineGapThreshold)
            result.segments.append(gapSegment(result.segments.size(), cursor, start));
        segment.id = result.segments.size();
        segment.start = start;
        segment.end = end;
        result.segments.append(std::move(segment));
        cursor = end;
    }
    if (total - cursor >= timelineGapThreshold)
        result.segments.append(gapSegment(result.segments.size(), cursor, total));
    return result;
}

SessionTimeline timelineFromLogEntries(const QList<SessionLogEntry>& entries, double origin, double now) {
    QList<SessionTimeline::Segment> segments;
    for (const SessionLogEntry& entry : entries) {
        const double end = entry.end(now);
        const double duration = end - entry.startedAt;
        if (!std::isfinite(duration) || duration < 30.0)
            continue;
        segments.append(segmentOfEntry(entry, origin, end));
    }
    return normaliseTimeline(std::move(segments), now - origin);
}

SessionTimeline::Segment segmentOfEntry(const SessionLogEntry& entry, double origin, double end) {
    SessionTimeline::Segment segment;
    segment.kind = SessionTimeline::kindOf(entry.kind);
    segment.start = entry.startedAt - origin;
    segment.end = end - origin;
    segment.phrase = entry.phrase;
    segment.clues = entry.clues;
    segment.key = entry.mergeKey;
    return segment;
}

bool timelineHasActivity(const SessionTimeline& timeline) {
    return std::any_of(timeline.segments.cbegin(), timeline.segments.cend(),
                       [](const auto& segment) { return segment.kind != SessionTimeline::Kind::Gap; });
}

} // namespace tavrine
