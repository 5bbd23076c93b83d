#include "ServicesTestSupport.h"
#include "support/LogCapture.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/JsonParseError.h"
#include "tavrine/services/TavrineAPIError.h"

#include <QJsonArray>
#include <QRegularExpression>

using namespace tavrine;
using namespace tavrine::test;
using namespace Qt::StringLiterals;

namespace {

using Kind = TavrineAPIError::Kind;

const QJsonObject someBody{{u"intention"_s, u"write the report"_s}, {u"state"_s, QJsonObject{{u"app"_s, u"Editor"_s}}}};

// "call=ABCD1234 kind=api-judge-request chars=12" → {call, kind, status or -1, chars}.
struct CallLine {
    QString call;
    QString kind;
    int status = -1;
    int chars = -1;
};
QList<CallLine> callLines(const LogCapture& capture) {
    static const QRegularExpression pattern(u"^call=(\\S+) kind=(\\S+)(?: status=(\\d+))? chars=(\\d+)$"_s);
    QList<CallLine> result;
    for (const QString& message : capture.messages(u"ModelCall"_s)) {
        const auto match = pattern.match(message);
        if (!match.hasMatch())
            continue;
        result.append({match.captured(1), match.captured(2),
                       match.captured(3).isEmpty() ? -1 : match.captured(3).toInt(), match.captured(4).toInt()});
    }
    return result;
}

} // namespace

class ApiClientTest : public FakeApiTest {};

TEST_F(ApiClientTest, PostsTheBodyWithTokenAndTypeAndReturnsTheObject) {
    LogCapture capture;
    FakeReply reply;
    reply.body = "{\"label\":\"x\"}"; // 13 characters
    api.enqueue(u"judge"_s, reply);
    tokens->token = u"  secret-token \n"_s;
    auto client = makeClient();
    const auto outcome = run(client->post(u"judge"_s, someBody, u"judge"_s, 60));
    ASSERT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();
    EXPECT_EQ(outcome.value->value(u"label"_s).toString(), u"x"_s);

    ASSERT_EQ(api.requests().size(), 1);
    const FakeRequest request = api.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, u"judge"_s);
    EXPECT_EQ(request.header("Authorization"), "Bearer secret-token");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.json(), someBody);

    const auto lines = callLines(capture);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].kind, u"api-judge-request"_s);
    EXPECT_EQ(lines[0].status, -1);
    EXPECT_EQ(lines[0].chars, request.body.size());
    EXPECT_EQ(lines[1].kind, u"api-judge-response"_s);
    EXPECT_EQ(lines[1].status, 200);
    // "status=" (7), "200" (3), a line feed and the body.
    EXPECT_EQ(lines[1].chars, 7 + 3 + 1 + 13);
    EXPECT_EQ(lines[0].call, lines[1].call);
    EXPECT_EQ(lines[0].call.size(), 8);
    EXPECT_EQ(lines[0].call, lines[0].call.toUpper());
}

TEST_F(ApiClientTest, UnusableTokensFailBeforeAnythingIsSentOrLogged) {
    LogCapture capture;
    auto client = makeClient();
    for (const std::optional<QString>& token :
         {std::optional<QString>(), std::optional<QString>(u" \n\t \n"_s),
          // A line break inside would add header lines of its own.
          std::optional<QString>(u"abc\r\nX-Injected: 1"_s), std::optional<QString>(u"t\u00f6ken"_s)}) {
        tokens->token = token;
        const auto outcome = run(client->post(u"judge"_s, someBody, u"judge"_s, 60));
        const auto error = errorAs<TavrineAPIError>(outcome);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), Kind::missingToken);
    }
    EXPECT_TRUE(api.requests().isEmpty());
    EXPECT_TRUE(callLines(capture).isEmpty());
    EXPECT_EQ(tokens->refreshes, 0);
}

