#include "tavrine/eval/JudgedCase.h"

#include "tavrine/core/Error.h"
#include "tavrine/eval/EvalConsole.h"
#include "tavrine/model/EvidenceDiagnostics.h"

#include <QDir>
#include <QFileInfo>

namespace tavrine::eval {

QString JudgedCase::predicted() const {
    return verdict ? rawValue(verdict->label) : QString();
}

bool JudgedCase::ok() const {
    return verdict && rawValue(verdict->label) == expected;
}

QString JudgedCase::predictedRaw() const {
    return verdict ? judgeText(brief, *verdict) : errorCode;
}

void JudgedCase::fill(EvalJudgeRunCase& record) const {
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

QString JudgedCase::row() const {
    const QStringList fields = {
        id,
        expected,
        predicted(),
        ok() ? QStringLiteral("true") : QStringLiteral("false"),
        console::fixed(latency, 3),
        verdict ? console::fixed(verdict->enoughEvidence, 4) : QString(),
        verdict ? console::fixed(verdict->supportsJob, 4) : QString(),
        jobOrigin(brief),
        brief.actions.value_or(QString()),
    };
    return fields.join(QLatin1Char('\t'));
}

QString JudgedCase::failureLine() const {
    if (verdict)
        return {};
    return QStringLiteral("Case %1 failed: %2").arg(id, errorReason.isEmpty() ? errorCode : errorReason);
}

void JudgedCase::print() const {
    console::printLine(row());
    if (!verdict)
        console::printError(failureLine());
}

QString judgedRowHeader(const QString& lastColumn) {
    return QStringList{QStringLiteral("id"),           QStringLiteral("expected"),   QStringLiteral("predicted"),
                       QStringLiteral("ok"),           QStringLiteral("latency_s"),  QStringLiteral("enough_evidence"),
                       QStringLiteral("supports_job"), QStringLiteral("job_origin"), lastColumn}
        .join(QLatin1Char('\t'));
}

template <typename Case>
EvalRun<Case> startJudgedRun(const QString& task, const EvalOptions& options, const QString& defaultFileName,
                             const QString& lastColumn) {
    EvalRun<Case> run;
    run.task = task;
    run.expand = options.expand;
    run.casesPath = options.cases;
    run.outputPath = options.output.value_or(QDir(QFileInfo(options.cases).path()).filePath(defaultFileName));
    run.startedAt = startedAtText(QDateTime::currentDateTimeUtc());
    console::printLine(judgedRowHeader(lastColumn));
    return run;
}

template <typename Case> void finishJudgedRun(const EvalRun<Case>& run, int correct) {
    writeReport(run.outputPath, encodeEvalReport(run));
    console::printLine(QStringLiteral("accuracy=") + QString::number(correct) + QLatin1Char('/') +
                       QString::number(run.cases.size()));
    console::printLine(QStringLiteral("wrote ") + run.outputPath);
}

template EvalE2ERun startJudgedRun(const QString&, const EvalOptions&, const QString&, const QString&);
template EvalJudgeRun startJudgedRun(const QString&, const EvalOptions&, const QString&, const QString&);
template void finishJudgedRun(const EvalE2ERun&, int);
template void finishJudgedRun(const EvalJudgeRun&, int);

ActivityEvidence judgedEvidence(const EvalCase::Metadata& metadata, const QString& capturePath) {
    ActivityEvidence evidence;
    evidence.app = metadata.app;
    evidence.bundle = metadata.bundle;
    evidence.pid = 0;
    evidence.title = metadata.title;
    evidence.url = metadata.url;
    evidence.source = QStringLiteral("Eval");
    evidence.capturePath = capturePath;
    evidence.focusedDescription = metadata.focused;
    evidence.subject = metadata.subject;
    return evidence;
}

QCoro::Task<JudgedCase> judgeCase(JobBriefs& briefs, JevClient& judge, QString id, QString intention, QString expected,
                                  ActivityEvidence evidence, QElapsedTimer started) {
    JudgedCase judged;
    judged.id = std::move(id);
    judged.expected = std::move(expected);
    judged.brief = co_await briefs.briefFor(intention);
    try {
        judged.verdict = co_await judge.judge(judged.brief.intention, judged.brief.actions, std::move(evidence));
    } catch (const Error& error) {
        judged.errorCode = errorKindCode(error);
        judged.errorReason = error.reason();
    } catch (...) {
        judged.errorCode = errorKindCode(std::current_exception());
    }
    judged.latency = double(started.nsecsElapsed()) / 1e9;
    co_return judged;
}

} // namespace tavrine::eval
