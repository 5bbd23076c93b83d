#include "fakes/FakeMakerApi.h"
#include "fakes/FakeSpeechVendor.h"
#include "support/TestSupport.h"
#include "tavrine/services/ApiTransportError.h"
#include "tavrine/services/JsonParseError.h"
#include "tavrine/services/TavrineAPI.h"
#include "tavrine/speech/LiveNudgeSpeechFetcher.h"
#include "tavrine/speech/NudgeSpeechError.h"
#include "tavrine/speech/SonioxMessages.h"
#include "tavrine/speech/SpeechVendor.h"

#include <QJsonArray>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

using Kind = NudgeSpeechError::Kind;

struct Collected {
    QList<SpeechChunk> chunks;
    bool cutShort = false;
};

QCoro::Task<Collected> collect(std::unique_ptr<SpeechChunkStream> stream) {
    Collected out;
    while (auto chunk = co_await stream->next())
        out.chunks.append(*chunk);
    out.cutShort = stream->wasCutShort();
    co_return out;
}

std::optional<NudgeSpeechError> speechError(const std::exception_ptr& failure) {
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const NudgeSpeechError& error) {
        return error;
    } catch (...) {
    }
    return std::nullopt;
}

std::optional<Kind> speechKind(const std::exception_ptr& failure) {
    const auto error = speechError(failure);
    return error ? std::optional(error->kind()) : std::nullopt;
}

std::optional<NudgeSpeechError::Cause> speechCause(const std::exception_ptr& failure) {
    const auto error = speechError(failure);
    return error ? std::optional(error->cause()) : std::nullopt;
}

QByteArray pcm(int samples) {
    return QByteArray(samples * 2, '\x10');
}

class SpeechFetcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(api.listen());
        ASSERT_TRUE(vendor.listen());
    }
    LiveNudgeSpeechFetcher fetcher(LiveNudgeSpeechFetcher::Limits limits = {}) {
        return LiveNudgeSpeechFetcher(vendor.socketURL(), FakeSpeechVendor::voice, limits);
    }
    Outcome<Collected> speak(LiveNudgeSpeechFetcher& source, const QString& text = QStringLiteral("Back to it")) {
        return run(collect(source.stream(text, QStringLiteral("temp-key"))));
    }
    QUrl keyURL() const { return TavrineAPI::url(QStringLiteral("speech/temporary-key"), api.baseURL()); }

    FakeMakerApi api;
    FakeSpeechVendor vendor;
};

} // namespace

TEST_F(SpeechFetcherTest, KeyRequestIsABareAuthorisedPost) {
    api.enqueue("speech/temporary-key", FakeReply::json(QJsonObject{{"api_key", " \n key-1\t"}}));
    auto source = fetcher();
    const auto key = run(source.temporaryKey(keyURL(), "token-a"));
    ASSERT_TRUE(key.value) << "failed";
    EXPECT_EQ(*key.value, "key-1");
    const FakeRequest request = api.requests("speech/temporary-key").first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.header("authorization"), "Bearer token-a");
    EXPECT_TRUE(request.header("content-type").isEmpty());
    EXPECT_TRUE(request.body.isEmpty());
}

TEST_F(SpeechFetcherTest, KeyAnswersMapToTheirCases) {
    struct Case {
        FakeReply reply;
        std::optional<Kind> kind; // none: a JSON error, or with `transport` the connection's
        bool transport = false;
    };
    FakeReply redirect = FakeReply::text(302, "");
    redirect.headers.append(std::pair<QByteArray, QByteArray>("Location", "http://127.0.0.1:1/elsewhere"));
    FakeReply slow = FakeReply::json(QJsonObject{{"api_key", "k"}});
    slow.delay = 2;
    const QList<Case> cases{
        {FakeReply::json(QJsonObject{{"api_key", " \n "}}), Kind::requestFailed},
        {FakeReply::text(200, "not json"), std::nullopt},
        {FakeReply::json(QJsonObject{{"error", "daily_limit"}}, 429), Kind::dailyLimitReached},
        {FakeReply::json(QJsonObject{{"error", "slow_down"}}, 429), Kind::requestFailed},
        {FakeReply::text(429, "<html>"), Kind::requestFailed},
        {FakeReply::text(401, "no"), Kind::unauthorized},
        {FakeReply::text(500, "oops"), Kind::requestFailed},
        {redirect, Kind::requestFailed},
        {slow, std::nullopt, true},
        {FakeReply::text(200, QByteArray(2 * 1024 * 1024, ' ')), std::nullopt, true},
    };
    auto source = fetcher({0.3, 0.3, 20, 20, 20});
    for (const Case& c : cases) {
        api.enqueue("speech/temporary-key", c.reply);
        const auto key = run(source.temporaryKey(keyURL(), "token"));
        ASSERT_TRUE(key.error) << c.reply.status;
        if (c.kind)
            EXPECT_EQ(speechKind(key.error), c.kind) << c.reply.status << " " << c.reply.body.toStdString();
        else if (c.transport)
            EXPECT_THROW(rethrow(key), ApiTransportError);
        else
            EXPECT_THROW(rethrow(key), JsonParseError);
    }
    // The redirect was not followed: one request per answer.
    EXPECT_EQ(api.requests("speech/temporary-key").size(), cases.size());
}

