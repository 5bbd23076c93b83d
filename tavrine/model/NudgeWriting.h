#pragma once

#include "tavrine/model/NudgeFacts.h"
#include "tavrine/model/WrittenNudge.h"

#include <QCoro/QCoroTask>

namespace tavrine {

// Writes the nudge sentence. Main thread only.
class NudgeWriting {
public:
    virtual ~NudgeWriting() = default;

    // Throws the writer's errors (a rejected copy among them), transport errors or CancelledError.
    virtual QCoro::Task<WrittenNudge> write(NudgeFacts facts) = 0;
};

} // namespace tavrine
