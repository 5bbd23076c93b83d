#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace tavrine::eval {

// One case of the judge report.
struct EvalJudgeRunCase {
    QString id;
    QString intention;
    std::optional<QString> jobActions;
    QString jobOrigin;
    QString expected;
    QString predicted;
    QString predictedRaw;
    std::optional<double> enoughEvidence;
    std::optional<double> supportsJob;
    bool ok = false;
    double latencyS = 0;
    std::optional<QString> error;

    friend bool operator==(const EvalJudgeRunCase&, const EvalJudgeRunCase&) = default;
};

// One case of the end-to-end report: a judge case with its screenshot and the text the judge was sent.
struct EvalE2ERunCase : EvalJudgeRunCase {
    QString image;
    QString judgeText;

    friend bool operator==(const EvalE2ERunCase&, const EvalE2ERunCase&) = default;
};

// The end-to-end and judge reports share one shape.
template <typename Case> struct EvalRun {
    QString task;
    QString classifier = QStringLiteral("jev");
    bool expand = false;
    QString casesPath;
    QString outputPath;
    QString startedAt;
    QList<Case> cases;

    friend bool operator==(const EvalRun&, const EvalRun&) = default;
};
using EvalE2ERun = EvalRun<EvalE2ERunCase>;
using EvalJudgeRun = EvalRun<EvalJudgeRunCase>;

// One case of the nudge-writer report.
struct NudgeEvalRunCase {
    QString id;
    QString input;
    QString output;
    std::optional<QString> formatIssue;
    bool accepted = false;
    double latencyS = 0;
    std::optional<QString> error;

    friend bool operator==(const NudgeEvalRunCase&, const NudgeEvalRunCase&) = default;
};

struct NudgeEvalRun {
    QString task = QStringLiteral("nudge");
    QString model;
    QString promptVersion;
    QString casesPath;
    QString outputPath;
    QString startedAt;
    QList<NudgeEvalRunCase> cases;

    friend bool operator==(const NudgeEvalRun&, const NudgeEvalRun&) = default;
};

// The report as pretty-printed JSON: snake-case keys sorted at every level, absent optionals left out, numbers
// at full precision, every "/" written as "\/".
QByteArray encodeEvalReport(const EvalE2ERun& run);
QByteArray encodeEvalReport(const EvalJudgeRun& run);
QByteArray encodeNudgeReport(const NudgeEvalRun& run);

// Replaces the file at `path` with `bytes` in one step: a reader sees the old report or the new one, never half
// of one, and a failed write leaves the old one. Throws EvalFileError (write).
void writeReport(const QString& path, const QByteArray& bytes);

// A run's start time as an internet date-time in UTC with whole seconds: "2026-03-05T14:07:09Z".
QString startedAtText(const QDateTime& time);

} // namespace tavrine::eval
