#pragma once

#include <QString>
#include <optional>

namespace tavrine {

// The judge's three-way answer.
enum class ActivityRelevance { Relevant, Unrelated, Uncertain };

// "relevant", "unrelated" or "uncertain".
QString rawValue(ActivityRelevance relevance);
// Matches the raw value exactly; any other text (a capital first letter included) gives no value.
std::optional<ActivityRelevance> activityRelevanceFromRawValue(const QString& text);

} // namespace tavrine
