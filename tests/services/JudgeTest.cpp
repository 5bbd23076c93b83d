#include "ServicesTestSupport.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/JevClient.h"
#include "tavrine/services/JevClientError.h"
#include "tavrine/services/JsonParseError.h"

#include <QJsonArray>

using namespace tavrine;
using namespace tavrine::test;

namespace {

QJsonObject goodAnswer() {
    return QJsonObject{{QStringLiteral("label"), QStringLiteral("unrelated")},
                       {QStringLiteral("enough_evidence"), 0.9},
                       {QStringLiteral("supports"), 0.12345},
                       {QStringLiteral("question"), QStringLiteral("Is this the report?")},
                       {QStringLiteral("version"), QStringLiteral("judge-7")},
                       {QStringLiteral("model"), QStringLiteral("m-1")}};
}

QJsonObject with(QJsonObject object, const QString& member, const QJsonValue& value) {
    if (value.isUndefined())
        object.remove(member);
    else
        object.insert(member, value);
    return object;
}

bool isInvalid(const QJsonObject& answer) {
    try {
        JevClient::parseAnswer(answer);
    } catch (const JevClientError& error) {
        return error.kind() == JevClientError::Kind::invalidResponse;
    }
    return false;
}

} // namespace

class JudgeTest : public FakeApiTest {
protected:
    Outcome<JevVerdict> judge(const ActivityEvidence& evidence, std::optional<QString> actions = std::nullopt) {
        JevClient client(makeClient());
        return run(client.judge(QStringLiteral("write the report"), actions, evidence));
    }
};

TEST_F(JudgeTest, SendsIntentionSixStateTextsAndActions) {
    ActivityEvidence evidence;
    evidence.app = QStringLiteral("Editor");
    evidence.title = QStringLiteral("report.md");
    evidence.subject = QStringLiteral("Draft");
    evidence.url = QStringLiteral("https://docs.example.com/r");
    evidence.focusedDescription = QStringLiteral("text area");
    evidence.text = QStringLiteral("The quarterly report");
    evidence.bundle = QStringLiteral("not.sent");
    api.enqueue(QStringLiteral("judge"), FakeReply::json(goodAnswer()));
    const auto outcome = judge(evidence, QStringLiteral("write, edit"));
    ASSERT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();

    const QJsonObject body = api.requests().first().json();
    EXPECT_EQ(body.value(QStringLiteral("intention")).toString(), QStringLiteral("write the report"));
    EXPECT_EQ(body.value(QStringLiteral("actions")).toString(), QStringLiteral("write, edit"));
    EXPECT_EQ(body.value(QStringLiteral("state")).toObject(),
              (QJsonObject{{QStringLiteral("app"), QStringLiteral("Editor")},
                           {QStringLiteral("window"), QStringLiteral("report.md")},
                           {QStringLiteral("subject"), QStringLiteral("Draft")},
                           {QStringLiteral("url"), QStringLiteral("https://docs.example.com/r")},
                           {QStringLiteral("focused"), QStringLiteral("text area")},
                           {QStringLiteral("text"), QStringLiteral("The quarterly report")}}));

    // Empty evidence and absent or empty actions still send every member, as empty texts.
    for (const std::optional<QString>& actions : {std::optional<QString>(), std::optional<QString>(QString())}) {
        const QJsonObject empty = JevClient::requestBody(QStringLiteral("x"), actions, ActivityEvidence{});
        EXPECT_TRUE(empty.value(QStringLiteral("actions")).isString());
        EXPECT_EQ(empty.value(QStringLiteral("actions")).toString(), QString());
        const QJsonObject state = empty.value(QStringLiteral("state")).toObject();
        EXPECT_EQ(state.size(), 6);
        for (const QString& member : state.keys())
            EXPECT_EQ(state.value(member), QJsonValue(QString())) << member.toStdString();
    }
}

