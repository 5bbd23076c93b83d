#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/model/ActivityEvidence.h"

#include <QString>
#include <QtGlobal>

namespace tavrine {

// A drift that the final check confirmed, handed to the nudge flow: the judged activity, the fresh evidence
// and the check's own context.
struct NudgeHandOff {
    QString activity;
    ActivityEvidence evidence;
    QString checkID;
    qint64 generation = 0;
    QString intention;
    // Cancelled when the check that confirmed the drift is halted.
    CancellationToken token;
};

} // namespace tavrine
