#include "HarnessRun.h"

#include <QJsonArray>
#include <QRegularExpression>

using namespace tavrine::test;

namespace {

const QString header =
    QStringLiteral("id\texpected\tpredicted\tok\tlatency_s\tenough_evidence\tsupports_job\tjob_origin\tjob_actions");

// A row with its latency field replaced by "L" once it has the "%.3f" shape.
QString withoutLatency(const QString& row) {
    QStringList fields = row.split(QLatin1Char('\t'));
    if (fields.size() > 4 && QRegularExpression(QStringLiteral("^\\d+\\.\\d{3}$")).match(fields[4]).hasMatch())
        fields[4] = QStringLiteral("L");
    return fields.join(QLatin1Char('\t'));
}

} // namespace

using JudgeRun = HarnessRun;

TEST_F(JudgeRun, JudgesEveryCaseAndRecordsServiceFailures) {
    write(QStringLiteral("cases.json"), R"([
        {"id": "j1", "image": "shots/Safari.png", "intention": "  Research   accessibility ",
         "text": "Accessibility is the design/of things", "expected": "relevant"},
        {"id": "j2", "app": "Editor", "intention": "Write", "text": "t", "expected": "unrelated"},
        {"id": "j3", "app": "Editor", "intention": "Write", "text": "t", "expected": "uncertain"},
        {"id": "j4", "app": "Editor", "intention": "Write", "text": "t", "expected": "relevant"},
        {"id": "j5", "image": "Unknown.png", "intention": "Write", "text": "t", "expected": "unrelated"},
        {"id": "j6", "app": "Editor", "intention": "Write", "text": "t", "expected": "unrelated"}
    ])");
    write(QStringLiteral("judge-results.json"), QByteArray(10000, 'x'));
    m_api.enqueue(QStringLiteral("judge"), FakeReply::json(verdict(QStringLiteral("relevant"), 0.8, 0.912345)));
    m_api.enqueue(QStringLiteral("judge"), FakeReply::text(503, "busy"));
    m_api.enqueue(QStringLiteral("judge"), FakeReply::text(401, "who are you"));
    m_api.enqueue(QStringLiteral("judge"), FakeReply::text(200, "<html>not json</html>"));
    m_api.enqueue(QStringLiteral("judge"), FakeReply::json(verdict(QStringLiteral("unrelated"), 0.25, 0.00005)));
    m_api.enqueue(QStringLiteral("judge"), FakeReply::json(QJsonObject{{"error", "daily_limit"}}, 429));

    const HarnessOutcome outcome = run(QStringLiteral("--eval --task judge --cases cases.json"));
    ASSERT_TRUE(outcome.finished) << outcome.err.toStdString();
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();

    const QStringList lines = outcome.outLines();
    ASSERT_EQ(lines.size(), 9) << outcome.out.toStdString();
    EXPECT_EQ(lines[0], header);
    EXPECT_EQ(withoutLatency(lines[1]), QStringLiteral("j1\trelevant\trelevant\ttrue\tL\t0.8000\t0.9123\traw\t"));
    EXPECT_EQ(withoutLatency(lines[2]), QStringLiteral("j2\tunrelated\t\tfalse\tL\t\t\traw\t"));
    EXPECT_EQ(withoutLatency(lines[3]), QStringLiteral("j3\tuncertain\t\tfalse\tL\t\t\traw\t"));
    EXPECT_EQ(withoutLatency(lines[4]), QStringLiteral("j4\trelevant\t\tfalse\tL\t\t\traw\t"));
    EXPECT_EQ(withoutLatency(lines[5]), QStringLiteral("j5\tunrelated\tunrelated\ttrue\tL\t0.2500\t0.0001\traw\t"));
    EXPECT_EQ(withoutLatency(lines[6]), QStringLiteral("j6\tunrelated\t\tfalse\tL\t\t\traw\t"));
    EXPECT_EQ(lines[7], QStringLiteral("accuracy=2/6"));
    EXPECT_EQ(lines[8], QStringLiteral("wrote ") + path(QStringLiteral("judge-results.json")));
    // Standard error says why each call failed, in words; the report keeps the codes.
    for (const QString& line :
         {QStringLiteral("Case j2 failed: The API answered with HTTP 503\n"),
          QStringLiteral("Case j3 failed: The API refused the token (401): check TAVRINE_API_TOKEN\n"),
          QStringLiteral("Case j4 failed: The answer is not a JSON object: "),
          QStringLiteral("Case j6 failed: The API's daily limit is reached (429)\n")})
        EXPECT_EQ(outcome.err.count(line), 1) << line.toStdString() << outcome.err.toStdString();
    EXPECT_EQ(outcome.err.count(QStringLiteral("Case j")), 4) << outcome.err.toStdString();

    // What the judge was sent: the collapsed intention, the window from the screenshot table, the text as written.
    const auto requests = m_api.requests(QStringLiteral("judge"));
    ASSERT_EQ(requests.size(), 6);
    EXPECT_TRUE(m_api.requests(QStringLiteral("job")).isEmpty());
    EXPECT_EQ(requests[0].header("Authorization"), QByteArray("Bearer test-token"));
    const QJsonObject first = requests[0].json();
    EXPECT_EQ(first.value(QStringLiteral("intention")).toString(), QStringLiteral("Research accessibility"));
    EXPECT_EQ(first.value(QStringLiteral("actions")).toString(), QString());
    const QJsonObject state = first.value(QStringLiteral("state")).toObject();
    EXPECT_EQ(state.value(QStringLiteral("app")).toString(), QStringLiteral("Safari"));
    EXPECT_EQ(state.value(QStringLiteral("window")).toString(), QStringLiteral("Accessibility - Wikipedia"));
    EXPECT_EQ(state.value(QStringLiteral("subject")).toString(), QStringLiteral("Accessibility"));
    EXPECT_EQ(state.value(QStringLiteral("text")).toString(), QStringLiteral("Accessibility is the design/of things"));
    // An image without a row stands for the app by its file name.
    EXPECT_EQ(requests[4].json().value(QStringLiteral("state")).toObject().value(QStringLiteral("app")).toString(),
              QStringLiteral("Unknown.png"));

    const QJsonObject report = this->report(QStringLiteral("judge-results.json"));
    EXPECT_EQ(report.value(QStringLiteral("task")).toString(), QStringLiteral("judge"));
    EXPECT_EQ(report.value(QStringLiteral("expand")), QJsonValue(false));
    EXPECT_EQ(report.value(QStringLiteral("cases_path")).toString(), path(QStringLiteral("cases.json")));
    const QJsonObject answered = caseAt(report, 0);
    EXPECT_EQ(answered.value(QStringLiteral("intention")).toString(), QStringLiteral("  Research   accessibility "));
    EXPECT_EQ(answered.value(QStringLiteral("predicted_raw")).toString(),
              QStringLiteral("enough_evidence: 0.8000\nIs this the work?: 0.9123"));
    EXPECT_EQ(answered.value(QStringLiteral("job_origin")).toString(), QStringLiteral("raw"));
    EXPECT_FALSE(answered.contains(QStringLiteral("job_actions")));
    EXPECT_FALSE(answered.contains(QStringLiteral("error")));

    // Failures: the code in both fields, no scores, never right.
    const QJsonObject unavailable = caseAt(report, 1);
    EXPECT_EQ(unavailable.value(QStringLiteral("error")).toString(), QStringLiteral("typesafeHTTP503"));
    EXPECT_EQ(unavailable.value(QStringLiteral("predicted_raw")).toString(), QStringLiteral("typesafeHTTP503"));
    EXPECT_FALSE(unavailable.contains(QStringLiteral("enough_evidence")));
    EXPECT_FALSE(unavailable.contains(QStringLiteral("supports_job")));
    for (int i : {2, 3, 5}) {
        const QJsonObject failed = caseAt(report, i);
        EXPECT_FALSE(failed.value(QStringLiteral("error")).toString().isEmpty()) << i;
        EXPECT_EQ(failed.value(QStringLiteral("error")), failed.value(QStringLiteral("predicted_raw"))) << i;
    }
    EXPECT_NE(caseAt(report, 2).value(QStringLiteral("error")), caseAt(report, 3).value(QStringLiteral("error")));
    // A refused token and a daily limit share the stored code.
    EXPECT_EQ(caseAt(report, 2).value(QStringLiteral("error")).toString(), QStringLiteral("typesafeHTTP0"));
    EXPECT_EQ(caseAt(report, 5).value(QStringLiteral("error")), caseAt(report, 2).value(QStringLiteral("error")));
}

