#pragma once

#include "tavrine/eval/EvalCase.h"
#include "tavrine/eval/EvalOptions.h"
#include "tavrine/eval/EvalReport.h"
#include "tavrine/eval/JobBriefs.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/services/JevClient.h"

#include <QElapsedTimer>
#include <QStringList>
#include <optional>

namespace tavrine::eval {

// One case after its judge call: the brief it was judged with, and the verdict or the failure's code.
struct JudgedCase {
    QString id;
    QString expected;
    JobBrief brief;
    std::optional<JevVerdict> verdict;
    QString errorCode;   // set when there is no verdict
    QString errorReason; // the failure in a sentence, for standard error
    double latency = 0;

    QString predicted() const;
    // The verdict's label is the expected one; a failed call is never right.
    bool ok() const;
    QString predictedRaw() const;

    // The nine row fields after "id" and "expected" have been joined in: id, expected, predicted, ok, latency
    // ("%.3f"), the two scores ("%.4f", empty after a failure), the job origin and the actions.
    QString row() const;
    // "Case <id> failed: <reason>" after a failed call; empty when there is a verdict.
    QString failureLine() const;
    // Prints the row, and the failure line on standard error.
    void print() const;

    // Fills the fields that the end-to-end and judge report records share (all but the intention).
    void fill(EvalJudgeRunCase& record) const;
};

// The header of the end-to-end and judge rows; the last column's name differs between the two.
QString judgedRowHeader(const QString& lastColumn);

// An end-to-end or judge run of `task`, started now, that is written to the output option or else to
// `defaultFileName` beside the cases file; prints the row header with `lastColumn`.
template <typename Case>
EvalRun<Case> startJudgedRun(const QString& task, const EvalOptions& options, const QString& defaultFileName,
                             const QString& lastColumn);

// Writes the run's report, then prints the accuracy and the path written.
template <typename Case> void finishJudgedRun(const EvalRun<Case>& run, int correct);

// The case's window as the capture would have described it, with no process or window behind it; the caller
// adds the text.
ActivityEvidence judgedEvidence(const EvalCase::Metadata& metadata, const QString& capturePath);

// Chooses the brief for the intention and judges the evidence with it. The latency runs from `started` to the
// judge's answer or failure. A failed call is recorded, never thrown.
QCoro::Task<JudgedCase> judgeCase(JobBriefs& briefs, JevClient& judge, QString id, QString intention, QString expected,
                                  ActivityEvidence evidence, QElapsedTimer started);

} // namespace tavrine::eval
