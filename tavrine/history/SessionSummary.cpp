#include "tavrine/history/SessionSummary.h"

#include "tavrine/core/Numbers.h"
#include "tavrine/core/Text.h"
#include "tavrine/history/SessionActivityLog.h"

#include <algorithm>
#include <cmath>

namespace tavrine {

void SessionSummary::applyDetourPhrases(const QHash<QString, QString>& phrases) {
    auto phraseFor = [&phrases](const QString& key) -> std::optional<QString> {
        const auto found = phrases.constFind(key);
        if (found == phrases.cend() || text::trimmed(*found).isEmpty())
            return std::nullopt;
        return *found;
    };
    for (Detour& detour : topDetours) {
        if (const auto phrase = phraseFor(detour.key))
            detour.phrase = *phrase;
    }
    for (SessionTimeline::Segment& segment : timeline.segments) {
        if (segment.kind != SessionTimeline::Kind::Detour)
            continue;
        if (const auto phrase = phraseFor(segment.key))
            segment.phrase = *phrase;
    }
}

QList<SessionSummary::Detour> buildTopDetours(const QList<SessionLogEntry>& entries, const QDateTime& startDate,
                                              double origin, double now) {
    // Groups in the order their keys are first met; each keeps its entries in log order.
    QList<QString> order;
    QHash<QString, QList<const SessionLogEntry*>> groups;
    for (const SessionLogEntry& entry : entries) {
        auto group = groups.find(entry.mergeKey);
        if (group == groups.end()) {
            order.append(entry.mergeKey);
            group = groups.insert(entry.mergeKey, {});
        }
        group->append(&entry);
    }

    QList<SessionSummary::Detour> detours;
    detours.reserve(order.size());
    for (const QString& key : order) {
        const QList<const SessionLogEntry*>& group = groups[key];
        SessionSummary::Detour detour;
        detour.key = key;
        const SessionLogEntry* longest = nullptr;
        double longestDuration = -1;
        for (const SessionLogEntry* entry : group) {
            detour.clues.merge(entry->clues);
            const double duration = entry->duration(now);
            detour.seconds += duration;
            if (duration > longestDuration) {
                longestDuration = duration;
                longest = entry;
            }
        }
        if (detour.clues.app.isEmpty() && detour.clues.host.isEmpty())
            detour.phrase = longest ? longest->phrase : QString();
        else
            detour.phrase = SessionActivityLog::fallbackPhrase(detour.clues);
        const double offset = finiteOrZero(group.first()->startedAt - origin);
        detour.firstAt = startDate.addMSecs(roundedNumber(std::max(offset, 0.0) * 1000.0));
        detours.append(std::move(detour));
    }
    // A stable sort keeps groups of equal seconds in the order they were first met.
    std::stable_sort(detours.begin(), detours.end(),
                     [](const auto& left, const auto& right) { return left.seconds > right.seconds; });
    return detours;
}

double longestStreak(const QList<SessionLogEntry>& entries, double origin, double now) {
    QList<const SessionLogEntry*> interruptions;
    for (const SessionLogEntry& entry : entries) {
        if (entry.kind != SessionLogKind::Related && std::isfinite(entry.startedAt))
            interruptions.append(&entry);
    }
    std::stable_sort(interruptions.begin(), interruptions.end(),
                     [](const auto* left, const auto* right) { return left->startedAt < right->startedAt; });
    double cursor = origin;
    double longest = 0;
    for (const SessionLogEntry* entry : interruptions) {
        longest = std::max(longest, entry->startedAt - cursor);
        const double end = entry->end(now);
        // Nested or overlapping interruptions: the latest end seen so far wins.
        if (end > cursor)
            cursor = end;
    }
    longest = std::max(longest, now - cursor);
    return finiteOrZero(longest);
}

} // namespace tavrine
