#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/services/JobBrief.h"

#include <QCoro/QCoroTask>

namespace tavrine {

// Expands an intention into its job's actions. Main thread only.
class JobExpanding {
public:
    virtual ~JobExpanding() = default;
    // Never fails: when the expansion cannot be had (a cancellation included), the brief has no actions.
    virtual QCoro::Task<JobBrief> expand(QString intention, CancellationToken cancellation = {}) = 0;
};

} // namespace tavrine
