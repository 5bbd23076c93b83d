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

namespace {

using Kind = TavrineAPIError::Kind;

const QJsonObject someBody{{QStringLiteral("intention"), QStringLiteral("write the report")},
                           {QStringLiteral("state"), QJsonObject{{QStringLiteral("app"), QStringLiteral("Editor")}}}};

// "call=ABCD1234 kind=api-judge-request chars=12" → {call, kind, status or -1, chars}.
struct CallLine {
    QString call;
    QString kind;
    int status = -1;
    int chars = -1;
};
QList<CallLine> callLines(const LogCapture& capture) {
    static const QRegularExpression pattern(
        QStringLiteral("^call=(\\S+) kind=(\\S+)(?: status=(\\d+))? chars=(\\d+)$"));
    QList<CallLine> result;
    for (const QString& message : capture.messages(QStringLiteral("ModelCall"))) {
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
    api.enqueue(QStringLiteral("judge"), FakeReply::json(QJsonObject{{QStringLiteral("label"), QStringLiteral("x")}}));
    tokens->token = QStringLiteral("  secret-token \n");
    auto client = makeClient();
    const auto outcome = run(client->post(QStringLiteral("judge"), someBody, QStringLiteral("judge"), 60));
    ASSERT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();
    EXPECT_EQ(outcome.value->value(QStringLiteral("label")).toString(), QStringLiteral("x"));

    ASSERT_EQ(api.requests().size(), 1);
    const FakeRequest request = api.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, QStringLiteral("judge"));
    EXPECT_EQ(request.header("Authorization"), "Bearer secret-token");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.json(), someBody);

    const auto lines = callLines(capture);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].kind, QStringLiteral("api-judge-request"));
    EXPECT_EQ(lines[0].status, -1);
    EXPECT_EQ(lines[0].chars, request.body.size());
    EXPECT_EQ(lines[1].kind, QStringLiteral("api-judge-response"));
    EXPECT_EQ(lines[1].status, 200);
    EXPECT_EQ(lines[0].call, lines[1].call);
    EXPECT_EQ(lines[0].call.size(), 8);
    EXPECT_EQ(lines[0].call, lines[0].call.toUpper());
}

TEST_F(ApiClientTest, ResponseLineCountsStatusLineFeedAndBody) {
    LogCapture capture;
    FakeReply reply;
    reply.body = "{\"a\":\"bc\"}"; // ten characters
    api.enqueue(QStringLiteral("job"), reply);
    auto client = makeClient();
    ASSERT_TRUE(run(client->post(QStringLiteral("job"), someBody, QStringLiteral("job"), 30)).value);
    const auto lines = callLines(capture);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1].chars, 21);
}

TEST_F(ApiClientTest, UnusableTokensFailBeforeAnythingIsSentOrLogged) {
    LogCapture capture;
    auto client = makeClient();
    for (const std::optional<QString>& token :
         {std::optional<QString>(), std::optional<QString>(QStringLiteral(" \n\t \n")),
          // A line break inside would add header lines of its own.
          std::optional<QString>(QStringLiteral("abc\r\nX-Injected: 1")),
          std::optional<QString>(QStringLiteral("t\u00f6ken"))}) {
        tokens->token = token;
        const auto outcome = run(client->post(QStringLiteral("judge"), someBody, QStringLiteral("judge"), 60));
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
    const auto error =
        errorAs<TavrineAPIError>(run(client->post(QStringLiteral("judge"), someBody, QStringLiteral("judge"), 60)));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::missingToken);
    EXPECT_TRUE(api.requests().isEmpty());
}