TEST_F(JudgeRun, ExpandsEachIntentionTextOnce) {
    write(QStringLiteral("cases.json"), R"([
        {"id": "k1", "app": "Writer", "intention": "Write the report", "text": "t", "expected": "relevant"},
        {"id": "k2", "app": "Writer", "intention": "Write the report", "text": "t", "expected": "relevant"},
        {"id": "k3", "app": "Writer", "intention": "Write  the report", "text": "t", "expected": "relevant"},
        {"id": "k4", "app": "Writer", "intention": "Write  the report", "text": "t", "expected": "relevant"},
        {"id": "k5", "app": "Writer", "intention": "   ", "text": "t", "expected": "relevant"}
    ])");
    m_api.enqueue(
        QStringLiteral("job"),
        FakeReply::json(QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")},
                                    {QStringLiteral("actions"), QStringLiteral("draft  sections,\ncheck sums")},
                                    {QStringLiteral("version"), QStringLiteral("job-v3")}}));
    m_api.enqueue(QStringLiteral("job"), FakeReply::text(500, "down"));
    for (int i = 0; i < 5; ++i)
        m_api.enqueue(QStringLiteral("judge"), FakeReply::json(verdict(QStringLiteral("relevant"), 0.5, 0.5)));

    const HarnessOutcome outcome =
        run(QStringLiteral("--task=judge --expand --cases=cases.json --out out/../judged.json"));
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();

    // One call per distinct text; a failed one is kept too; a blank intention needs none.
    const auto jobs = m_api.requests(QStringLiteral("job"));
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(jobs[0].json().value(QStringLiteral("intention")).toString(), QStringLiteral("Write the report"));
    const auto judged = m_api.requests(QStringLiteral("judge"));
    ASSERT_EQ(judged.size(), 5);
    const QString actions = QStringLiteral("draft sections, check sums");
    EXPECT_EQ(judged[1].json().value(QStringLiteral("actions")).toString(), actions);
    EXPECT_EQ(judged[2].json().value(QStringLiteral("actions")).toString(), QString());
    EXPECT_EQ(judged[2].json().value(QStringLiteral("intention")).toString(), QStringLiteral("Write the report"));
    EXPECT_EQ(judged[4].json().value(QStringLiteral("intention")).toString(), QString());

    const QStringList lines = outcome.outLines();
    ASSERT_EQ(lines.size(), 8);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\tmodel\t") + actions));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("\traw\t")));
    EXPECT_EQ(lines[7], QStringLiteral("wrote ") + path(QStringLiteral("judged.json")));

    const QJsonObject report = this->report(QStringLiteral("judged.json"));
    EXPECT_EQ(report.value(QStringLiteral("expand")), QJsonValue(true));
    EXPECT_EQ(report.value(QStringLiteral("output_path")).toString(), path(QStringLiteral("judged.json")));
    EXPECT_EQ(caseAt(report, 1).value(QStringLiteral("job_actions")).toString(), actions);
    EXPECT_EQ(caseAt(report, 1).value(QStringLiteral("job_origin")).toString(), QStringLiteral("model"));
    EXPECT_EQ(caseAt(report, 1).value(QStringLiteral("predicted_raw")).toString(),
              QStringLiteral("job[model job-v3]: ") + actions +
                  QStringLiteral("\nenough_evidence: 0.5000\nIs this the work?: 0.5000"));
    EXPECT_FALSE(caseAt(report, 3).contains(QStringLiteral("job_actions")));
    EXPECT_FALSE(exists(QStringLiteral("judge-results.json")));
}

