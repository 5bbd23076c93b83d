#include "tavrine/onboarding/SampleTimeline.h"

namespace tavrine::onboarding {

namespace {

struct SampleSegment {
    SessionTimeline::Kind kind;
    QString phrase;
    QString key;
};

std::optional<SampleSegment> segmentFor(OnboardingRehearsal::Beat beat) {
    using Beat = OnboardingRehearsal::Beat;
    switch (beat) {
    case Beat::Working:
    case Beat::Tempted:
    case Beat::Returned:
        return SampleSegment{SessionTimeline::Kind::Related, QStringLiteral("Designed the landing page"),
                             QStringLiteral("related|design")};
    case Beat::Drifting:
    case Beat::Nudged:
        return SampleSegment{SessionTimeline::Kind::Detour, QStringLiteral("Watched a Tokyo ramen tour on YouTube"),
                             QStringLiteral("detour|video")};
    case Beat::Researching:
        return SampleSegment{SessionTimeline::Kind::Related,
                             QStringLiteral("Watched a landing page tutorial on YouTube"),
                             QStringLiteral("related|video")};
    case Beat::Finished:
        break;
    }
    return std::nullopt;
}

} // namespace

SessionTimeline sampleTimeline(const QList<OnboardingRehearsal::Entry>& entered) {
    if (entered.isEmpty())
        return {};
    const double origin = entered.first().at;
    QList<SessionTimeline::Segment> segments;
    for (qsizetype i = 0; i + 1 < entered.size(); ++i) {
        const auto sample = segmentFor(entered[i].beat);
        if (!sample)
            continue;
        const double start = entered[i].at - origin;
        const double end = entered[i + 1].at - origin;
        if (!segments.isEmpty() && segments.last().key == sample->key) {
            segments.last().end = end;
            continue;
        }
        SessionTimeline::Segment segment;
        segment.kind = sample->kind;
        segment.start = start;
        segment.end = end;
        segment.phrase = sample->phrase;
        segment.key = sample->key;
        segments.append(segment);
    }
    return normaliseTimeline(std::move(segments), entered.last().at - origin);
}

} // namespace tavrine::onboarding
