#include "ServicesTestSupport.h"
#include "support/LogCapture.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/ApiTransportError.h"
#include "tavrine/services/TavrineAPIError.h"

#include <QTcpServer>
#include <QTimer>

using namespace tavrine;
using namespace tavrine::test;
using namespace Qt::StringLiterals;

namespace {

const QJsonObject someBody{{u"intention"_s, u"write the report"_s}};

QStringList kinds(const LogCapture& capture) {
    QStringList result;
    for (const QString& message : capture.messages(u"ModelCall"_s))
        if (message.startsWith(u"call="_s))
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
        return run(client->post(u"judge"_s, someBody, u"judge"_s, timeout, cancellation));
    }
};

TEST_F(TransportTest, DroppedConnectionsFailOnceWithoutASilentResend) {
    auto client = makeClient();
    for (FakeReply::Drop drop : {FakeReply::Drop::beforeStatus, FakeReply::Drop::midBody}) {
        // A first call leaves a kept-alive connection, the case in which HTTP clients like to resend.
        api.enqueue(u"judge"_s, FakeReply::json(QJsonObject{}));
        ASSERT_TRUE(post(client).value);
        const int connection = api.requests().last().connection;

        LogCapture capture;
        const qsizetype before = api.requests().size();
        FakeReply reply = FakeReply::json(QJsonObject{{u"label"_s, u"relevant"_s}});
        reply.drop = drop;
        api.enqueue(u"judge"_s, reply);
        // Should the request go out again, this answer would turn the failure into a success.
        api.enqueue(u"judge"_s, FakeReply::json(QJsonObject{}));
        const auto outcome = post(client);
        const auto error = errorAs<ApiTransportError>(outcome);
        ASSERT_TRUE(error) << describeErrorForLog(outcome.error).toStdString();
        EXPECT_EQ(error->kind(), ApiTransportError::Kind::network);
        EXPECT_EQ(errorKindCode(outcome.error), u"QNetworkReply code=2"_s);
        ASSERT_EQ(api.requests().size(), before + 1);
        EXPECT_EQ(api.requests().last().connection, connection);
        EXPECT_EQ(kinds(capture), (QStringList{u"api-judge-request"_s, u"api-judge-error"_s}));
        // Use up the answer that was waiting for a resend.
        ASSERT_TRUE(post(client).value);
    }
}

TEST_F(TransportTest, ARefusedConnectionIsATransportError) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl base = QUrl(u"http://127.0.0.1:%1"_s.arg(closed.serverPort()));
    closed.close();
    auto client = TavrineAPIClient::create([] { return u"t"_s; }, {}, [base] { return base; });
    const auto outcome = post(client);
    const auto error = errorAs<ApiTransportError>(outcome);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->networkError(), QNetworkReply::ConnectionRefusedError);
    EXPECT_EQ(describeErrorForLog(outcome.error), u"QNetworkReply code=1 "_s + error->description());
}

