#include "tavrine/eval/NudgeEvaluation.h"

#include "tavrine/eval/CaseFile.h"
#include "tavrine/eval/EvalConsole.h"
#include "tavrine/eval/EvalReport.h"
#include "tavrine/eval/EvalServices.h"
#include "tavrine/eval/NudgeEvalCase.h"
#include "tavrine/services/LocalNudgeWriter.h"
#include "tavrine/services/NudgeWriterError.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <numeric>

namespace tavrine::eval {

namespace {

NudgeFacts factsOf(const NudgeEvalCase& evalCase) {
    return {evalCase.intention, evalCase.app,     evalCase.url,    evalCase.work,
            evalCase.window,    evalCase.subject, evalCase.focused};
}

QString describe(const std::exception& error) {
    if (const auto* typed = dynamic_cast<const Error*>(&error))
        return typed->description();
    return QString::fromUtf8(error.what());
}

QString reasonOf(const std::exception& error) {
    if (const auto* typed = dynamic_cast<const Error*>(&error))
        return typed->reason();
    return QString::fromUtf8(error.what());
}

} // namespace

QString nudgeFactsJSON(const NudgeFacts& facts) {
    return QString::fromUtf8(QJsonDocument(facts.toJson()).toJson(QJsonDocument::Compact));
}

double medianLatency(QList<double> latencies) {
    if (latencies.isEmpty())
        return 0;
    std::sort(latencies.begin(), latencies.end());
    return latencies.at(std::min(latencies.size() / 2, latencies.size() - 1));
}

QCoro::Task<int> runNudgeEvaluation(EvalOptions options) {
    const QList<NudgeEvalCase> cases = decodeNudgeEvalCases(casefile::readAll(options.cases));
    EvalServices services;
    co_await services.start();
    LocalNudgeWriter writer(services.api());

    NudgeEvalRun run;
    run.casesPath = options.cases;
    run.outputPath =
        options.output.value_or(QDir(QFileInfo(options.cases).path()).filePath(QStringLiteral("results.json")));
    run.startedAt = startedAtText(QDateTime::currentDateTimeUtc());
    console::printLine(QStringLiteral("id\tlatency_s\toutput"));

    QList<double> latencies;
    bool failed = false;
    for (const NudgeEvalCase& evalCase : cases) {
        const NudgeFacts facts = factsOf(evalCase);
        NudgeEvalRunCase record;
        record.id = evalCase.id;
        record.input = nudgeFactsJSON(facts);
        QElapsedTimer started;
        started.start();
        QString reason;
        try {
            const WrittenNudge nudge = co_await writer.write(facts);
            record.output = nudge.text;
            record.accepted = true;
            run.model = nudge.model;
            run.promptVersion = nudge.promptVersion;
        } catch (const NudgeWriterError& error) {
            if (error.kind() == NudgeWriterError::Kind::rejected)
                record.formatIssue = error.text();
            else
                record.error = error.description();
            reason = error.reason();
        } catch (const std::exception& error) {
            record.error = describe(error);
            reason = reasonOf(error);
        } catch (...) {
            record.error = QStringLiteral("unknown error");
        }
        record.latencyS = double(started.nsecsElapsed()) / 1e9;
        latencies.append(record.latencyS);
        failed = failed || record.error.has_value();
        run.cases.append(record);
        QString output = record.output;
        console::printLine(record.id + QLatin1Char('\t') + console::fixed(record.latencyS, 3) + QLatin1Char('\t') +
                           output.replace(QLatin1Char('\n'), QLatin1Char(' ')));
        if (record.error)
            console::printError(
                QStringLiteral("Case %1 failed: %2").arg(record.id, reason.isEmpty() ? *record.error : reason));
    }

    writeReport(run.outputPath, encodeNudgeReport(run));
    const double total = std::accumulate(latencies.cbegin(), latencies.cend(), 0.0);
    console::printLine(QStringLiteral("wrote ") + run.outputPath + QStringLiteral(" p50=") +
                       console::fixed(medianLatency(latencies), 3) + QStringLiteral("s total=") +
                       console::fixed(total, 3) + QLatin1Char('s'));
    co_return failed ? 1 : 0;
}

} // namespace tavrine::eval