TEST_F(ApiClientTest, NoUsableBaseAddressFailsLikeAMissingToken) {
    auto box = tokens;
    auto client = TavrineAPIClient::create([box] { return box->token; }, [box] { return refreshToken(box); },
                                           [] { return QUrl(); });
    const auto error = errorAs<TavrineAPIError>(run(client->post(u"judge"_s, someBody, u"judge"_s, 60)));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::missingToken);
    EXPECT_TRUE(api.requests().isEmpty());
}

TEST_F(ApiClientTest, RefusedTokenIsRefreshedOnceAndResentOnlyWithANewToken) {
    auto client = makeClient();
    const auto post = [&] { return run(client->post(u"nudge"_s, someBody, u"nudge"_s, 60)); };

    // The same token comes back from the refresh: no second request.
    api.enqueue(u"nudge"_s, FakeReply::text(401, "no"));
    auto error = errorAs<TavrineAPIError>(post());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::unauthorized);
    EXPECT_EQ(api.requests().size(), 1);
    EXPECT_EQ(tokens->refreshes, 1);

    // A new token that is refused too: two requests, never a third.
    {
        LogCapture capture;
        tokens->next = u"token-2"_s;
        api.enqueue(u"nudge"_s, FakeReply::text(401, "no"));
        api.enqueue(u"nudge"_s, FakeReply::text(401, "still no"));
        // Waiting for a third attempt that must never come.
        api.enqueue(u"nudge"_s, FakeReply::json(QJsonObject{}));
        error = errorAs<TavrineAPIError>(post());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), Kind::unauthorized);
        EXPECT_EQ(api.requests().size(), 3);
        EXPECT_EQ(tokens->refreshes, 2);
        const auto lines = callLines(capture);
        ASSERT_EQ(lines.size(), 4);
        EXPECT_EQ(lines[0].call, lines[1].call);
        EXPECT_EQ(lines[2].call, lines[3].call);
        EXPECT_NE(lines[0].call, lines[2].call);
        EXPECT_EQ(lines[1].status, 401);
        EXPECT_EQ(lines[3].status, 401);
    }

    // A new token that works: the answer of the resend is returned.
    tokens->token = u"token-3"_s;
    tokens->next = u"token-4"_s;
    api.enqueue(u"job"_s, FakeReply::text(401, "no"));
    api.enqueue(u"job"_s, FakeReply::json(QJsonObject{{u"status"_s, u"ok"_s}}));
    const auto outcome = run(client->post(u"job"_s, someBody, u"job"_s, 30));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->value(u"status"_s).toString(), u"ok"_s);
    const auto jobs = api.requests(u"job"_s);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(jobs[0].header("Authorization"), "Bearer token-3");
    EXPECT_EQ(jobs[1].header("Authorization"), "Bearer token-4");
    EXPECT_EQ(jobs[0].body, jobs[1].body);
}

TEST_F(ApiClientTest, EveryOtherStatusIsAnHttpStatusWithoutARefresh) {
    auto client = makeClient();
    // Qt files some of these under protocol or proxy errors (400, 407, 418): they are answers all the same.
    for (int status : {400, 403, 404, 407, 418, 500, 502, 503}) {
        api.enqueue(u"judge"_s, FakeReply::text(status, "no " + QByteArray::number(status)));
        const auto outcome = run(client->post(u"judge"_s, someBody, u"judge"_s, 60));
        const auto error = errorAs<TavrineAPIError>(outcome);
        ASSERT_TRUE(error) << status << " " << describeErrorForLog(outcome.error).toStdString();
        EXPECT_EQ(*error, TavrineAPIError::httpStatus(status, u"no %1"_s.arg(status)));
    }
    EXPECT_EQ(tokens->refreshes, 0);
}

