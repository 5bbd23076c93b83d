#pragma once

#include "tavrine/eval/EvalCase.h"
#include "tavrine/eval/EvalOptions.h"

#include <QCoro/QCoroTask>

namespace tavrine::eval {

// The end-to-end evaluation: each case's screenshot is decoded, its text recognised and merged under the
// evidence header, and the result judged against the case's intention. Prints a row per case, writes the report
// ("e2e-results.json" beside the cases file unless --out names one) and returns 0; returns 2 after a message on
// standard error when a case lacks its intention or label, or its screenshot cannot be read or decoded (no
// report then). Throws EvalFileError when the report cannot be written.
QCoro::Task<int> runE2EEvaluation(EvalOptions options, QList<EvalCase> cases);

} // namespace tavrine::eval