TEST_F(ApiClientTest, RefusedTokenIsRefreshedOnceAndResentOnlyWithANewToken) {
    auto client = makeClient();
    const auto post = [&] { return run(client->post(QStringLiteral("nudge"), someBody, QStringLiteral("nudge"), 60)); };

    // The same token comes back from the refresh: no second request.
    api.enqueue(QStringLiteral("nudge"), FakeReply::text(401, "no"));
    auto error = errorAs<TavrineAPIError>(post());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::unauthorized);
    EXPECT_EQ(api.requests().size(), 1);
    EXPECT_EQ(tokens->refreshes, 1);

    // A new token that is refused too: two requests, never a third.
    {
        LogCapture capture;
        tokens->next = QStringLiteral("token-2");
        api.enqueue(QStringLiteral("nudge"), FakeReply::text(401, "no"));
        api.enqueue(QStringLiteral("nudge"), FakeReply::text(401, "still no"));
        // Waiting for a third attempt that must never come.
        api.enqueue(QStringLiteral("nudge"), FakeReply::json(QJsonObject{}));
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
    tokens->token = QStringLiteral("token-3");
    tokens->next = QStringLiteral("token-4");
    api.enqueue(QStringLiteral("job"), FakeReply::text(401, "no"));
    api.enqueue(QStringLiteral("job"), FakeReply::json(QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")}}));
    const auto outcome = run(client->post(QStringLiteral("job"), someBody, QStringLiteral("job"), 30));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->value(QStringLiteral("status")).toString(), QStringLiteral("ok"));
    const auto jobs = api.requests(QStringLiteral("job"));
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(jobs[0].header("Authorization"), "Bearer token-3");
    EXPECT_EQ(jobs[1].header("Authorization"), "Bearer token-4");
    EXPECT_EQ(jobs[0].body, jobs[1].body);
}

TEST_F(ApiClientTest, EveryOtherStatusIsAnHttpStatusWithoutARefresh) {
    auto client = makeClient();
    // Qt files some of these under protocol or proxy errors (400, 407, 418): they are answers all the same.
    for (int status : {400, 403, 404, 407, 418, 500, 502, 503}) {
        api.enqueue(QStringLiteral("judge"), FakeReply::text(status, "no " + QByteArray::number(status)));
        const auto outcome = run(client->post(QStringLiteral("judge"), someBody, QStringLiteral("judge"), 60));
        const auto error = errorAs<TavrineAPIError>(outcome);
        ASSERT_TRUE(error) << status << " " << describeErrorForLog(outcome.error).toStdString();
        EXPECT_EQ(*error, TavrineAPIError::httpStatus(status, QStringLiteral("no %1").arg(status)));
    }
    EXPECT_EQ(tokens->refreshes, 0);
}

TEST_F(ApiClientTest, TooManyRequestsIsTheDailyLimitOnlyForItsExactCode) {
    auto client = makeClient();
    const auto kindFor = [&](FakeReply reply) {
        reply.status = 429;
        api.enqueue(QStringLiteral("recap"), reply);
        const auto error =
            errorAs<TavrineAPIError>(run(client->post(QStringLiteral("recap"), someBody, QStringLiteral("recap"), 30)));
        return error ? error->kind() : Kind::httpStatus;
    };
    EXPECT_EQ(kindFor(FakeReply::json(QJsonObject{{QStringLiteral("error"), QStringLiteral("daily_limit")}})),
              Kind::dailyLimit);
    EXPECT_EQ(kindFor(FakeReply::text(429, "")), Kind::rateLimited);
    EXPECT_EQ(kindFor(FakeReply::text(429, "daily_limit")), Kind::rateLimited);
    EXPECT_EQ(kindFor(FakeReply::json(QJsonObject{{QStringLiteral("error"), QStringLiteral("Daily_Limit")}})),
              Kind::rateLimited);
    EXPECT_EQ(kindFor(FakeReply::json(QJsonObject{{QStringLiteral("error"), 42}})), Kind::rateLimited);
    EXPECT_EQ(kindFor(FakeReply::json(QJsonDocument(QJsonArray{QStringLiteral("daily_limit")}))), Kind::rateLimited);
    EXPECT_EQ(TavrineAPIError(Kind::dailyLimit).description(),
              QStringLiteral("The daily limit for this call is used up."));
    EXPECT_EQ(TavrineAPIError(Kind::rateLimited).description(), QStringLiteral("Too many calls in a short time."));
}

TEST_F(ApiClientTest, OtherStatusesCarryTheFirst240CharactersOfTheAnswer) {
    auto client = makeClient();
    // 1,000 characters, some of them outside the basic plane, and invalid UTF-8 at the end.
    QString long1000;
    for (int i = 0; i < 1000; ++i)
        long1000 += i % 7 == 0 ? QStringLiteral("\U0001F600") : QString(QChar(u'a' + i % 26));
    api.enqueue(QStringLiteral("history"), FakeReply::text(503, long1000.toUtf8() + "\xff"));
    auto error =
        errorAs<TavrineAPIError>(run(client->post(QStringLiteral("history"), someBody, QStringLiteral("history"), 60)));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::httpStatus);
    EXPECT_EQ(error->status(), 503);
    EXPECT_EQ(error->text(), text::graphemePrefix(long1000, 240));
    EXPECT_EQ(error->description(), QStringLiteral("API HTTP 503: ") + text::graphemePrefix(long1000, 240));

    // A short body is taken whole, with an invalid byte as the replacement character.
    api.enqueue(QStringLiteral("history"), FakeReply::text(500, "bad \xff gateway"));
    error =
        errorAs<TavrineAPIError>(run(client->post(QStringLiteral("history"), someBody, QStringLiteral("history"), 60)));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), QStringLiteral("bad \uFFFD gateway"));
}

TEST_F(ApiClientTest, SuccessfulAnswersMustBeJsonObjects) {
    auto client = makeClient();
    const auto post = [&] { return run(client->post(QStringLiteral("judge"), someBody, QStringLiteral("judge"), 60)); };

    api.enqueue(QStringLiteral("judge"), FakeReply::json(QJsonDocument(QJsonArray{1, 2})));
    auto apiError = errorAs<TavrineAPIError>(post());
    ASSERT_TRUE(apiError);
    EXPECT_EQ(apiError->kind(), Kind::invalidResponse);
    EXPECT_EQ(apiError->description(), QStringLiteral("The API returned an invalid response."));

    for (const QByteArray& body : {QByteArray(), QByteArray("just text"), QByteArray("42"), QByteArray("{\"a\":")}) {
        api.enqueue(QStringLiteral("judge"), FakeReply::text(200, body));
        const auto outcome = post();
        EXPECT_TRUE(errorAs<JsonParseError>(outcome)) << body.constData();
        EXPECT_TRUE(errorKindCode(outcome.error).startsWith(QStringLiteral("QJsonParseError code=")));
    }

    // Any 2xx is a success.
    api.enqueue(QStringLiteral("judge"), FakeReply::json(QJsonObject{{QStringLiteral("ok"), true}}, 201));
    EXPECT_TRUE(post().value);
}