TEST_F(ApiClientTest, TooManyRequestsIsTheDailyLimitOnlyForItsExactCode) {
    auto client = makeClient();
    const auto kindFor = [&](FakeReply reply) {
        reply.status = 429;
        api.enqueue(u"recap"_s, reply);
        const auto error = errorAs<TavrineAPIError>(run(client->post(u"recap"_s, someBody, u"recap"_s, 30)));
        return error ? error->kind() : Kind::httpStatus;
    };
    EXPECT_EQ(kindFor(FakeReply::json(QJsonObject{{u"error"_s, u"daily_limit"_s}})), Kind::dailyLimit);
    EXPECT_EQ(kindFor(FakeReply::text(429, "")), Kind::rateLimited);
    EXPECT_EQ(kindFor(FakeReply::text(429, "daily_limit")), Kind::rateLimited);
    EXPECT_EQ(kindFor(FakeReply::json(QJsonObject{{u"error"_s, u"Daily_Limit"_s}})), Kind::rateLimited);
    EXPECT_EQ(kindFor(FakeReply::json(QJsonObject{{u"error"_s, 42}})), Kind::rateLimited);
    EXPECT_EQ(kindFor(FakeReply::json(QJsonDocument(QJsonArray{u"daily_limit"_s}))), Kind::rateLimited);
    EXPECT_EQ(TavrineAPIError(Kind::dailyLimit).description(), u"The daily limit for this call is used up."_s);
    EXPECT_EQ(TavrineAPIError(Kind::rateLimited).description(), u"Too many calls in a short time."_s);
}

TEST_F(ApiClientTest, OtherStatusesCarryTheFirst240CharactersOfTheAnswer) {
    auto client = makeClient();
    // 1,000 characters, some of them outside the basic plane, and invalid UTF-8 at the end.
    QString long1000;
    for (int i = 0; i < 1000; ++i)
        long1000 += i % 7 == 0 ? u"\U0001F600"_s : QString(QChar(u'a' + i % 26));
    api.enqueue(u"history"_s, FakeReply::text(503, long1000.toUtf8() + "\xff"));
    auto error = errorAs<TavrineAPIError>(run(client->post(u"history"_s, someBody, u"history"_s, 60)));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::httpStatus);
    EXPECT_EQ(error->status(), 503);
    EXPECT_EQ(error->text(), text::graphemePrefix(long1000, 240));
    EXPECT_EQ(error->description(), u"API HTTP 503: "_s + text::graphemePrefix(long1000, 240));

    // A short body is taken whole, with an invalid byte as the replacement character.
    api.enqueue(u"history"_s, FakeReply::text(500, "bad \xff gateway"));
    error = errorAs<TavrineAPIError>(run(client->post(u"history"_s, someBody, u"history"_s, 60)));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), u"bad \uFFFD gateway"_s);
}

TEST_F(ApiClientTest, SuccessfulAnswersMustBeJsonObjects) {
    auto client = makeClient();
    const auto post = [&] { return run(client->post(u"judge"_s, someBody, u"judge"_s, 60)); };

    api.enqueue(u"judge"_s, FakeReply::json(QJsonDocument(QJsonArray{1, 2})));
    auto apiError = errorAs<TavrineAPIError>(post());
    ASSERT_TRUE(apiError);
    EXPECT_EQ(apiError->kind(), Kind::invalidResponse);
    EXPECT_EQ(apiError->description(), u"The API returned an invalid response."_s);

    for (const QByteArray& body : {QByteArray(), QByteArray("just text"), QByteArray("42"), QByteArray("{\"a\":")}) {
        api.enqueue(u"judge"_s, FakeReply::text(200, body));
        const auto outcome = post();
        EXPECT_TRUE(errorAs<JsonParseError>(outcome)) << body.constData();
        EXPECT_TRUE(errorKindCode(outcome.error).startsWith(u"QJsonParseError code="_s));
    }

    // Any 2xx is a success.
    api.enqueue(u"judge"_s, FakeReply::json(QJsonObject{{u"ok"_s, true}}, 201));
    EXPECT_TRUE(post().value);
}
