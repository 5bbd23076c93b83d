#pragma once

#include "tavrine/eval/EvalCase.h"
#include "tavrine/eval/EvalOptions.h"

#include <QCoro/QCoroTask>

namespace tavrine::eval {

// The judge evaluation: each case's own text and window metadata are judged against its intention, without any
// screenshot. Prints a row per case, writes the report ("judge-results.json" beside the cases file unless --out
// names one) and returns 0; returns 2 after a message on standard error when a case lacks its intention, text,
// label or app (no report then). Throws EvalFileError when the report cannot be written.
QCoro::Task<int> runJudgeEvaluation(EvalOptions options, QList<EvalCase> cases);

} // namespace tavrine::eval
