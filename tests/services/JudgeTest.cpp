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
        return run(client.judge(u"write the report"_s, actions, evidence));
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

    const QJsonObject body = api.requests().first().json();
    EXPECT_EQ(body.value(u"intention"_s).toString(), u"write the report"_s);
    EXPECT_EQ(body.value(u"actions"_s).toString(), u"write, edit"_s);
    EXPECT_EQ(body.value(u"state"_s).toObject(), (QJsonObject{{u"app"_s, u"Editor"_s},
                                                              {u"window"_s, u"report.md"_s},
                                                              {u"subject"_s, u"Draft"_s},
                                                              {u"url"_s, u"https://docs.example.com/r"_s},
                                                              {u"focused"_s, u"text area"_s},
                                                              {u"text"_s, u"The quarterly report"_s}}));

    // Empty evidence and absent or empty actions still send every member, as empty texts.
    for (const std::optional<QString>& actions : {std::optional<QString>(), std::optional<QString>(QString())}) {
        const QJsonObject empty = JevClient::requestBody(u"x"_s, actions, ActivityEvidence{});
        EXPECT_TRUE(empty.value(u"actions"_s).isString());
        EXPECT_EQ(empty.value(u"actions"_s).toString(), QString());
        const QJsonObject state = empty.value(u"state"_s).toObject();
        EXPECT_EQ(state.size(), 6);
        for (const QString& member : state.keys())
            EXPECT_EQ(state.value(member), QJsonValue(QString())) << member.toStdString();
    }
}

TEST(JudgeAnswer, MembersMustHaveTheirTypes) {
    const JevVerdict good = JevClient::parseAnswer(goodAnswer());
    EXPECT_EQ(good, (JevVerdict{0.9, 0.12345, ActivityRelevance::Unrelated, u"Is this the report?"_s, u"judge-7"_s,
                                u"m-1"_s}));
    EXPECT_EQ(good.summary(), u"enough_evidence: 0.9000\nIs this the report?: 0.1235"_s);

    EXPECT_TRUE(isInvalid(with(goodAnswer(), u"label"_s, u"Relevant"_s)));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), u"label"_s, QJsonValue::Undefined)));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), u"label"_s, 1)));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), u"supports"_s, u"0.8"_s)));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), u"supports"_s, true)));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), u"enough_evidence"_s, QJsonValue::Null)));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), u"question"_s, QString())));
    EXPECT_TRUE(isInvalid(with(goodAnswer(), u"question"_s, QJsonValue::Undefined)));

    // Integers are numbers; scores are taken as they come; version and model are optional texts.
    QJsonObject loose = with(goodAnswer(), u"supports"_s, 1);
    loose = with(loose, u"enough_evidence"_s, -3.5);
    loose = with(loose, u"version"_s, QJsonValue::Undefined);
    loose = with(loose, u"model"_s, 5);
    const JevVerdict verdict = JevClient::parseAnswer(loose);
    EXPECT_EQ(verdict.supportsJob, 1.0);
    EXPECT_EQ(verdict.enoughEvidence, -3.5);
    EXPECT_EQ(verdict.version, QString());
    EXPECT_EQ(verdict.model, QString());
}

TEST_F(JudgeTest, ApiFailuresBecomeJudgeErrors) {
    const auto errorFor = [&](FakeReply reply) {
        api.enqueue(u"judge"_s, reply);
        return judge(ActivityEvidence{});
    };

    auto outcome = errorFor(FakeReply::json(QJsonObject{{u"error"_s, u"daily_limit"_s}}, 429));
    auto error = errorAs<JevClientError>(outcome);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, JevClientError::httpStatus(0, u"The daily limit for this call is used up."_s));
    EXPECT_EQ(error->description(), u"API HTTP 0: The daily limit for this call is used up."_s);
    EXPECT_EQ(errorKindCode(outcome.error), u"typesafeHTTP0"_s);

    outcome = errorFor(FakeReply::text(503, "busy"));
    EXPECT_EQ(errorKindCode(outcome.error), u"typesafeHTTP503"_s);
    EXPECT_EQ(describeErrorForLog(outcome.error), u"API HTTP 503: busy"_s);

    outcome = errorFor(FakeReply::json(QJsonDocument(QJsonArray{})));
    EXPECT_EQ(errorKindCode(outcome.error), u"typesafeInvalidResponse"_s);
    EXPECT_EQ(describeErrorForLog(outcome.error), u"The judge returned an invalid response."_s);

    // A body that is not JSON at all is the parser's failure, not a judge error: the run records its code.
    outcome = errorFor(FakeReply::text(200, "not json"));
    EXPECT_TRUE(errorAs<JsonParseError>(outcome));
    EXPECT_FALSE(errorAs<JevClientError>(outcome));
    EXPECT_EQ(errorKindCode(outcome.error), u"QJsonParseError code=5"_s);
    EXPECT_TRUE(describeErrorForLog(outcome.error).startsWith(u"QJsonParseError code=5 "_s));

    tokens->token = u"   "_s;
    outcome = judge(ActivityEvidence{});
    EXPECT_EQ(errorKindCode(outcome.error), u"typesafeMissingKey"_s);

    EXPECT_EQ(errorKindCode(JevClientError::missingAnswer(u"label"_s)), u"typesafeMissingAnswer"_s);
    EXPECT_EQ(JevClientError::missingAnswer(u"label"_s).description(), u"The judge response is missing label."_s);
    // A long judge text is cut to 240 characters and an ellipsis.
    const JevClientError wordy = JevClientError::httpStatus(500, QString(300, QLatin1Char('x')));
    EXPECT_EQ(describeErrorForLog(wordy), wordy.description().left(240) + u"\u2026"_s);
}
