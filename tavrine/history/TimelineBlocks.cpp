#include "tavrine/history/TimelineBlocks.h"

#include "tavrine/core/Numbers.h"

#include <algorithm>

namespace tavrine {

namespace {

double lengthOf(const SessionTimeline::Segment& segment) {
    return finiteOrZero(segment.end - segment.start);
}

} // namespace

QList<HistoryBlockFacts> makeHistoryBlockFacts(const QList<SessionTimeline::Segment>& segments) {
    QList<qsizetype> kept;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const SessionTimeline::Kind kind = segments.at(i).kind;
        if (kind == SessionTimeline::Kind::Related || kind == SessionTimeline::Kind::Detour)
            kept.append(i);
    }
    QList<qsizetype> longest = kept;
    std::stable_sort(longest.begin(), longest.end(),
                     [&](qsizetype a, qsizetype b) { return lengthOf(segments.at(a)) > lengthOf(segments.at(b)); });
    if (longest.size() > historyBlockLimit)
        longest.resize(historyBlockLimit);
    std::sort(longest.begin(), longest.end());

    QList<HistoryBlockFacts> facts;
    for (qsizetype index : std::as_const(longest)) {
        const SessionTimeline::Segment& segment = segments.at(index);
        HistoryBlockFacts block;
        block.id = QString::number(segment.id);
        block.kind =
            segment.kind == SessionTimeline::Kind::Related ? QStringLiteral("on_track") : QStringLiteral("detour");
        block.app = segment.clues.app;
        block.site = segment.clues.host;
        block.minutes = std::max<qint64>(1, roundedNumber(lengthOf(segment) / 60.0));
        block.titles = segment.clues.titles;
        block.text = segment.clues.excerpts;
        block.captions = segment.clues.captions;
        facts.append(block);
    }
    return facts;
}

} // namespace tavrine
