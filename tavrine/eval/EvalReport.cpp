#include "tavrine/eval/EvalReport.h"

#include "tavrine/eval/EvalFileError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace tavrine::eval {

namespace {

void insertOptional(QJsonObject& object, const QString& key, const std::optional<QString>& value) {
    if (value)
        object.insert(key, *value);
}

void insertOptional(QJsonObject& object, const QString& key, const std::optional<double>& value) {
    if (value)
        object.insert(key, *value);
}

QJsonObject caseObject(const EvalJudgeRunCase& c) {
    QJsonObject o;
    o.insert(QStringLiteral("id"), c.id);
    o.insert(QStringLiteral("intention"), c.intention);
    insertOptional(o, QStringLiteral("job_actions"), c.jobActions);
    o.insert(QStringLiteral("job_origin"), c.jobOrigin);
    o.insert(QStringLiteral("expected"), c.expected);
    o.insert(QStringLiteral("predicted"), c.predicted);
    o.insert(QStringLiteral("predicted_raw"), c.predictedRaw);
    insertOptional(o, QStringLiteral("enough_evidence"), c.enoughEvidence);
    insertOptional(o, QStringLiteral("supports_job"), c.supportsJob);
    o.insert(QStringLiteral("ok"), c.ok);
    o.insert(QStringLiteral("latency_s"), c.latencyS);
    insertOptional(o, QStringLiteral("error"), c.error);
    return o;
}

QJsonObject caseObject(const EvalE2ERunCase& c) {
    QJsonObject o = caseObject(static_cast<const EvalJudgeRunCase&>(c));
    o.insert(QStringLiteral("image"), c.image);
    o.insert(QStringLiteral("judge_text"), c.judgeText);
    return o;
}

QJsonObject caseObject(const NudgeEvalRunCase& c) {
    QJsonObject o;
    o.insert(QStringLiteral("id"), c.id);
    o.insert(QStringLiteral("input"), c.input);
    o.insert(QStringLiteral("output"), c.output);
    insertOptional(o, QStringLiteral("format_issue"), c.formatIssue);
    o.insert(QStringLiteral("accepted"), c.accepted);
    o.insert(QStringLiteral("latency_s"), c.latencyS);
    insertOptional(o, QStringLiteral("error"), c.error);
    return o;
}

template <typename Case> QJsonArray caseArray(const QList<Case>& cases) {
    QJsonArray array;
    for (const Case& c : cases)
        array.append(caseObject(c));
    return array;
}

// QJsonObject keeps its members sorted by key, which gives the report its sorted order at every level. QJson
// never escapes "/", while reports write it as "\/"; outside strings a JSON text holds no "/", so escaping every
// one in the serialised text is exact.
QByteArray serialise(const QJsonObject& object) {
    QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    bytes.replace('/', QByteArrayLiteral("\\/"));
    return bytes;
}

// The members every report has.
template <typename Run> QJsonObject runObject(const Run& run) {
    QJsonObject o;
    o.insert(QStringLiteral("task"), run.task);
    o.insert(QStringLiteral("cases_path"), run.casesPath);
    o.insert(QStringLiteral("output_path"), run.outputPath);
    o.insert(QStringLiteral("started_at"), run.startedAt);
    o.insert(QStringLiteral("cases"), caseArray(run.cases));
    return o;
}

template <typename Case> QByteArray encodeRun(const EvalRun<Case>& run) {
    QJsonObject o = runObject(run);
    o.insert(QStringLiteral("classifier"), run.classifier);
    o.insert(QStringLiteral("expand"), run.expand);
    return serialise(o);
}

} // namespace

QByteArray encodeEvalReport(const EvalE2ERun& run) {
    return encodeRun(run);
}

QByteArray encodeEvalReport(const EvalJudgeRun& run) {
    return encodeRun(run);
}

QByteArray encodeNudgeReport(const NudgeEvalRun& run) {
    QJsonObject o = runObject(run);
    o.insert(QStringLiteral("model"), run.model);
    o.insert(QStringLiteral("prompt_version"), run.promptVersion);
    return serialise(o);
}

void writeReport(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw EvalFileError::write(path, file.errorString());
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EvalFileError::write(path, file.errorString());
}

QString startedAtText(const QDateTime& time) {
    // Qt::ISODate writes whole seconds and "Z" for UTC, independent of the locale.
    return time.toUTC().toString(Qt::ISODate);
}

} // namespace tavrine::eval