TEST_F(SpeechFetcherTest, StreamSendsTwoMessagesWithOneNewUpperCaseIdentifier) {
    auto source = fetcher();
    const auto first = speak(source, "Back to work now");
    const auto second = speak(source, "Again");
    ASSERT_TRUE(first.value && second.value);
    EXPECT_EQ(first.value->chunks.size(), 4); // one tone per word
    EXPECT_TRUE(vendor.problems().isEmpty()) << vendor.problems().join("; ").toStdString();
    const auto messages = vendor.messages();
    ASSERT_EQ(messages.size(), 4);
    EXPECT_EQ(messages[0].second.value("api_key").toString(), "temp-key");
    EXPECT_EQ(messages[1].second.value("text").toString(), "Back to work now");
    EXPECT_NE(messages[0].second.value("stream_id"), messages[2].second.value("stream_id"));
    EXPECT_TRUE(waitUntil([&] { return vendor.closeCodes().size() == 2; }));
    EXPECT_EQ(vendor.closeCodes(), (QList<int>{1001, 1001}));
}

TEST_F(SpeechFetcherTest, ChunksFollowTheMessages) {
    const SpeechTimestamps two{{"h", "i"}, {0.0, 0.1}};
    QJsonObject timingOnly{{"timestamps", QJsonObject{{"characters", QJsonArray{"x"}},
                                                       {"character_start_times_seconds", QJsonArray{0.5}}}}};
    vendor.enqueue({VendorStep::audio(pcm(10), two), VendorStep::json(timingOnly),
                    VendorStep::json(QJsonObject{{"audio", "!!not base64!!"}}),
                    VendorStep{VendorStep::Kind::binary, QJsonDocument(QJsonObject{{"audio", "AAA="}}).toJson()},
                    VendorStep::json(QJsonObject{{"audio", QString::fromLatin1(pcm(3).toBase64())},
                                                 {"timestamps", QJsonObject{{"characters", QJsonArray{"a", "b", "c",
                                                                                                      "d", "e"}},
                                                                            {"character_start_times_seconds",
                                                                             QJsonArray{0, 1, 2, 3}}}}}),
                    VendorStep::audio(pcm(2), std::nullopt, true), VendorStep::audio(pcm(5))});
    auto source = fetcher();
    const auto out = speak(source);
    ASSERT_TRUE(out.value);
    const QList<SpeechChunk>& chunks = out.value->chunks;
    ASSERT_EQ(chunks.size(), 5);
    EXPECT_EQ(chunks[0].timestamps, two);
    EXPECT_TRUE(chunks[1].audio.isEmpty());
    EXPECT_EQ(chunks[1].timestamps->starts, QList<double>{0.5});
    EXPECT_EQ(chunks[2].audio, QByteArray(2, '\0')); // the UTF-8 binary frame
    EXPECT_FALSE(chunks[3].timestamps);              // 5 characters, 4 times
    EXPECT_EQ(chunks[4].audio.size(), 4);            // the terminated message's own audio comes first
    EXPECT_FALSE(out.value->cutShort);
}

