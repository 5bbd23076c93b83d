#include "HarnessRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

using namespace tavrine::test;

namespace {

QJsonObject written(const QString& text, const QString& model) {
    return QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")},
                       {QStringLiteral("nudge"), text},
                       {QStringLiteral("model"), model},
                       {QStringLiteral("prompt_version"), model + QStringLiteral("-prompt")}};
}

QJsonObject rejected(const QString& reason) {
    return QJsonObject{{QStringLiteral("status"), QStringLiteral("rejected")}, {QStringLiteral("reason"), reason}};
}

} // namespace

using NudgeRun = HarnessRun;

TEST_F(NudgeRun, WritesEveryCaseAndCountsOnlyErrorsAsFailures) {
    write(QStringLiteral("cases.json"), R"([
        {"id": "n1", "intention": "  Write the report ", "app": "Firefox", "url": "https://v.example/w",
         "work": "report.odt", "window": "Goals", "subject": "Goals", "focused": "play", "notes": "not sent"},
        {"id": "n2", "intention": "Write"},
        {"id": "n3", "intention": "Write"},
        {"id": "n4", "intention": "Write"},
        {"id": "n5", "intention": "Write"}
    ])");
    m_api.enqueue(
        QStringLiteral("nudge"),
        FakeReply::json(written(QStringLiteral("Back to the report.\nYou were on it."), QStringLiteral("w-a"))));
    m_api.enqueue(QStringLiteral("nudge"), FakeReply::json(rejected(QStringLiteral("too pushy"))));
    m_api.enqueue(QStringLiteral("nudge"), FakeReply::text(500, "exploded"));
    m_api.enqueue(QStringLiteral("nudge"), FakeReply::text(401, "no"));
    m_api.enqueue(QStringLiteral("nudge"), FakeReply::text(200, "garbage"));

    const HarnessOutcome outcome = run(QStringLiteral("--eval --task nudge --expand --cases cases.json"));
    EXPECT_EQ(outcome.status, 1) << outcome.err.toStdString();
    const QStringList lines = outcome.outLines();
    ASSERT_EQ(lines.size(), 7) << outcome.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("id\tlatency_s\toutput"));
    const QRegularExpression row(QStringLiteral("^(n\\d)\\t\\d+\\.\\d{3}\\t(.*)$"));
    const auto first = row.match(lines[1]);
    ASSERT_TRUE(first.hasMatch()) << lines[1].toStdString();
    EXPECT_EQ(first.captured(2), QStringLiteral("Back to the report. You were on it."));
    for (int i = 2; i <= 5; ++i) {
        const auto failed = row.match(lines[i]);
        ASSERT_TRUE(failed.hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(failed.captured(2), QString()) << i;
    }
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^wrote ") + QRegularExpression::escape(path("results.json")) +
                                   QStringLiteral(" p50=\\d+\\.\\d{3}s total=\\d+\\.\\d{3}s$"))
                    .match(lines[6])
                    .hasMatch())
        << lines[6].toStdString();
    // Errors say why on standard error; a rejected nudge is no error.
    for (const QString& line :
         {QStringLiteral("Case n3 failed: The API answered with HTTP 500\n"),
          QStringLiteral("Case n4 failed: The API refused the token (401): check TAVRINE_API_TOKEN\n"),
          QStringLiteral("Case n5 failed: The answer is not a JSON object: ")})
        EXPECT_EQ(outcome.err.count(line), 1) << line.toStdString() << outcome.err.toStdString();
    EXPECT_FALSE(outcome.err.contains(QStringLiteral("Case n2"))) << outcome.err.toStdString();

    // The facts go out as written, absent ones as empty texts, the identifier and notes not at all.
    const auto requests = m_api.requests(QStringLiteral("nudge"));
    ASSERT_EQ(requests.size(), 5);
    const QJsonObject sent = requests[0].json();
    EXPECT_EQ(sent.value(QStringLiteral("intention")).toString(), QStringLiteral("  Write the report "));
    EXPECT_EQ(sent.value(QStringLiteral("work")).toString(), QStringLiteral("report.odt"));
    EXPECT_FALSE(sent.contains(QStringLiteral("id")));
    EXPECT_FALSE(sent.contains(QStringLiteral("notes")));
    EXPECT_EQ(requests[1].json().value(QStringLiteral("focused")), QJsonValue(QString()));

    const QJsonObject report = this->report(QStringLiteral("results.json"));
    EXPECT_EQ(report.value(QStringLiteral("task")).toString(), QStringLiteral("nudge"));
    // Failures after the last written nudge leave its model in place.
    EXPECT_EQ(report.value(QStringLiteral("model")).toString(), QStringLiteral("w-a"));
    EXPECT_EQ(report.value(QStringLiteral("prompt_version")).toString(), QStringLiteral("w-a-prompt"));
    const QJsonArray cases = report.value(QStringLiteral("cases")).toArray();
    ASSERT_EQ(cases.size(), 5);
    const QJsonObject ok = cases[0].toObject();
    EXPECT_EQ(ok.value(QStringLiteral("output")).toString(), QStringLiteral("Back to the report.\nYou were on it."));
    EXPECT_EQ(ok.value(QStringLiteral("accepted")), QJsonValue(true));
    EXPECT_FALSE(ok.contains(QStringLiteral("error")));
    EXPECT_FALSE(ok.contains(QStringLiteral("format_issue")));
    const QJsonObject input = QJsonDocument::fromJson(ok.value(QStringLiteral("input")).toString().toUtf8()).object();
    EXPECT_EQ(input, sent);
    // Compact: no blanks or line breaks between the members.
    EXPECT_FALSE(ok.value(QStringLiteral("input")).toString().contains(QStringLiteral("\": ")));
    EXPECT_FALSE(ok.value(QStringLiteral("input")).toString().contains(QLatin1Char('\n')));

    const QJsonObject refused = cases[1].toObject();
    EXPECT_EQ(refused.value(QStringLiteral("accepted")), QJsonValue(false));
    EXPECT_EQ(refused.value(QStringLiteral("format_issue")).toString(), QStringLiteral("too pushy"));
    EXPECT_FALSE(refused.contains(QStringLiteral("error")));
    EXPECT_TRUE(cases[2].toObject().value(QStringLiteral("error")).toString().startsWith(QStringLiteral("API HTTP ")));
    for (int i = 2; i <= 4; ++i) {
        EXPECT_FALSE(cases[i].toObject().value(QStringLiteral("error")).toString().isEmpty()) << i;
        EXPECT_EQ(cases[i].toObject().value(QStringLiteral("accepted")), QJsonValue(false)) << i;
        EXPECT_EQ(cases[i].toObject().value(QStringLiteral("output")).toString(), QString()) << i;
    }

    // Rejections alone are no failure; one without a reason is "unknown".
    write(QStringLiteral("rejected.json"), R"([{"id": "r1"}, {"id": "r2"}])");
    m_api.enqueue(QStringLiteral("nudge"), FakeReply::json(rejected(QStringLiteral("bland"))));
    m_api.enqueue(QStringLiteral("nudge"),
                  FakeReply::json(QJsonObject{{QStringLiteral("status"), QStringLiteral("rejected")}}));
    const HarnessOutcome rejections = run(QStringLiteral("--task=nudge --cases=rejected.json --out=rejected-out.json"));
    EXPECT_EQ(rejections.status, 0) << rejections.err.toStdString();
    EXPECT_TRUE(rejections.outLines().value(1).endsWith(QLatin1Char('\t')));
    EXPECT_EQ(caseAt(this->report(QStringLiteral("rejected-out.json")), 1).value(QStringLiteral("format_issue")),
              QJsonValue(QStringLiteral("unknown")));
}

TEST_F(NudgeRun, AReportThatCannotBeWrittenFailsAfterTheRows) {
    write(QStringLiteral("cases.json"), R"([{"id": "a"}, {"id": "b"}])");
    write(QStringLiteral("results.json"), "old report");
    m_api.setCannedReplies(true);
    const HarnessOutcome outcome =
        expectStop(QStringLiteral("--task=nudge --cases=cases.json --out=missing/results.json"),
                   QStringLiteral("Eval failed: Cannot write ") + path(QStringLiteral("missing/results.json")));
    EXPECT_EQ(outcome.outLines().size(), 3);
    EXPECT_FALSE(outcome.out.contains(QStringLiteral("wrote")));
    EXPECT_FALSE(exists(QStringLiteral("missing")));
}
