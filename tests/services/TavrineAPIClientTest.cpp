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

// The model-call log lines, "call=ID kind=K [status=S] chars=N", split at their blanks.
QList<QStringList> callLines(const LogCapture& capture) {
    QList<QStringList> result;
    for (const QString& message : capture.messages(u"ModelCall"_s))
        if (message.startsWith(u"call="_s))
            result.append(message.split(QLatin1Char(' ')));
    return result;
}

} // namespace

class ApiClientTest : public FakeApiTest {
protected:
    Outcome<QJsonObject> post(const QString& path = u"judge"_s) { return run(client->post(path, someBody, path, 60)); }
    std::optional<TavrineAPIError> failure(const FakeReply& reply, const QString& path = u"judge"_s) {
        api.enqueue(path, reply);
        return errorAs<TavrineAPIError>(post(path));
    }
    void SetUp() override {
        FakeApiTest::SetUp();
        client = makeClient();
    }
    std::shared_ptr<TavrineAPIClient> client;
};

TEST_F(ApiClientTest, PostsTheBodyWithTokenAndTypeAndLogsBothEnds) {
    LogCapture capture;
    api.enqueue(u"judge"_s, FakeReply::text(200, "{\"label\":\"x\"}"));
    tokens->token = u"  secret-token \n"_s;
    const auto outcome = post();
    ASSERT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();
    EXPECT_EQ(outcome.value->value(u"label"_s).toString(), u"x"_s);

    ASSERT_EQ(api.requests().size(), 1);
    const FakeRequest request = api.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, u"judge"_s);
    EXPECT_EQ(request.header("Authorization"), "Bearer secret-token");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.json(), someBody);

    // One call id of eight capitals for both lines; the answer's count is "status=200", a line feed and the body.
    const auto lines = callLines(capture);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].mid(1), (QStringList{u"kind=api-judge-request"_s, u"chars=%1"_s.arg(request.body.size())}));
    EXPECT_EQ(lines[1].mid(1), (QStringList{u"kind=api-judge-response"_s, u"status=200"_s, u"chars=24"_s}));
    EXPECT_EQ(lines[0][0], lines[1][0]);
    EXPECT_TRUE(QRegularExpression(u"^call=[0-9A-F]{8}$"_s).match(lines[0][0]).hasMatch()) << lines[0][0].toStdString();
}

TEST_F(ApiClientTest, NoUsableTokenOrBaseFailsBeforeAnythingIsSentOrLogged) {
    LogCapture capture;
    // A line break inside would add header lines of its own.
    for (const std::optional<QString>& token :
         {std::optional<QString>(), std::optional<QString>(u" \n\t \n"_s),
          std::optional<QString>(u"abc\r\nX-Injected: 1"_s), std::optional<QString>(u"t\u00f6ken"_s)}) {
        tokens->token = token;
        const auto error = errorAs<TavrineAPIError>(post());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), Kind::missingToken);
    }
    tokens->token = u"t"_s;
    auto unaddressed = TavrineAPIClient::create([] { return u"t"_s; }, {}, [] { return QUrl(); });
    const auto error = errorAs<TavrineAPIError>(run(unaddressed->post(u"judge"_s, someBody, u"judge"_s, 60)));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::addressRefused);
    EXPECT_TRUE(api.requests().isEmpty());
    EXPECT_TRUE(callLines(capture).isEmpty());
    EXPECT_EQ(tokens->refreshes, 0);
}

TEST_F(ApiClientTest, ARefusedTokenIsRefreshedOnceAndResentOnlyWithANewToken) {
    // The same token comes back from the refresh: no second request.
    EXPECT_EQ(failure(FakeReply::text(401, "no"))->kind(), Kind::unauthorized);
    EXPECT_EQ(api.requests().size(), 1);
    EXPECT_EQ(tokens->refreshes, 1);

    // A new token that is refused too: two requests under two call ids, never a third.
    LogCapture capture;
    tokens->next = u"token-2"_s;
    api.enqueue(u"judge"_s, FakeReply::text(401, "no"));
    api.enqueue(u"judge"_s, FakeReply::text(401, "still no"));
    // Waiting for a third attempt that must never come.
    api.enqueue(u"judge"_s, FakeReply::json(QJsonObject{}));
    EXPECT_EQ(errorAs<TavrineAPIError>(post())->kind(), Kind::unauthorized);
    EXPECT_EQ(api.requests().size(), 3);
    EXPECT_EQ(tokens->refreshes, 2);
    const auto lines = callLines(capture);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_NE(lines[0][0], lines[2][0]);
    EXPECT_EQ(api.requests(u"judge"_s)[2].header("Authorization"), "Bearer token-2");
    ASSERT_TRUE(post().value); // use up the answer left waiting

    // A new token that works: the answer of the resend is returned.
    tokens->token = u"token-3"_s;
    tokens->next = u"token-4"_s;
    api.enqueue(u"job"_s, FakeReply::text(401, "no"));
    api.enqueue(u"job"_s, FakeReply::json(QJsonObject{{u"status"_s, u"ok"_s}}));
    const auto outcome = post(u"job"_s);
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->value(u"status"_s).toString(), u"ok"_s);
    const auto jobs = api.requests(u"job"_s);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(jobs[0].header("Authorization"), "Bearer token-3");
    EXPECT_EQ(jobs[1].header("Authorization"), "Bearer token-4");
    EXPECT_EQ(jobs[0].body, jobs[1].body);
}

TEST_F(ApiClientTest, StatusesMapToTheirErrorsWithoutARefresh) {
    // Qt files some of these under protocol or proxy errors (400, 407, 418): they are answers all the same.
    for (int status : {400, 403, 404, 407, 418, 500, 503}) {
        const auto error = failure(FakeReply::text(status, "no " + QByteArray::number(status)));
        ASSERT_TRUE(error) << status;
        EXPECT_EQ(*error, TavrineAPIError::httpStatus(status, u"no %1"_s.arg(status)));
    }
    // 429 is the daily limit only for its exact code.
    EXPECT_EQ(failure(FakeReply::json(QJsonObject{{u"error"_s, u"daily_limit"_s}}, 429))->kind(), Kind::dailyLimit);
    for (const FakeReply& reply :
         {FakeReply::text(429, "daily_limit"), FakeReply::json(QJsonObject{{u"error"_s, u"Daily_Limit"_s}}, 429),
          FakeReply::json(QJsonDocument(QJsonArray{u"daily_limit"_s}), 429)})
        EXPECT_EQ(failure(reply)->kind(), Kind::rateLimited) << reply.body.constData();
    EXPECT_EQ(tokens->refreshes, 0);

    // The text is the first 240 characters (not UTF-16 units), invalid bytes as replacement characters.
    QString long1000;
    for (int i = 0; i < 1000; ++i)
        long1000 += i % 7 == 0 ? u"\U0001F600"_s : QString(QChar(u'a' + i % 26));
    auto error = failure(FakeReply::text(503, long1000.toUtf8() + "\xff"));
    EXPECT_EQ(error->description(), u"API HTTP 503: "_s + text::graphemePrefix(long1000, 240));
    EXPECT_EQ(failure(FakeReply::text(500, "bad \xff gateway"))->text(), u"bad \uFFFD gateway"_s);
}

TEST_F(ApiClientTest, SuccessfulAnswersMustBeJsonObjects) {
    EXPECT_EQ(failure(FakeReply::json(QJsonDocument(QJsonArray{1, 2})))->kind(), Kind::invalidResponse);
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
