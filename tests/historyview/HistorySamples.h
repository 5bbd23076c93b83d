#pragma once

#include "tavrine/history/SessionSummary.h"

#include <QDateTime>
#include <QList>

namespace tavrine::test {

// A 25-minute session that started at 9:41 on `day` (today unless given): three detours (a feed, TV listings,
// mail), a gap and a pause in its timeline, clues on every segment.
SessionSummary sampleRecapSummary(const QDate& day = QDate::currentDate());
// The detour of the feed: the block selected in the pictures of the timeline.
inline constexpr int sampleSelectedSegment = 1;
// Sessions of today, yesterday and earlier, as a History window would list them, oldest first.
QList<SessionSummary> sampleHistory(const QDateTime& now);

} // namespace tavrine::test
