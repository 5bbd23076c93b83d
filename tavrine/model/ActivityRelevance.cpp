#include "tavrine/model/ActivityRelevance.h"

namespace tavrine {

QString rawValue(ActivityRelevance relevance) {
    switch (relevance) {
    case ActivityRelevance::Relevant:
        return QStringLiteral("relevant");
    case ActivityRelevance::Unrelated:
        return QStringLiteral("unrelated");
    case ActivityRelevance::Uncertain:
        return QStringLiteral("uncertain");
    }
    return {};
}

std::optional<ActivityRelevance> activityRelevanceFromRawValue(const QString& text) {
    for (auto value : {ActivityRelevance::Relevant, ActivityRelevance::Unrelated, ActivityRelevance::Uncertain})
        if (text == rawValue(value))
            return value;
    return std::nullopt;
}

} // namespace tavrine