TEST_F(SpeechFetcherTest, BreaksAfterAudioEndNormallyAndBeforeAudioFail) {
    using Cause = NudgeSpeechError::Cause;
    struct Case {
        const char* name;
        QList<VendorStep> script;
        int chunks;     // -1: the stream fails
        bool transport; // the failure is the connection's
        Cause cause = Cause::unspecified;
    };
    const QByteArray overLimit(8192, ' ');
    const QList<Case> cases{
        {"drop after audio", {VendorStep::audio(pcm(4)), VendorStep::audio(pcm(4)), VendorStep::drop()}, 2, false},
        {"drop before audio", {VendorStep::json(QJsonObject{{"hello", 1}}), VendorStep::drop()}, -1, true},
        {"error after audio", {VendorStep::audio(pcm(4)), VendorStep::error()}, 1, false},
        {"error before audio", {VendorStep::error()}, -1, false, Cause::vendorError},
        {"audio and error together",
         {VendorStep::json(QJsonObject{{"audio", "AAAA"}, {"error_type", "x"}})},
         -1,
         false,
         Cause::vendorError},
        {"binary not UTF-8",
         {VendorStep{VendorStep::Kind::binary, QByteArray("\xff\xfe", 2)}},
         -1,
         false,
         Cause::notSpeech},
        {"not an object", {VendorStep{VendorStep::Kind::text, "[1,2]"}}, -1, false, Cause::notSpeech},
        {"silence", {VendorStep::stall()}, -1, true},
        {"text over the limit",
         {VendorStep{VendorStep::Kind::text, "{\"audio\":\"" + QByteArray(8192, 'A') + "\"}"}},
         -1,
         false,
         Cause::oversize},
        {"binary over the limit", {VendorStep{VendorStep::Kind::binary, overLimit}}, -1, false, Cause::oversize},
        {"over the limit after audio",
         {VendorStep::audio(pcm(4)), VendorStep{VendorStep::Kind::text, overLimit}},
         1,
         false},
    };
    auto source = fetcher({20, 20, 20, 0.5, 20, 4096});
    for (const Case& c : cases) {
        vendor.enqueue(c.script);
        const auto out = speak(source);
        if (c.chunks >= 0) {
            ASSERT_TRUE(out.value) << c.name;
            EXPECT_EQ(out.value->chunks.size(), c.chunks) << c.name;
            EXPECT_TRUE(out.value->cutShort) << c.name;
        } else if (c.transport) {
            EXPECT_THROW(rethrow(out), ApiTransportError) << c.name;
        } else {
            EXPECT_EQ(speechKind(out.error), Kind::requestFailed) << c.name;
            EXPECT_EQ(speechCause(out.error), c.cause) << c.name;
        }
    }
    EXPECT_TRUE(vendor.problems().isEmpty()) << vendor.problems().join("; ").toStdString();
}

TEST_F(SpeechFetcherTest, DroppingTheStreamClosesWithGoingAway) {
    vendor.enqueue({VendorStep::audio(pcm(4)), VendorStep::stall()});
    auto source = fetcher();
    auto stream = source.stream("Hello", "k");
    const auto first = run(stream->next());
    ASSERT_TRUE(first.value && *first.value);
    CancellationSource cancel;
    auto waiting = start(stream->next(cancel.token()));
    cancel.cancel();
    EXPECT_TRUE(waitUntil([&] { return waiting->finished; }));
    EXPECT_TRUE(waiting->error);
    stream.reset();
    EXPECT_TRUE(waitUntil([&] { return vendor.closeCodes().size() == 1; }));
    EXPECT_EQ(vendor.closeCodes(), QList<int>{1001});
}

TEST(SpeechVendor, AcceptsSecureOrLoopbackSocketsAndUuidVoices) {
    const QString voice = FakeSpeechVendor::voice;
    EXPECT_EQ(SpeechVendor::parse("wss://tts.example.org", voice).socketURL.toString(),
              "wss://tts.example.org/tts-websocket");
    EXPECT_EQ(SpeechVendor::parse("ws://127.0.0.1:9000/", voice).socketURL.toString(),
              "ws://127.0.0.1:9000/tts-websocket");
    for (const char* refused : {"ws://tts.example.org", "https://tts.example.org", "wss://u:p@host", "", "wss://h/x"})
        EXPECT_FALSE(SpeechVendor::parse(refused, voice).isUsable()) << refused;
    EXPECT_FALSE(SpeechVendor::parse("wss://h", "voice").isUsable());
    EXPECT_FALSE(SpeechVendor::parse("wss://h", "{" + voice + "}").isUsable());
    qunsetenv(SpeechVendor::voiceVariable);
    qputenv(SpeechVendor::baseVariable, "wss://h");
    EXPECT_FALSE(SpeechVendor::fromEnvironment().isUsable());
    qunsetenv(SpeechVendor::baseVariable);
}
