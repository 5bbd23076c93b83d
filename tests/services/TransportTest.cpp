#include "ServicesTestSupport.h"
#include "support/LogCapture.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/ApiTransportError.h"
#include "tavrine/services/TavrineAPIError.h"

#include <QTcpServer>
#include <QTimer>

using namespace tavrine;
using namespace tavrine::test;

namespace {

const QJsonObject someBody{{QStringLiteral("intention"), QStringLiteral("write the report")}};

QStringList kinds(const LogCapture& capture) {
    QStringList result;
    for (const QString& message : capture.messages(QStringLiteral("ModelCall")))
        if (message.startsWith(QStringLiteral("call=")))
            result.append(message.section(QLatin1Char(' '), 1, 1).mid(5));
    return result;
}

QByteArray jsonOfSize(qsizetype bytes) {
    // {"a":"xxx…"} is 8 bytes of frame around the filler.
    return "{\"a\":\"" + QByteArray(bytes - 8, 'x') + "\"}";
}

} // namespace

class TransportTest : public FakeApiTest {
protected:
    Outcome<QJsonObject> post(const std::shared_ptr<TavrineAPIClient>& client, double timeout = 10,
                              CancellationToken cancellation = {}) {
        return run(client->post(QStringLiteral("judge"), someBody, QStringLiteral("judge"), timeout, cancellation));
    }
};

TEST_F(TransportTest, DroppedConnectionsFailOnceWithoutASilentResend) {
    auto client = makeClient();
    for (FakeReply::Drop drop : {FakeReply::Drop::beforeStatus, FakeReply::Drop::midBody}) {
        // A first call leaves a kept-alive connection, the case in which HTTP clients like to resend.
        api.enqueue(QStringLiteral("judge"), FakeReply::json(QJsonObject{}));
        ASSERT_TRUE(post(client).value);
        const int connection = api.requests().last().connection;

        LogCapture capture;
        const qsizetype before = api.requests().size();
        FakeReply reply = FakeReply::json(QJsonObject{{QStringLiteral("label"), QStringLiteral("relevant")}});
        reply.drop = drop;
        api.enqueue(QStringLiteral("judge"), reply);
        // Should the request go out again, this answer would turn the failure into a success.
        api.enqueue(QStringLiteral("judge"), FakeReply::json(QJsonObject{}));
        const auto outcome = post(client);
        const auto error = errorAs<ApiTransportError>(outcome);
        ASSERT_TRUE(error) << describeErrorForLog(outcome.error).toStdString();
        EXPECT_EQ(error->kind(), ApiTransportError::Kind::network);
        EXPECT_EQ(errorKindCode(outcome.error), QStringLiteral("QNetworkReply code=2"));
        ASSERT_EQ(api.requests().size(), before + 1);
        EXPECT_EQ(api.requests().last().connection, connection);
        EXPECT_EQ(kinds(capture),
                  (QStringList{QStringLiteral("api-judge-request"), QStringLiteral("api-judge-error")}));
        // Use up the answer that was waiting for a resend.
        ASSERT_TRUE(post(client).value);
    }
}

TEST_F(TransportTest, ARefusedConnectionIsATransportError) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl base = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
    closed.close();
    auto client = TavrineAPIClient::create([] { return QStringLiteral("t"); }, {}, [base] { return base; });
    const auto outcome = post(client);
    const auto error = errorAs<ApiTransportError>(outcome);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->networkError(), QNetworkReply::ConnectionRefusedError);
    EXPECT_EQ(describeErrorForLog(outcome.error), QStringLiteral("QNetworkReply code=1 ") + error->description());
}

TEST_F(TransportTest, RedirectsAreAnswersAndAreNeverFollowed) {
    FakeMakerApi elsewhere;
    ASSERT_TRUE(elsewhere.listen());
    auto client = makeClient();
    for (int status : {301, 302, 307, 308}) {
        FakeReply reply = FakeReply::text(status, "moved");
        reply.headers.append(std::pair<QByteArray, QByteArray>("Location", elsewhere.baseURL().toEncoded() + "/judge"));
        api.enqueue(QStringLiteral("judge"), reply);
        const auto outcome = post(client);
        const auto error = errorAs<TavrineAPIError>(outcome);
        ASSERT_TRUE(error) << status << " " << describeErrorForLog(outcome.error).toStdString();
        EXPECT_EQ(*error, TavrineAPIError::httpStatus(status, QStringLiteral("moved")));
    }
    // The token never left for the other host.
    EXPECT_TRUE(elsewhere.requests().isEmpty());
    EXPECT_EQ(tokens->refreshes, 0);
}

