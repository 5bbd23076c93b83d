#pragma once

#include "tavrine/history/SessionTimeline.h"
#include "tavrine/model/HistoryBlockFacts.h"

#include <QList>

namespace tavrine {

// The most blocks of one session the history-intent writer is asked about.
constexpr qsizetype historyBlockLimit = 30;

// The blocks of a finished session's timeline that are worth a line: on-track and detour segments only, at most
// the 30 longest (on equal lengths the earlier wins), in timeline order.
QList<HistoryBlockFacts> makeHistoryBlockFacts(const QList<SessionTimeline::Segment>& segments);

} // namespace tavrine
