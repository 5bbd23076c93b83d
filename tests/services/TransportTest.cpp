#include "ServicesTestSupport.h"
#include "support/LogCapture.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/ApiTransportError.h"
#include "tavrine/services/TavrineAPIError.h"

#include <QTcpServer>

using namespace tavrine;
using namespace tavrine::test;
using namespace Qt::StringLiterals;

namespace {

const QJsonObject someBody{{u"intention"_s, u"write the report"_s}};
const QStringList requestAndError{u"api-judge-request"_s, u"api-judge-error"_s};

QStringList kinds(const LogCapture& capture) {
    QStringList result;
    for (const QString& message : capture.messages(u"ModelCall"_s))
        if (message.startsWith(u"call="_s))
            result.append(message.section(QLatin1Char(' '), 1, 1).mid(5));
    return result;
}

FakeReply delayed(double seconds) {
    FakeReply reply = FakeReply::json(QJsonObject{{u"label"_s, u"relevant"_s}});
    reply.delay = seconds;
    return reply;
}

} // namespace

class TransportTest : public FakeApiTest {
protected:
    Outcome<QJsonObject> post(const std::shared_ptr<TavrineAPIClient>& client, double timeout = 10,
                              CancellationToken cancellation = {}) {
        return run(client->post(u"judge"_s, someBody, u"judge"_s, timeout, cancellation));
    }
    // The transport failure of one post, with its log lines checked.
    std::optional<ApiTransportError> transportFailure(const std::shared_ptr<TavrineAPIClient>& client,
                                                      double timeout = 10) {
        LogCapture capture;
        const auto outcome = post(client, timeout);
        EXPECT_EQ(kinds(capture), requestAndError);
        lastCode = errorKindCode(outcome.error);
        return errorAs<ApiTransportError>(outcome);
    }
    QString lastCode;
};

TEST_F(TransportTest, DroppedConnectionsFailOnceWithoutASilentResend) {
    auto client = makeClient();
    for (FakeReply::Drop drop : {FakeReply::Drop::beforeStatus, FakeReply::Drop::midBody}) {
        // A first call leaves a kept-alive connection, the case in which HTTP clients like to resend.
        api.enqueue(u"judge"_s, FakeReply::json(QJsonObject{}));
        ASSERT_TRUE(post(client).value);
        const int connection = api.requests().last().connection;
        const qsizetype before = api.requests().size();
        FakeReply reply = FakeReply::json(QJsonObject{{u"label"_s, u"relevant"_s}});
        reply.drop = drop;
        api.enqueue(u"judge"_s, reply);
        // Should the request go out again, this answer would turn the failure into a success.
        api.enqueue(u"judge"_s, FakeReply::json(QJsonObject{}));
        const auto error = transportFailure(client);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), ApiTransportError::Kind::network);
        EXPECT_EQ(lastCode, u"QNetworkReply code=2"_s);
        ASSERT_EQ(api.requests().size(), before + 1);
        EXPECT_EQ(api.requests().last().connection, connection);
        ASSERT_TRUE(post(client).value); // use up the answer that was waiting for a resend
    }

    // Nobody listening at all.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl base = QUrl(u"http://127.0.0.1:%1"_s.arg(closed.serverPort()));
    closed.close();
    const auto refused = transportFailure(TavrineAPIClient::create([] { return u"t"_s; }, {}, [base] { return base; }));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->networkError(), QNetworkReply::ConnectionRefusedError);
    EXPECT_EQ(lastCode, u"QNetworkReply code=1"_s);
}

TEST_F(TransportTest, RedirectsAreAnswersAndAreNeverFollowed) {
    FakeMakerApi elsewhere;
    ASSERT_TRUE(elsewhere.listen());
    auto client = makeClient();
    for (int status : {301, 302, 307, 308}) {
        FakeReply reply = FakeReply::text(status, "moved");
        reply.headers.append({"Location", elsewhere.baseURL().toEncoded() + "/judge"});
        api.enqueue(u"judge"_s, reply);
        const auto error = errorAs<TavrineAPIError>(post(client));
        ASSERT_TRUE(error) << status;
        EXPECT_EQ(*error, TavrineAPIError::httpStatus(status, u"moved"_s));
    }
    // The token never left for the other host.
    EXPECT_TRUE(elsewhere.requests().isEmpty());
}

