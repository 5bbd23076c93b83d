#include "ServicesTestSupport.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/JevClient.h"
#include "tavrine/services/JevClientError.h"
#include "tavrine/services/JsonParseError.h"

#include <QJsonArray>

using namespace tavrine;
using namespace tavrine::test;
using namespace Qt::StringLiterals;

namespace {

QJsonObject goodAnswer() {
    return QJsonObject{{u"label"_s, u"unrelated"_s}, {u"enough_evidence"_s, 0.9},
                       {u"supports"_s, 0.12345},     {u"question"_s, u"Is this the report?"_s},
                       {u"version"_s, u"judge-7"_s}, {u"model"_s, u"m-1"_s}};
}

QJsonObject with(QJsonObject object, const QString& member, const QJsonValue& value) {
    if (value.isUndefined())
        object.remove(member);
    else
        object.insert(member, value);
    return object;
}

} // namespace

class JudgeTest : public FakeApiTest {
protected:
    Outcome<JevVerdict> judge(const ActivityEvidence& evidence, std::optional<QString> actions = std::nullopt) {
        JevClient client(makeClient());
        return run(client.judge(u"write the report"_s, actions, evidence));
    }
    Outcome<JevVerdict> judgeAnswering(const FakeReply& reply) {
        api.enqueue(u"judge"_s, reply);
        return judge(ActivityEvidence{});
    }
};

TEST_F(JudgeTest, SendsIntentionSixStateTextsAndActions) {
    ActivityEvidence evidence;
    evidence.app = u"Editor"_s;
    evidence.title = u"report.md"_s;
    evidence.subject = u"Draft"_s;
    evidence.url = u"https://docs.example.com/r"_s;
    evidence.focusedDescription = u"text area"_s;
    evidence.text = u"The quarterly report"_s;
    evidence.bundle = u"not.sent"_s;
    api.enqueue(u"judge"_s, FakeReply::json(goodAnswer()));
    const auto outcome = judge(evidence, u"write, edit"_s);
    ASSERT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();
    EXPECT_EQ(compact(api.requests().first().json()),
              R"({"actions":"write, edit","intention":"write the report","state":{"app":"Editor",)"
              R"("focused":"text area","subject":"Draft","text":"The quarterly report",)"
              R"("url":"https://docs.example.com/r","window":"report.md"}})");

    // Absent actions and empty evidence still send every member, as empty texts.
    const QJsonObject empty = JevClient::requestBody(u"x"_s, std::nullopt, ActivityEvidence{});
    EXPECT_EQ(empty.value(u"actions"_s), QJsonValue(QString()));
    const QJsonObject state = empty.value(u"state"_s).toObject();
    EXPECT_EQ(state.size(), 6);
    for (const QString& member : state.keys())
        EXPECT_EQ(state.value(member), QJsonValue(QString())) << member.toStdString();
}

TEST(JudgeAnswer, MembersMustHaveTheirTypes) {
    const JevVerdict good = JevClient::parseAnswer(goodAnswer());
    EXPECT_EQ(good, (JevVerdict{0.9, 0.12345, ActivityRelevance::Unrelated, u"Is this the report?"_s, u"judge-7"_s,
                                u"m-1"_s}));
    EXPECT_EQ(good.summary(), u"enough_evidence: 0.9000\nIs this the report?: 0.1235"_s);

    const std::vector<std::pair<QString, QJsonValue>> broken = {
        {u"label"_s, u"Relevant"_s}, {u"label"_s, QJsonValue::Undefined},
        {u"supports"_s, u"0.8"_s},   {u"enough_evidence"_s, QJsonValue::Null},
        {u"question"_s, QString()},
    };
    for (const auto& [member, value] : broken) {
        try {
            JevClient::parseAnswer(with(goodAnswer(), member, value));
            ADD_FAILURE() << member.toStdString() << " accepted";
        } catch (const JevClientError& error) {
            EXPECT_EQ(error.kind(), JevClientError::Kind::invalidResponse);
        }
    }

    // Integers are numbers; scores are taken as they come; version and model are optional texts.
    const JevVerdict loose = JevClient::parseAnswer(
        with(with(with(goodAnswer(), u"supports"_s, 1), u"enough_evidence"_s, -3.5), u"model"_s, 5));
    EXPECT_EQ(loose.supportsJob, 1.0);
    EXPECT_EQ(loose.enoughEvidence, -3.5);
    EXPECT_EQ(loose.model, QString());
}

TEST_F(JudgeTest, ApiFailuresBecomeJudgeErrorsWithTheirCodes) {
    // The stored code and summary, and the sentence people read in the log and the harness's case lines.
    struct Case {
        FakeReply reply;
        QString code;
        QString summary;
        QString reason;
    };
    const QList<Case> cases{
        {FakeReply::json(QJsonObject{{u"error"_s, u"daily_limit"_s}}, 429), u"typesafeHTTP0"_s,
         u"API HTTP 0: The daily limit for this call is used up."_s, u"The API's daily limit is reached (429)"_s},
        {FakeReply::text(401, "who"), u"typesafeHTTP0"_s, u"API HTTP 0: The API did not accept Tavrine's token."_s,
         u"The API refused the token (401): check TAVRINE_API_TOKEN"_s},
        {FakeReply::text(429, "slow"), u"typesafeHTTP0"_s, u"API HTTP 0: Too many calls in a short time."_s,
         u"The API is getting too many calls (429): try again in a moment"_s},
        {FakeReply::text(503, "busy"), u"typesafeHTTP503"_s, u"API HTTP 503: busy"_s,
         u"The API answered with HTTP 503"_s},
        {FakeReply::json(QJsonDocument(QJsonArray{})), u"typesafeInvalidResponse"_s,
         u"The judge returned an invalid response."_s, u"The judge returned an invalid response."_s},
    };
    for (const Case& c : cases) {
        const auto outcome = judgeAnswering(c.reply);
        EXPECT_EQ(errorKindCode(outcome.error), c.code) << c.reason.toStdString();
        EXPECT_EQ(describeErrorForLog(outcome.error), c.summary);
        EXPECT_EQ(errorReason(outcome.error), c.reason);
    }

    // A body that is not JSON at all is the parser's failure, not a judge error: the run records its code.
    const auto garbled = judgeAnswering(FakeReply::text(200, "not json"));
    EXPECT_FALSE(errorAs<JevClientError>(garbled));
    EXPECT_EQ(errorKindCode(garbled.error), u"QJsonParseError code=5"_s);

    tokens->token = u"   "_s;
    EXPECT_EQ(errorKindCode(judge(ActivityEvidence{}).error), u"typesafeMissingKey"_s);
    EXPECT_EQ(api.requests().size(), 6);
}