TEST_F(TransportTest, RedirectsAreAnswersAndAreNeverFollowed) {
    FakeMakerApi elsewhere;
    ASSERT_TRUE(elsewhere.listen());
    auto client = makeClient();
    for (int status : {301, 302, 307, 308}) {
        FakeReply reply = FakeReply::text(status, "moved");
        reply.headers.append(std::pair<QByteArray, QByteArray>("Location", elsewhere.baseURL().toEncoded() + "/judge"));
        api.enqueue(u"judge"_s, reply);
        const auto outcome = post(client);
        const auto error = errorAs<TavrineAPIError>(outcome);
        ASSERT_TRUE(error) << status << " " << describeErrorForLog(outcome.error).toStdString();
        EXPECT_EQ(*error, TavrineAPIError::httpStatus(status, u"moved"_s));
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
    api.enqueue(u"judge"_s, slow);
    const auto outcome = post(client, 0.3);
    const auto error = errorAs<ApiTransportError>(outcome);
    ASSERT_TRUE(error) << describeErrorForLog(outcome.error).toStdString();
    EXPECT_EQ(error->kind(), ApiTransportError::Kind::timedOut);
    EXPECT_EQ(errorKindCode(outcome.error), u"tavrine.ApiTransport code=1"_s);
    EXPECT_EQ(kinds(capture), (QStringList{u"api-judge-request"_s, u"api-judge-error"_s}));
    EXPECT_EQ(api.requests().size(), 1);
}

TEST_F(TransportTest, IdleTimeOutRestartsWhenBytesArriveButTheTotalDoesNot) {
    // Each silence (0.6 s) is shorter than the idle time-out (1.5 s), the whole answer longer than it.
    FakeReply trickle = FakeReply::json(QJsonObject{{u"label"_s, u"relevant"_s}});
    trickle.delay = 0.6;
    trickle.bodyPause = 1.0;
    api.enqueue(u"judge"_s, trickle);
    auto client = makeClient(10);
    const auto outcome = post(client, 1.5);
    EXPECT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();

    // The session's total length ends the same answer although it keeps moving.
    api.enqueue(u"judge"_s, trickle);
    auto hurried = makeClient(0.8);
    const auto late = post(hurried, 1.5);
    const auto error = errorAs<ApiTransportError>(late);
    ASSERT_TRUE(error) << describeErrorForLog(late.error).toStdString();
    EXPECT_EQ(error->kind(), ApiTransportError::Kind::timedOut);
    EXPECT_TRUE(error->description().contains(u"0.8"_s));
}

TEST_F(TransportTest, CancellationEndsTheWaitAsACancellation) {
    LogCapture capture;
    auto client = makeClient();
    FakeReply slow = FakeReply::json(QJsonObject{});
    slow.delay = 3;
    api.enqueue(u"judge"_s, slow);
    CancellationSource source;
    auto outcome = start(client->post(u"judge"_s, someBody, u"judge"_s, 0.5, source.token()));
    ASSERT_TRUE(waitUntil([&] { return api.requests().size() == 1; }));
    source.cancel();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }));
    EXPECT_EQ(errorKindCode(outcome->error), u"cancelled"_s);
    EXPECT_EQ(kinds(capture), (QStringList{u"api-judge-request"_s, u"api-judge-error"_s}));

    // Already cancelled: nothing is sent.
    const auto early = post(client, 10, source.token());
    EXPECT_EQ(errorKindCode(early.error), u"cancelled"_s);
    EXPECT_EQ(api.requests().size(), 1);
}

TEST_F(TransportTest, AnswersOverOneMebibyteAreCutOff) {
    auto client = makeClient();
    // Exactly the limit is read.
    api.enqueue(u"judge"_s, FakeReply::text(200, jsonOfSize(TavrineAPIClient::maximumBodyBytes)));
    const auto fits = post(client);
    ASSERT_TRUE(fits.value) << describeErrorForLog(fits.error).toStdString();

    FakeReply declared = FakeReply::text(200, jsonOfSize(2 * TavrineAPIClient::maximumBodyBytes));
    FakeReply streamed = FakeReply::text(200, jsonOfSize(TavrineAPIClient::maximumBodyBytes + 1));
    streamed.chunked = true;
    FakeReply failing = FakeReply::text(500, QByteArray(3 * TavrineAPIClient::maximumBodyBytes, 'e'));
    failing.chunked = true;
    for (const FakeReply& reply : {declared, streamed, failing}) {
        LogCapture capture;
        api.enqueue(u"judge"_s, reply);
        const auto outcome = post(client);
        const auto error = errorAs<ApiTransportError>(outcome);
        ASSERT_TRUE(error) << describeErrorForLog(outcome.error).toStdString();
        EXPECT_EQ(error->kind(), ApiTransportError::Kind::bodyTooLarge);
        EXPECT_EQ(errorKindCode(outcome.error), u"tavrine.ApiTransport code=2"_s);
        EXPECT_EQ(kinds(capture), (QStringList{u"api-judge-request"_s, u"api-judge-error"_s}));
    }
}

TEST_F(TransportTest, AClientDroppedByItsOwnerFinishesItsCall) {
    FakeReply slow = FakeReply::json(QJsonObject{{u"x"_s, 1}});
    slow.delay = 0.2;
    api.enqueue(u"judge"_s, slow);
    auto client = makeClient();
    auto outcome = start(client->post(u"judge"_s, someBody, u"judge"_s, 10));
    std::weak_ptr<TavrineAPIClient> watch = client;
    client.reset();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }));
    EXPECT_TRUE(outcome->value);
    EXPECT_TRUE(waitUntil([&] { return watch.expired(); }));
}
