#include "tavrine/eval/EvalReport.h"
#include "tavrine/eval/EvalFileError.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace tavrine::eval;

namespace {

// The member names of the report text in the order in which they are written, per nesting level.
QStringList keysInOrder(const QByteArray& json, const QString& indent) {
    QStringList keys;
    static const QRegularExpression member(QStringLiteral("^( *)\"([a-z_]+)\": "), QRegularExpression::MultilineOption);
    auto it = member.globalMatch(QString::fromUtf8(json));
    while (it.hasNext()) {
        const auto match = it.next();
        if (match.captured(1) == indent)
            keys.append(match.captured(2));
    }
    return keys;
}

EvalJudgeRunCase judged() {
    EvalJudgeRunCase c;
    c.id = QStringLiteral("j/1");
    c.intention = QStringLiteral("Read https://example.com/docs");
    c.jobActions = QStringLiteral("read docs");
    c.jobOrigin = QStringLiteral("model");
    c.expected = QStringLiteral("relevant");
    c.predicted = QStringLiteral("relevant");
    c.predictedRaw = QStringLiteral("enough_evidence: 0.9000\nIs it?: 0.1000");
    c.enoughEvidence = 0.1 + 0.2;
    c.supportsJob = 1e-7;
    c.ok = true;
    c.latencyS = 0.123456789012345;
    return c;
}

// While it lives, no file of this process may grow past `bytes`: a write beyond fails with EFBIG, as it would on
// a full disk (the signal that would end the process is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousSignal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousSignal)(int) = SIG_DFL;
};

} // namespace

TEST(EvalReport, JudgeReportMembersSortedEscapedAndExact) {
    EvalJudgeRun run;
    run.task = QStringLiteral("judge");
    run.expand = true;
    run.casesPath = QStringLiteral("/data/cases.json");
    run.outputPath = QStringLiteral("/data/judge-results.json");
    run.startedAt = QStringLiteral("2026-03-05T14:07:09Z");
    EvalJudgeRunCase failed;
    failed.id = QStringLiteral("j2");
    failed.jobOrigin = QStringLiteral("raw");
    failed.expected = QStringLiteral("unrelated");
    failed.predictedRaw = QStringLiteral("typesafeHTTP503");
    failed.error = QStringLiteral("typesafeHTTP503");
    failed.latencyS = 2;
    run.cases = {judged(), failed};

    const QByteArray bytes = encodeEvalReport(run);
    EXPECT_EQ(keysInOrder(bytes, QStringLiteral("    ")),
              QStringList({"cases", "cases_path", "classifier", "expand", "output_path", "started_at", "task"}));
    // First case complete; the failed one without its absent members.
    EXPECT_EQ(keysInOrder(bytes, QStringLiteral("            ")),
              QStringList({"enough_evidence", "expected",  "id",       "intention", "job_actions",
                           "job_origin",      "latency_s", "ok",       "predicted", "predicted_raw",
                           "supports_job",    "error",     "expected", "id",        "intention",
                           "job_origin",      "latency_s", "ok",       "predicted", "predicted_raw"}));
    EXPECT_FALSE(bytes.contains("null"));
    EXPECT_TRUE(bytes.contains(R"("\/data\/cases.json")"));
    EXPECT_TRUE(bytes.contains(R"("j\/1")"));
    EXPECT_FALSE(QString::fromUtf8(bytes).contains(QRegularExpression(QStringLiteral(R"([^\\]/)"))));

    // Whatever the escaping, a JSON reader gets every value back exactly.
    const QJsonObject back = QJsonDocument::fromJson(bytes).object();
    EXPECT_EQ(back.value(QStringLiteral("cases_path")).toString(), run.casesPath);
    EXPECT_EQ(back.value(QStringLiteral("classifier")).toString(), QStringLiteral("jev"));
    EXPECT_EQ(back.value(QStringLiteral("expand")), QJsonValue(true));
    const QJsonObject first = back.value(QStringLiteral("cases")).toArray().at(0).toObject();
    EXPECT_EQ(first.value(QStringLiteral("intention")).toString(), judged().intention);
    EXPECT_EQ(first.value(QStringLiteral("predicted_raw")).toString(), judged().predictedRaw);
    EXPECT_EQ(first.value(QStringLiteral("enough_evidence")).toDouble(), 0.1 + 0.2);
    EXPECT_EQ(first.value(QStringLiteral("supports_job")).toDouble(), 1e-7);
    EXPECT_EQ(first.value(QStringLiteral("latency_s")).toDouble(), 0.123456789012345);
    EXPECT_EQ(first.value(QStringLiteral("ok")), QJsonValue(true));
}

TEST(EvalReport, EndToEndAndNudgeCaseMembers) {
    EvalE2ERun e2e;
    e2e.cases = {EvalE2ERunCase{}};
    e2e.cases[0].enoughEvidence = 0.5;
    EXPECT_EQ(keysInOrder(encodeEvalReport(e2e), QStringLiteral("            ")),
              QStringList({"enough_evidence", "expected", "id", "image", "intention", "job_origin", "judge_text",
                           "latency_s", "ok", "predicted", "predicted_raw"}));

    NudgeEvalRun nudge;
    NudgeEvalRunCase rejected;
    rejected.formatIssue = QStringLiteral("too long");
    nudge.cases = {NudgeEvalRunCase{}, rejected};
    const QByteArray bytes = encodeNudgeReport(nudge);
    EXPECT_EQ(keysInOrder(bytes, QStringLiteral("    ")),
              QStringList({"cases", "cases_path", "model", "output_path", "prompt_version", "started_at", "task"}));
    EXPECT_EQ(keysInOrder(bytes, QStringLiteral("            ")),
              QStringList({"accepted", "id", "input", "latency_s", "output", "accepted", "format_issue", "id", "input",
                           "latency_s", "output"}));
}

TEST(EvalReport, StartTimeIsUtcWithWholeSeconds) {
    const QDateTime berlin(QDate(2026, 3, 5), QTime(15, 7, 9, 870), QTimeZone("Europe/Berlin"));
    EXPECT_EQ(startedAtText(berlin), QStringLiteral("2026-03-05T14:07:09Z"));
}

TEST(EvalReport, WritingReplacesWholeOrLeavesTheOldReport) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.json"));
    writeReport(path, QByteArray(4096, 'a'));
    writeReport(path, "{}\n");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("{}\n"));
    file.close();

    EXPECT_THROW(writeReport(dir.filePath(QStringLiteral("missing/results.json")), "{}"), EvalFileError);
    // A folder in the report's place is not replaced.
    QDir(dir.path()).mkdir(QStringLiteral("taken.json"));
    EXPECT_THROW(writeReport(dir.filePath(QStringLiteral("taken.json")), "{}"), EvalFileError);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("taken.json"))).isDir());
    // Nothing but the report is left behind in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("results.json")});

    // A write that breaks off part way, as on a full disk, fails and leaves the old report whole.
    {
        const FileSizeLimit full(64 * 1024);
        EXPECT_THROW(writeReport(path, QByteArray(1024 * 1024, 'n')), EvalFileError);
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("{}\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("results.json")});
}
