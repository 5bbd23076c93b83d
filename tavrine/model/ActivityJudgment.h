#pragma once

#include "tavrine/model/ActivityRelevance.h"

#include <QString>

namespace tavrine {

// What the classifier returns for one evidence record: the label and its short account of the activity.
struct ActivityJudgment {
    ActivityRelevance label = ActivityRelevance::Uncertain;
    QString activity;

    friend bool operator==(const ActivityJudgment&, const ActivityJudgment&) = default;
};

} // namespace tavrine
