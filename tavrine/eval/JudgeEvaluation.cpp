#include "tavrine/eval/JudgeEvaluation.h"

#include "tavrine/eval/EvalConsole.h"
#include "tavrine/eval/EvalReport.h"
#include "tavrine/eval/EvalServices.h"
#include "tavrine/eval/JudgedCase.h"

namespace tavrine::eval {

namespace {

// The case as the judge sees it: its own text under the window it names, with no process or window behind it.
ActivityEvidence evidenceFor(const EvalCase& evalCase, const EvalCase::Metadata& metadata) {
    ActivityEvidence evidence = judgedEvidence(metadata, QStringLiteral("accessibility"));
    evidence.text = evalCase.text;
    return evidence;
}

} // namespace

QCoro::Task<int> runJudgeEvaluation(EvalOptions options, QList<EvalCase> cases) {
    EvalServices services;
    co_await services.start();
    JobBriefs briefs(services.api(), options.expand);
    JevClient judge(services.api());

    EvalJudgeRun run = startJudgedRun<EvalJudgeRunCase>(
        QStringLiteral("judge"), options, QStringLiteral("judge-results.json"), QStringLiteral("job_actions"));

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
        judged.print();
    }

    finishJudgedRun(run, correct);
    co_return 0;
}

} // namespace tavrine::eval