TEST_F(JudgeRun, StopsAtTheFirstIncompleteCase) {
    write(QStringLiteral("text.json"), R"([
        {"id": "v1", "app": "Writer", "intention": "Write", "text": "t", "expected": "relevant"},
        {"id": "v2", "app": "Writer", "intention": "Write", "text": "", "expected": "relevant"},
        {"id": "v3", "app": "Writer", "intention": "Write", "text": "t", "expected": "relevant"}
    ])");
    m_api.setCannedReplies(true);
    const HarnessOutcome text = expectStop(QStringLiteral("--task judge --cases text.json"),
                                           QStringLiteral("Case v2 needs intention, text, and expected\n"));
    EXPECT_EQ(text.outLines().size(), 2);
    EXPECT_TRUE(text.outLines().value(1).startsWith(QStringLiteral("v1\t")));
    EXPECT_FALSE(exists(QStringLiteral("judge-results.json")));

    // Neither an image nor an app names no app at all (not the folder the program runs in); an empty app neither.
    const std::pair<QByteArray, QString> stops[] = {
        {R"([{"id": "m1", "intention": "i", "text": "t", "expected": "relevant"}])",
         QStringLiteral("Case m1 is missing app\n")},
        {R"([{"id": "m1", "image": "Mail.png", "app": "", "intention": "i", "text": "t", "expected": "relevant"}])",
         QStringLiteral("Case m1 is missing app\n")},
        {R"([{"id": "x", "app": "A", "text": "t", "expected": "relevant"}])",
         QStringLiteral("Case x needs intention, text, and expected\n")},
        {R"([{"id": "x", "app": "A", "intention": "i", "text": "t", "expected": ""}])",
         QStringLiteral("Case x needs intention, text, and expected\n")},
    };
    for (const auto& [cases, message] : stops) {
        write(QStringLiteral("stop.json"), cases);
        EXPECT_EQ(expectStop(QStringLiteral("--task=judge --cases=stop.json"), message).outLines(),
                  QStringList{header});
    }
    EXPECT_EQ(m_api.requests(QStringLiteral("judge")).size(), 1);
}