TEST_F(TransportTest, IdleTimeOutEndsAWaitAndIsNotACancellation) {
    LogCapture capture;
    auto client = makeClient();
    FakeReply slow = FakeReply::json(QJsonObject{});
    slow.delay = 3;
    api.enqueue(QStringLiteral("judge"), slow);
    const auto outcome = post(client, 0.3);
    const auto error = errorAs<ApiTransportError>(outcome);
    ASSERT_TRUE(error) << describeErrorForLog(outcome.error).toStdString();
    EXPECT_EQ(error->kind(), ApiTransportError::Kind::timedOut);
    EXPECT_EQ(errorKindCode(outcome.error), QStringLiteral("tavrine.ApiTransport code=1"));
    EXPECT_EQ(kinds(capture), (QStringList{QStringLiteral("api-judge-request"), QStringLiteral("api-judge-error")}));
    EXPECT_EQ(api.requests().size(), 1);
}

TEST_F(TransportTest, IdleTimeOutRestartsWhenBytesArriveButTheTotalDoesNot) {
    // Each silence (0.6 s) is shorter than the idle time-out (1.5 s), the whole answer longer than it.
    FakeReply trickle = FakeReply::json(QJsonObject{{QStringLiteral("label"), QStringLiteral("relevant")}});
    trickle.delay = 0.6;
    trickle.bodyPause = 1.0;
    api.enqueue(QStringLiteral("judge"), trickle);
    auto client = makeClient(10);
    const auto outcome = post(client, 1.5);
    EXPECT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();

    // The session's total length ends the same answer although it keeps moving.
    api.enqueue(QStringLiteral("judge"), trickle);
    auto hurried = makeClient(0.8);
    const auto late = post(hurried, 1.5);
    const auto error = errorAs<ApiTransportError>(late);
    ASSERT_TRUE(error) << describeErrorForLog(late.error).toStdString();
    EXPECT_EQ(error->kind(), ApiTransportError::Kind::timedOut);
    EXPECT_TRUE(error->description().contains(QStringLiteral("0.8")));
}

TEST_F(TransportTest, CancellationEndsTheWaitAsACancellation) {
    LogCapture capture;
    auto client = makeClient();
    FakeReply slow = FakeReply::json(QJsonObject{});
    slow.delay = 3;
    api.enqueue(QStringLiteral("judge"), slow);
    CancellationSource source;
    auto outcome = start(client->post(QStringLiteral("judge"), someBody, QStringLiteral("judge"), 0.5, source.token()));
    ASSERT_TRUE(waitUntil([&] { return api.requests().size() == 1; }));
    source.cancel();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }));
    EXPECT_EQ(errorKindCode(outcome->error), QStringLiteral("cancelled"));
    EXPECT_EQ(kinds(capture), (QStringList{QStringLiteral("api-judge-request"), QStringLiteral("api-judge-error")}));

    // Already cancelled: nothing is sent.
    const auto early = post(client, 10, source.token());
    EXPECT_EQ(errorKindCode(early.error), QStringLiteral("cancelled"));
    EXPECT_EQ(api.requests().size(), 1);
}

TEST_F(TransportTest, AnswersOverOneMebibyteAreCutOff) {
    auto client = makeClient();
    // Exactly the limit is read.
    api.enqueue(QStringLiteral("judge"), FakeReply::text(200, jsonOfSize(TavrineAPIClient::maximumBodyBytes)));
    const auto fits = post(client);
    ASSERT_TRUE(fits.value) << describeErrorForLog(fits.error).toStdString();

    FakeReply declared = FakeReply::text(200, jsonOfSize(2 * TavrineAPIClient::maximumBodyBytes));
    FakeReply streamed = FakeReply::text(200, jsonOfSize(TavrineAPIClient::maximumBodyBytes + 1));
    streamed.chunked = true;
    FakeReply failing = FakeReply::text(500, QByteArray(3 * TavrineAPIClient::maximumBodyBytes, 'e'));
    failing.chunked = true;
    for (const FakeReply& reply : {declared, streamed, failing}) {
        LogCapture capture;
        api.enqueue(QStringLiteral("judge"), reply);
        const auto outcome = post(client);
        const auto error = errorAs<ApiTransportError>(outcome);
        ASSERT_TRUE(error) << describeErrorForLog(outcome.error).toStdString();
        EXPECT_EQ(error->kind(), ApiTransportError::Kind::bodyTooLarge);
        EXPECT_EQ(errorKindCode(outcome.error), QStringLiteral("tavrine.ApiTransport code=2"));
        EXPECT_EQ(kinds(capture),
                  (QStringList{QStringLiteral("api-judge-request"), QStringLiteral("api-judge-error")}));
    }
}

TEST_F(TransportTest, AClientDroppedByItsOwnerFinishesItsCall) {
    FakeReply slow = FakeReply::json(QJsonObject{{QStringLiteral("x"), 1}});
    slow.delay = 0.2;
    api.enqueue(QStringLiteral("judge"), slow);
    auto client = makeClient();
    auto outcome = start(client->post(QStringLiteral("judge"), someBody, QStringLiteral("judge"), 10));
    std::weak_ptr<TavrineAPIClient> watch = client;
    client.reset();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }));
    EXPECT_TRUE(outcome->value);
    EXPECT_TRUE(waitUntil([&] { return watch.expired(); }));
}
