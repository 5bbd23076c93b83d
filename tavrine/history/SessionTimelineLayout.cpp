#include "tavrine/history/SessionTimelineLayout.h"

#include "tavrine/core/Numbers.h"
#include "tavrine/history/SessionSegmentClues.h"

#include <algorithm>
#include <cmath>

namespace tavrine {

SessionTimelineLayout layoutTimeline(const SessionTimeline& timeline, double height) {
    const double requested = finiteOrZero(height);
    const qsizetype count = timeline.segments.size();
    QList<double> durations(count);
    QList<double> minimums(count);
    for (qsizetype i = 0; i < count; ++i) {
        const SessionTimeline::Segment& segment = timeline.segments[i];
        durations[i] = finiteOrZero(segment.end - segment.start);
        if (segment.kind != SessionTimeline::Kind::Gap)
            minimums[i] = timelineBlockMinimum;
        else
            minimums[i] = durations[i] >= 30.0 ? timelineGapMinimum : 0.0;
    }

    QList<bool> pinned(count, false);
    double scale = 0;
    // Every pass pins at least one more block or stops, so this ends after at most count + 1 passes.
    for (;;) {
        double pinnedTotal = 0;
        double freeSeconds = 0;
        bool anyFree = false;
        for (qsizetype i = 0; i < count; ++i) {
            if (pinned[i]) {
                pinnedTotal += minimums[i];
            } else {
                anyFree = true;
                freeSeconds += durations[i];
            }
        }
        scale = anyFree && freeSeconds > 0 ? std::max(requested - pinnedTotal, 0.0) / freeSeconds : 0.0;
        bool pinnedMore = false;
        for (qsizetype i = 0; i < count; ++i) {
            if (!pinned[i] && minimums[i] > durations[i] * scale) {
                pinned[i] = true;
                pinnedMore = true;
            }
        }
        if (!pinnedMore)
            break;
    }

    SessionTimelineLayout layout;
    layout.blocks.reserve(count);
    double y = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const double blockHeight = pinned[i] ? minimums[i] : durations[i] * scale;
        layout.blocks.append({timeline.segments[i], y, blockHeight});
        y += blockHeight;
    }
    layout.height = requested > y ? requested : y;
    return layout;
}

SelectionExpansion selectionExpansion(const QList<SessionTimelineLayout::Block>& blocks,
                                      std::optional<qint64> selection, bool expandsSelection) {
    if (!expandsSelection || !selection)
        return {};
    for (const SessionTimelineLayout::Block& block : blocks) {
        if (block.segment.id != *selection)
            continue;
        const qsizetype rows = segmentDetails(block.segment).size();
        double expanded = block.height;
        if (rows > 0) {
            const double titleRow = block.height >= timelineTallBlock ? 20.0 : block.height;
            expanded = std::max(double(rows) * timelineDetailRowHeight + titleRow + 6.0, block.height);
        }
        return {expanded - block.height, block.y + block.height};
    }
    return {};
}

namespace {

double tickPosition(const QList<SessionTimelineLayout::Block>& blocks, double t) {
    for (auto block = blocks.crbegin(); block != blocks.crend(); ++block) {
        if (!(block->segment.start <= t))
            continue;
        const double span = block->segment.end - block->segment.start;
        const double fraction = span > 0 ? std::min(1.0, (t - block->segment.start) / span) : 0.0;
        return block->y + block->height * fraction;
    }
    return 0;
}

QDateTime startOfHour(const QDateTime& date) {
    const QDateTime local = date.toLocalTime();
    return QDateTime(local.date(), QTime(local.time().hour(), 0), Qt::LocalTime);
}

} // namespace

QList<TimelineTick> timelineTicks(const QList<SessionTimelineLayout::Block>& blocks, double height, double length,
                                  const QDateTime& startedAt, const QLocale& locale) {
    QList<TimelineTick> ticks{{0.0, clockText(startedAt, locale)}};
    const double total = finiteOrZero(length);
    const double available = finiteOrZero(height);
    if (total <= 0)
        return ticks;

    const double perMinute = available / (total / 60.0);
    double step = 3600;
    for (const double minutes : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0}) {
        if (minutes * perMinute >= 28.0) {
            step = minutes * 60.0;
            break;
        }
    }

    const QDateTime hour = startOfHour(startedAt);
    const QDateTime anchor = hour.isValid() ? hour : startedAt;
    double t = double(startedAt.msecsTo(anchor)) / 1000.0;
    while (t <= 0)
        t += step;

    double lastKept = 0;
    for (; t < total; t += step) {
        const double y = tickPosition(blocks, t);
        if (y < lastKept + 16.0 || y > available - 12.0)
            continue;
        lastKept = y;
        ticks.append({y, clockText(startedAt.addMSecs(roundedNumber(t * 1000.0)), locale)});
    }
    return ticks;
}

} // namespace tavrine
