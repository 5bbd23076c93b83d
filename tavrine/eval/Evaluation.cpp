#include "tavrine/eval/Evaluation.h"

#include "tavrine/core/Error.h"
#include "tavrine/eval/CaseFile.h"
#include "tavrine/eval/E2EEvaluation.h"
#include "tavrine/eval/EvalCase.h"
#include "tavrine/eval/EvalConsole.h"
#include "tavrine/eval/EvalOptions.h"
#include "tavrine/eval/JudgeEvaluation.h"
#include "tavrine/eval/NudgeEvaluation.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMetaObject>

namespace tavrine::eval {

namespace {

QString describe(const std::exception& error) {
    if (const auto* typed = dynamic_cast<const Error*>(&error))
        return typed->description();
    return QString::fromUtf8(error.what());
}

QCoro::Task<void> evaluateAndQuit() {
    const int status = co_await runEvaluation();
    QCoreApplication::exit(status);
}

} // namespace

QCoro::Task<int> runEvaluation() {
    co_return co_await runEvaluation(QCoreApplication::arguments());
}

QCoro::Task<int> runEvaluation(QStringList arguments) {
    QString failure;
    try {
        const EvalOptions options = parseEvalOptions(arguments);
        // Every task's file has to read as end-to-end cases, the nudge writer's too.
        QList<EvalCase> cases = decodeEvalCases(casefile::readAll(options.cases));
        switch (options.task) {
        case EvalTask::E2E:
            co_return co_await runE2EEvaluation(options, std::move(cases));
        case EvalTask::Judge:
            co_return co_await runJudgeEvaluation(options, std::move(cases));
        case EvalTask::Nudge:
            co_return co_await runNudgeEvaluation(options);
        }
        failure = QStringLiteral("unknown task");
    } catch (const std::exception& error) {
        failure = describe(error);
    } catch (...) {
        failure = QStringLiteral("unknown error");
    }
    console::printError(QStringLiteral("Eval failed: ") + failure);
    co_return 2;
}

int runEvaluationProgram(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The evaluation's lines are the output; Tavrine's detailed (info-level) log lines would only bury the
    // warnings on standard error. QT_LOGGING_RULES still turns them back on.
    QLoggingCategory::setFilterRules(QStringLiteral("com.dravolence.tavrine.*.debug=false"));
    // Started from the running loop, so that an evaluation that ends at once can still end the loop.
    QMetaObject::invokeMethod(
        &app, [] { evaluateAndQuit(); }, Qt::QueuedConnection);
    return app.exec();
}

} // namespace tavrine::eval
