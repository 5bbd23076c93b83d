#pragma once

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
    QString errorCode; // set when there is no verdict
    double latency = 0;

    QString predicted() const;
    // The verdict's label is the expected one; a failed call is never right.
    bool ok() const;
    QString predictedRaw() const;

    // The nine row fields after "id" and "expected" have been joined in: id, expected, predicted, ok, latency
    // ("%.3f"), the two scores ("%.4f", empty after a failure), the job origin and the actions.
    QString row() const;

    // Fills the fields that the end-to-end and judge report records share.
    template <typename Record> void fill(Record& record) const {
        record.id = id;
        record.jobActions = brief.actions;
        record.jobOrigin = jobOrigin(brief);
        record.expected = expected;
        record.predicted = predicted();
        record.predictedRaw = predictedRaw();
        record.enoughEvidence = verdict ? std::optional<double>(verdict->enoughEvidence) : std::nullopt;
        record.supportsJob = verdict ? std::optional<double>(verdict->supportsJob) : std::nullopt;
        record.ok = ok();
        record.latencyS = latency;
        record.error = verdict ? std::nullopt : std::optional<QString>(errorCode);
    }
};

// The header of the end-to-end and judge rows; the last column's name differs between the two.
QString judgedRowHeader(const QString& lastColumn);

// Chooses the brief for the intention and judges the evidence with it. The latency runs from `started` to the
// judge's answer or failure. A failed call is recorded, never thrown.
QCoro::Task<JudgedCase> judgeCase(JobBriefs& briefs, JevClient& judge, QString id, QString intention, QString expected,
                                  ActivityEvidence evidence, QElapsedTimer started);

} // namespace tavrine::eval
