#include "tavrine/eval/JudgeEvaluation.h"

#include "tavrine/eval/EvalConsole.h"
#include "tavrine/eval/EvalReport.h"
#include "tavrine/eval/EvalServices.h"
#include "tavrine/eval/JudgedCase.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace tavrine::eval {

namespace {

// The case as the judge sees it: its own text under the window it names, with no process or window behind it.
ActivityEvidence evidenceFor(const EvalCase& evalCase, const EvalCase::Metadata& metadata) {
    ActivityEvidence evidence;
    evidence.app = metadata.app;
    evidence.bundle = metadata.bundle;
    evidence.pid = 0;
    evidence.title = metadata.title;
    evidence.url = metadata.url;
    evidence.text = evalCase.text;
    evidence.source = QStringLiteral("Eval");
    evidence.capturePath = QStringLiteral("accessibility");
    evidence.focusedDescription = metadata.focused;
    evidence.subject = metadata.subject;
    return evidence;
}

} // namespace

QCoro::Task<int> runJudgeEvaluation(EvalOptions options, QList<EvalCase> cases) {
    EvalServices services;
    co_await services.start();
    JobBriefs briefs(services.api(), options.expand);
    JevClient judge(services.api());

    EvalJudgeRun run;
    run.task = QStringLiteral("judge");
    run.expand = options.expand;
    run.casesPath = options.cases;
    run.outputPath =
        options.output.value_or(QDir(QFileInfo(options.cases).path()).filePath(QStringLiteral("judge-results.json")));
    run.startedAt = startedAtText(QDateTime::currentDateTimeUtc());
    console::printLine(judgedRowHeader(QStringLiteral("job_actions")));

    int correct = 0;
    for (const EvalCase& evalCase : std::as_const(cases)) {
        if (evalCase.intention.isEmpty() || evalCase.text.isEmpty() || !evalCase.expected) {
            console::printError(QStringLiteral("Case ") + evalCase.id +
                                QStringLiteral(" needs intention, text, and expected"));
            co_return 2;
        }
        const EvalCase::Metadata metadata = resolveCaseMetadata(evalCase);
        if (metadata.app.isEmpty()) {
            console::printError(QStringLiteral("Case ") + evalCase.id + QStringLiteral(" is missing app"));
            co_return 2;
        }
        QElapsedTimer started;
        started.start();
        const JudgedCase judged =
            co_await judgeCase(briefs, judge, evalCase.id, evalCase.intention, rawValue(*evalCase.expected),
                               evidenceFor(evalCase, metadata), started);
        if (judged.ok())
            ++correct;
        EvalJudgeRunCase record;
        judged.fill(record);
        record.intention = evalCase.intention;
        run.cases.append(record);
        console::printLine(judged.row());
    }

    writeReport(run.outputPath, encodeEvalReport(run));
    console::printLine(QStringLiteral("accuracy=") + QString::number(correct) + QLatin1Char('/') +
                       QString::number(run.cases.size()));
    console::printLine(QStringLiteral("wrote ") + run.outputPath);
    co_return 0;
}

} // namespace tavrine::eval