TEST_F(JudgeTest, ReadsTheVerdictAndItsSummary) {
    api.enqueue(QStringLiteral("judge"), FakeReply::json(goodAnswer()));
    const auto outcome = judge(ActivityEvidence{});
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->label, ActivityRelevance::Unrelated);
    EXPECT_EQ(outcome.value->enoughEvidence, 0.9);
    EXPECT_EQ(outcome.value->supportsJob, 0.12345);
    EXPECT_EQ(outcome.value->version, QStringLiteral("judge-7"));
    EXPECT_EQ(outcome.value->model, QStringLiteral("m-1"));
    EXPECT_EQ(outcome.value->summary(), QStringLiteral("enough_evidence: 0.9000\nIs this the report?: 0.1235"));
}

TEST(JudgeAnswer, MembersMustHaveTheirTypes) {
    EXPECT_FALSE(isInvalid(goodAnswer()));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), QStringLiteral("label"), QStringLiteral("Relevant"))));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), QStringLiteral("label"), QJsonValue::Undefined)));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), QStringLiteral("label"), 1)));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), QStringLiteral("supports"), QStringLiteral("0.8"))));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), QStringLiteral("supports"), true)));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), QStringLiteral("enough_evidence"), QJsonValue::Null)));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), QStringLiteral("question"), QString())));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), QStringLiteral("question"), QJsonValue::Undefined)));

    // Integers are numbers; scores are taken as they come; version and model are optional texts.
    QJsonObject loose = with(goodAnswer(), QStringLiteral("supports"), 1);
    loose = with(loose, QStringLiteral("enough_evidence"), -3.5);
    loose = with(loose, QStringLiteral("version"), QJsonValue::Undefined);
    loose = with(loose, QStringLiteral("model"), 5);
    const JevVerdict verdict = JevClient::parseAnswer(loose);
    EXPECT_EQ(verdict.supportsJob, 1.0);
    EXPECT_EQ(verdict.enoughEvidence, -3.5);
    EXPECT_EQ(verdict.version, QString());
    EXPECT_EQ(verdict.model, QString());
}

TEST_F(JudgeTest, ApiFailuresBecomeJudgeErrors) {
    const auto errorFor = [&](FakeReply reply) {
        api.enqueue(QStringLiteral("judge"), reply);
        return judge(ActivityEvidence{});
    };

    auto outcome =
        errorFor(FakeReply::json(QJsonObject{{QStringLiteral("error"), QStringLiteral("daily_limit")}}, 429));
    auto error = errorAs<JevClientError>(outcome);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, JevClientError::httpStatus(0, QStringLiteral("The daily limit for this call is used up.")));
    EXPECT_EQ(error->description(), QStringLiteral("API HTTP 0: The daily limit for this call is used up."));
    EXPECT_EQ(errorKindCode(outcome.error), QStringLiteral("typesafeHTTP0"));

    outcome = errorFor(FakeReply::text(503, "busy"));
    EXPECT_EQ(errorKindCode(outcome.error), QStringLiteral("typesafeHTTP503"));
    EXPECT_EQ(describeErrorForLog(outcome.error), QStringLiteral("API HTTP 503: busy"));

    outcome = errorFor(FakeReply::json(QJsonDocument(QJsonArray{})));
    EXPECT_EQ(errorKindCode(outcome.error), QStringLiteral("typesafeInvalidResponse"));
    EXPECT_EQ(describeErrorForLog(outcome.error), QStringLiteral("The judge returned an invalid response."));

    outcome = errorFor(FakeReply::text(200, "not json"));
    EXPECT_TRUE(errorAs<JsonParseError>(outcome));

    tokens->token = QStringLiteral("   ");
    outcome = judge(ActivityEvidence{});
    EXPECT_EQ(errorKindCode(outcome.error), QStringLiteral("typesafeMissingKey"));

    EXPECT_EQ(errorKindCode(JevClientError::missingAnswer(QStringLiteral("label"))),
              QStringLiteral("typesafeMissingAnswer"));
    EXPECT_EQ(JevClientError::missingAnswer(QStringLiteral("label")).description(),
              QStringLiteral("The judge response is missing label."));
    // A long judge text is cut to 240 characters and an ellipsis.
    const JevClientError wordy = JevClientError::httpStatus(500, QString(300, QLatin1Char('x')));
    EXPECT_EQ(describeErrorForLog(wordy), wordy.description().left(240) + QStringLiteral("\u2026"));
}
