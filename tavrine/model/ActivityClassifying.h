#pragma once

#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityJudgment.h"
#include "tavrine/model/ActivityRelevance.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <functional>
#include <optional>

namespace tavrine {

// The session's relevance classifier. Main thread only.
class ActivityClassifying {
public:
    virtual ~ActivityClassifying() = default;

    // Gets ready for an intention (may start work in the background); returns at once and never fails.
    virtual void prepare(const QString& intention) = 0;

    // Forgets prepared work, cached judgments and the last confidence and work note.
    virtual void reset() = 0;

    // Judges one observation against the intention. `onLabel` (may be empty) receives the label as soon as it is
    // known, possibly before the task finishes. Throws the judge's errors, or CancelledError. Sets
    // lastConfidence and lastWorkNote before it returns.
    virtual QCoro::Task<ActivityJudgment> classify(QString intention, ActivityEvidence evidence,
                                                   std::function<void(ActivityRelevance)> onLabel) = 0;

    // The judge's probability that the last judged activity supports the intention; absent when it gave none.
    virtual std::optional<double> lastConfidence() const = 0;
    // The job note and verdict summary of the last classification.
    virtual std::optional<QString> lastWorkNote() const = 0;
};

} // namespace tavrine
