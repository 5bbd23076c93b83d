#pragma once

#include "tavrine/history/SessionTimeline.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <optional>

namespace tavrine {

// The geometry of the timeline column, in points measured down from its top: one block per segment (gaps
// included), tiling the column without holes.
struct SessionTimelineLayout {
    struct Block {
        SessionTimeline::Segment segment;
        double y = 0;
        double height = 0;
        bool operator==(const Block&) const = default;
    };

    QList<Block> blocks;
    double height = 0; // never less than the height asked for

    bool operator==(const SessionTimelineLayout&) const = default;
};

// One mark of the ruler beside the column.
struct TimelineTick {
    double y = 0;
    QString label;
    bool operator==(const TimelineTick&) const = default;
};

// How much the selected block grows when it unfolds its detail rows, and its lower edge before growing.
struct SelectionExpansion {
    double extra = 0;
    double bottom = 0;
    bool operator==(const SelectionExpansion&) const = default;
};

// Minimum heights of a block: a recorded stretch stays readable, a long gap stays visible.
inline constexpr double timelineBlockMinimum = 12.0;
inline constexpr double timelineGapMinimum = 3.0;
inline constexpr double timelineDetailRowHeight = 16.0;
inline constexpr double timelineTallBlock = 28.0;

// Blocks share the height in proportion to their durations; a block whose share is below its minimum is
// pinned at that minimum and the rest share what remains, until nothing more needs pinning.
SessionTimelineLayout layoutTimeline(const SessionTimeline& timeline, double height);

// (0, 0) unless expansion is on and a block's segment has the selected id and detail rows to show.
SelectionExpansion selectionExpansion(const QList<SessionTimelineLayout::Block>& blocks,
                                      std::optional<qint64> selection, bool expandsSelection);

// Ruler marks: the start, then clock times on a grid anchored at the full hour, at least 16 pt apart and at
// least 12 pt above the bottom. `height` is the layout height before any expansion.
QList<TimelineTick> timelineTicks(const QList<SessionTimelineLayout::Block>& blocks, double height, double length,
                                  const QDateTime& startedAt, const QLocale& locale = QLocale());

} // namespace tavrine
