#include "tavrine/eval/JudgedCase.h"

#include "tavrine/eval/EvalConsole.h"
#include "tavrine/model/EvidenceDiagnostics.h"

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

QString judgedRowHeader(const QString& lastColumn) {
    return QStringList{QStringLiteral("id"),           QStringLiteral("expected"),   QStringLiteral("predicted"),
                       QStringLiteral("ok"),           QStringLiteral("latency_s"),  QStringLiteral("enough_evidence"),
                       QStringLiteral("supports_job"), QStringLiteral("job_origin"), lastColumn}
        .join(QLatin1Char('\t'));
}

QCoro::Task<JudgedCase> judgeCase(JobBriefs& briefs, JevClient& judge, QString id, QString intention, QString expected,
                                  ActivityEvidence evidence, QElapsedTimer started) {
    JudgedCase judged;
    judged.id = std::move(id);
    judged.expected = std::move(expected);
    judged.brief = co_await briefs.briefFor(intention);
    try {
        judged.verdict = co_await judge.judge(judged.brief.intention, judged.brief.actions, std::move(evidence));
    } catch (...) {
        judged.errorCode = errorKindCode(std::current_exception());
    }
    judged.latency = double(started.nsecsElapsed()) / 1e9;
    co_return judged;
}

} // namespace tavrine::eval
