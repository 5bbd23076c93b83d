#pragma once

#include "tavrine/eval/EvalOptions.h"
#include "tavrine/model/NudgeFacts.h"

#include <QCoro/QCoroTask>

namespace tavrine::eval {

// The nudge-writer evaluation: reads the cases file as nudge facts, has the nudge writer write each one, prints a
// row per case, writes the report ("results.json" beside the cases file unless --out names one) and the median
// and total latency. Returns 1 when a case failed with an error other than a rejected nudge, else 0. Throws
// EvalFileError when the cases file cannot be read or decoded or the report cannot be written.
QCoro::Task<int> runNudgeEvaluation(EvalOptions options);

// The facts as one compact JSON object of seven strings.
QString nudgeFactsJSON(const NudgeFacts& facts);

// The median as the closing line prints it: the element at index min(n / 2, n - 1) of the sorted latencies (the
// upper middle one for an even count); 0 without latencies.
double medianLatency(QList<double> latencies);

} // namespace tavrine::eval