TEST_F(TransportTest, IdleAndTotalTimeOutsEndTheWaitAndAreNoCancellation) {
    auto client = makeClient();
    api.enqueue(u"judge"_s, delayed(3));
    auto error = transportFailure(client, 0.3);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), ApiTransportError::Kind::timedOut);
    EXPECT_EQ(lastCode, u"tavrine.ApiTransport code=1"_s);
    EXPECT_EQ(api.requests().size(), 1);

    // Each silence (0.6 s) is shorter than the idle time-out (1.5 s), the whole answer longer than it.
    FakeReply trickle = delayed(0.6);
    trickle.bodyPause = 1.0;
    api.enqueue(u"judge"_s, trickle);
    EXPECT_TRUE(post(client, 1.5).value);
    // The session's total length ends the same answer although it keeps moving.
    api.enqueue(u"judge"_s, trickle);
    error = transportFailure(makeClient(0.8), 1.5);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), ApiTransportError::Kind::timedOut);
    EXPECT_TRUE(error->description().contains(u"0.8"_s));
}

TEST_F(TransportTest, CancellationEndsTheWaitAsACancellation) {
    LogCapture capture;
    auto client = makeClient();
    api.enqueue(u"judge"_s, delayed(3));
    CancellationSource source;
    auto outcome = start(client->post(u"judge"_s, someBody, u"judge"_s, 0.5, source.token()));
    ASSERT_TRUE(waitUntil([&] { return api.requests().size() == 1; }));
    source.cancel();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }));
    EXPECT_EQ(errorKindCode(outcome->error), u"cancelled"_s);
    EXPECT_EQ(kinds(capture), requestAndError);

    // Already cancelled: nothing is sent.
    EXPECT_EQ(errorKindCode(post(client, 10, source.token()).error), u"cancelled"_s);
    EXPECT_EQ(api.requests().size(), 1);
}

TEST_F(TransportTest, AnswersOverOneMebibyteAreCutOff) {
    constexpr qint64 limit = TavrineAPIClient::maximumBodyBytes;
    // {"a":"xxx…"} is 8 bytes of frame around the filler.
    const auto jsonOfSize = [](qint64 bytes) { return "{\"a\":\"" + QByteArray(bytes - 8, 'x') + "\"}"; };
    auto client = makeClient();
    api.enqueue(u"judge"_s, FakeReply::text(200, jsonOfSize(limit)));
    ASSERT_TRUE(post(client).value) << "exactly the limit is read";

    FakeReply declared = FakeReply::text(200, jsonOfSize(2 * limit));
    FakeReply streamed = FakeReply::text(200, jsonOfSize(limit + 1));
    streamed.chunked = true;
    FakeReply failing = FakeReply::text(500, QByteArray(3 * limit, 'e'));
    failing.chunked = true;
    for (const FakeReply& reply : {declared, streamed, failing}) {
        api.enqueue(u"judge"_s, reply);
        const auto error = transportFailure(client);
        ASSERT_TRUE(error) << lastCode.toStdString();
        EXPECT_EQ(error->kind(), ApiTransportError::Kind::bodyTooLarge);
        EXPECT_EQ(lastCode, u"tavrine.ApiTransport code=2"_s);
    }
}

TEST_F(TransportTest, AClientDroppedByItsOwnerFinishesItsCall) {
    api.enqueue(u"judge"_s, delayed(0.2));
    auto client = makeClient();
    auto outcome = start(client->post(u"judge"_s, someBody, u"judge"_s, 10));
    std::weak_ptr<TavrineAPIClient> watch = client;
    client.reset();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }));
    EXPECT_TRUE(outcome->value);
    EXPECT_TRUE(waitUntil([&] { return watch.expired(); }));
}
