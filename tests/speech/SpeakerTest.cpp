#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "tavrine/services/ApiTransportError.h"
#include "tavrine/services/JsonParseError.h"
#include "tavrine/speech/NudgeSpeechError.h"
#include "tavrine/speech/NudgeVoiceMeter.h"
#include "tavrine/speech/RecordedSpeech.h"
#include "tavrine/speech/SonioxNudgeSpeaker.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

using Kind = NudgeSpeechError::Kind;

// A speech source whose key answers the test releases: each request waits for `answerKey`.
class ScriptedSpeech final : public NudgeSpeechStreaming {
public:
    struct Request {
        QString token;
        Wakeup answered;
        std::optional<Kind> failure;
        QString key;
    };
    QList<std::shared_ptr<Request>> requests;
    QList<QPair<QString, QString>> streams; // text, key
    QList<SpeechChunk> chunks{SpeechChunk{QByteArray(480, '\x40'), std::nullopt}};
    std::exception_ptr streamFailure;
    bool answerAtOnce = true;

    QCoro::Task<QString> temporaryKey(QUrl, QString token) override {
        auto request = std::make_shared<Request>();
        request->token = token;
        request->key = "key-" + QString::number(requests.size() + 1);
        requests.append(request);
        if (answerAtOnce)
            request->answered.fire();
        co_await request->answered;
        if (request->failure)
            throw NudgeSpeechError(*request->failure);
        co_return request->key;
    }
    std::unique_ptr<SpeechChunkStream> stream(const QString& text, const QString& key) override {
        streams.append({text, key});
        auto stream = std::make_unique<SpeechChunkStream>();
        for (const SpeechChunk& chunk : chunks)
            stream->yield(chunk);
        if (streamFailure)
            stream->fail(streamFailure);
        else
            stream->finish();
        return stream;
    }
};

class FakePlayer final : public NudgeStreamPlaying {
public:
    QStringList calls;
    bool refuses = false;
    void enqueue(const QByteArray& audio, const std::optional<SpeechTimestamps>&) override {
        if (refuses)
            throw NudgeSpeechError(Kind::unplayable);
        calls.append(QStringLiteral("enqueue %1").arg(audio.size()));
    }
    void finish() override { calls.append("finish"); }
    void stop() override {
        calls.append("stop");
        if (auto callback = std::exchange(onPlaybackEnded, nullptr))
            callback();
    }
    float level() const override { return 0.5f; }
    std::optional<SpeechWordProgress> wordProgress() const override { return SpeechWordProgress{}; }
};

class SpeakerTest : public ::testing::Test {
protected:
    SpeakerTest() {
        speaker = makeSpeaker(source);
        speaker->setMeter(&meter);
        meter.onSettled = [this] { ++settled; };
    }
    // Over the fixture's switches and token; every player it makes is kept in `players`.
    std::shared_ptr<SonioxNudgeSpeaker> makeSpeaker(std::shared_ptr<NudgeSpeechStreaming> from) {
        return SonioxNudgeSpeaker::create(
            {[this] { return enabled; }, [] { return false; }, [] { return QUrl("http://127.0.0.1:1/key"); },
             [this] { return token; },
             [this]() -> QCoro::Task<void> {
                 ++refreshes;
                 token = refreshedToken;
                 co_return;
             },
             [this] { return now; }},
            std::move(from), [this] {
                players.append(std::make_shared<FakePlayer>());
                players.last()->refuses = playersRefuse;
                return players.last();
            });
    }
    // Speaks with the key request held back until `answer`.
    void speakHeld(const QString& text) {
        source->answerAtOnce = false;
        speaker->speak(text);
        settleDown();
    }
    void answer(int request, std::optional<Kind> failure = std::nullopt) {
        source->requests[request]->failure = failure;
        source->requests[request]->answered.fire();
        settleDown();
    }
    void settleDown() { waitUntil([] { return false; }, 0.05); }

    std::shared_ptr<ScriptedSpeech> source = std::make_shared<ScriptedSpeech>();
    std::shared_ptr<SonioxNudgeSpeaker> speaker;
    QList<std::shared_ptr<FakePlayer>> players;
    NudgeVoiceMeter meter;
    LogCapture log;
    bool enabled = true;
    bool playersRefuse = false;
    std::optional<QString> token = QStringLiteral("t1");
    std::optional<QString> refreshedToken = QStringLiteral("t1");
    int refreshes = 0;
    int settled = 0;
    QDateTime now = QDateTime(QDate(2025, 3, 4), QTime(12, 0), Qt::UTC);
};

} // namespace

TEST_F(SpeakerTest, SpeaksThroughAPlayerAndDrivesTheMeter) {
    speaker->speak("  Back to work \n");
    EXPECT_TRUE(meter.isPending()); // read right after speak: the voice is awaited
    settleDown();
    ASSERT_EQ(players.size(), 1);
    EXPECT_EQ(source->streams, (QList<QPair<QString, QString>>{{"Back to work", "key-1"}}));
    EXPECT_EQ(players[0]->calls, (QStringList{"enqueue 480", "finish"}));
    EXPECT_TRUE(meter.isVoiced() && meter.revealsWords());
    EXPECT_EQ(meter.source()(), 0.5f);
    EXPECT_EQ(settled, 1);
    players[0]->stop();
    EXPECT_FALSE(meter.isPlaying());
    EXPECT_TRUE(log.messages("NudgeSpeech").isEmpty());

    // Blank text stops and speaks nothing.
    speaker->speak(" \n\t");
    EXPECT_FALSE(meter.isPending());
    settleDown();
    EXPECT_EQ(source->requests.size(), 1);
}

TEST_F(SpeakerTest, PreparedKeyServesForFortySeconds) {
    speaker->prepareKey();
    speaker->prepareKey();
    settleDown();
    EXPECT_EQ(source->requests.size(), 1);
    now = now.addSecs(39);
    enabled = false; // the prepared key still speaks
    speaker->speak("one");
    settleDown();
    EXPECT_EQ(source->requests.size(), 1);
    EXPECT_EQ(source->streams.last().second, "key-1");

    enabled = true;
    speaker->prepareKey();
    settleDown();
    now = now.addSecs(41);
    speaker->speak("two");
    settleDown();
    EXPECT_EQ(source->requests.size(), 3);
    EXPECT_EQ(source->streams.last().second, "key-3");
    // The prepared key was taken: the next speak asks again.
    speaker->speak("three");
    settleDown();
    EXPECT_EQ(source->requests.size(), 4);
}

TEST_F(SpeakerTest, DailyLimitHoldsUntilUtcMidnight) {
    now = QDateTime(QDate(2025, 3, 4), QTime(23, 59, 59), Qt::UTC);
    speakHeld("a");
    answer(0, Kind::dailyLimitReached);
    EXPECT_EQ(log.messages("NudgeSpeech"), QStringList{"Nudge speech reached its daily limit"});
    EXPECT_FALSE(meter.isPending());
    EXPECT_EQ(settled, 1);
    speaker->speak("b");
    EXPECT_FALSE(meter.isPending());
    now = QDateTime(QDate(2025, 3, 5), QTime(0, 0, 1), Qt::UTC);
    source->answerAtOnce = true;
    speaker->speak("c");
    settleDown();
    EXPECT_EQ(source->requests.size(), 2);
    EXPECT_EQ(SonioxNudgeSpeaker::dayNumber(QDateTime(QDate(1969, 12, 31), QTime(23, 0), Qt::UTC)), -1);
}

TEST_F(SpeakerTest, RefusedTokenIsRefreshedAndRetriedOnceWhenItChanged) {
    struct Case {
        std::optional<QString> refreshed;
        bool secondRefused;
        int requests;
        bool spoken;
        bool logged;
    };
    const QList<Case> cases{
        {"t1", false, 1, false, false}, // same token: no second request
        {std::nullopt, false, 1, false, false},
        {"t2", false, 2, true, false},
        {"t2", true, 2, false, true},
    };
    for (const Case& c : cases) {
        source->requests.clear();
        source->streams.clear();
        log.clear();
        token = "t1";
        refreshedToken = c.refreshed;
        speakHeld("x");
        answer(0, Kind::unauthorized);
        if (source->requests.size() > 1) {
            EXPECT_EQ(source->requests[1]->token, "t2");
            answer(1, c.secondRefused ? std::optional(Kind::unauthorized) : std::nullopt);
        }
        EXPECT_EQ(source->requests.size(), c.requests);
        EXPECT_EQ(source->streams.size(), c.spoken ? 1 : 0);
        EXPECT_EQ(log.messages("NudgeSpeech").size(), c.logged ? 1 : 0);
        EXPECT_FALSE(meter.isPending());
    }
}

TEST_F(SpeakerTest, ANewNudgeSilencesTheOldOneWithoutStrayLogs) {
    source->answerAtOnce = false;
    speaker->speak("a");
    speakHeld("b");
    ASSERT_EQ(source->requests.size(), 2);
    answer(1);
    answer(0, Kind::requestFailed);
    EXPECT_EQ(source->streams.size(), 1);
    EXPECT_EQ(source->streams[0].first, "b");
    EXPECT_TRUE(log.messages("NudgeSpeech").isEmpty());
    EXPECT_EQ(settled, 1);
}

TEST_F(SpeakerTest, FailuresAreLoggedAndSettleTheMeter) {
    // Key failure.
    speakHeld("a");
    answer(0, Kind::requestFailed);
    EXPECT_EQ(log.messages("NudgeSpeech"), QStringList{"Nudge speech failed: the speech request failed"});
    EXPECT_EQ(settled, 1);

    // A player that cannot play: stopped, logged, settled without voice.
    log.clear();
    source->answerAtOnce = true;
    playersRefuse = true;
    speaker->speak("b");
    settleDown();
    EXPECT_EQ(players.last()->calls, QStringList{"stop"});
    EXPECT_EQ(log.messages("NudgeSpeech"), QStringList{"Nudge speech failed: the audio could not be played"});
    EXPECT_EQ(settled, 2);
    EXPECT_FALSE(meter.isVoiced());

    // A cut-short stream still ends normally, with one info line.
    log.clear();
    playersRefuse = false;
    struct CutShort final : NudgeSpeechStreaming {
        QCoro::Task<QString> temporaryKey(QUrl, QString t) override { co_return t; }
        std::unique_ptr<SpeechChunkStream> stream(const QString&, const QString&) override {
            auto s = std::make_unique<SpeechChunkStream>();
            s->yield(SpeechChunk{QByteArray(4, 'a'), std::nullopt});
            s->finish(true);
            return s;
        }
    };
    auto cut = makeSpeaker(std::make_shared<CutShort>());
    cut->speak("c");
    settleDown();
    EXPECT_EQ(players.last()->calls, (QStringList{"enqueue 4", "finish"}));
    EXPECT_EQ(log.messages("NudgeSpeech"), QStringList{"Nudge speech was cut short; playing what arrived"});
}

TEST_F(SpeakerTest, AFailedStreamSaysWhyInItsLogLine) {
    using Cause = NudgeSpeechError::Cause;
    struct Case {
        std::exception_ptr failure;
        const char* reason;
    };
    const QList<Case> cases{
        {std::make_exception_ptr(ApiTransportError::network(QNetworkReply::RemoteHostClosedError, "closed")),
         "the connection was reset"},
        {std::make_exception_ptr(JsonParseError(QJsonParseError::IllegalValue, 0, "x")),
         "the speech service sent garbage (not JSON)"},
        {std::make_exception_ptr(NudgeSpeechError(Kind::requestFailed, Cause::oversize)),
         "the speech service sent a message over the size limit"},
    };
    source->chunks.clear();
    for (const Case& c : cases) {
        log.clear();
        source->streamFailure = c.failure;
        speaker->speak("x");
        settleDown();
        EXPECT_EQ(log.messages("NudgeSpeech"), QStringList{QStringLiteral("Nudge speech failed: ") + c.reason});
    }
}

TEST_F(SpeakerTest, ForcedVoiceSpeaksOnceWhileSpeechIsOff) {
    enabled = false;
    speaker->speak("a");
    EXPECT_FALSE(meter.isPending());
    speaker->speakWithForcedVoice("b");
    EXPECT_TRUE(meter.isPending());
    settleDown();
    EXPECT_EQ(source->streams.size(), 1);
    EXPECT_FALSE(speaker->speechEnabled()());
    // Silent chunks never attach; the meter settles at the end without a voice.
    source->chunks = {SpeechChunk{QByteArray(1, 'a'), std::nullopt}};
    speaker->speakWithForcedVoice("c");
    settleDown();
    EXPECT_FALSE(meter.isVoiced());
    EXPECT_FALSE(meter.isPending());
}

TEST_F(SpeakerTest, RecordedVoicePlaysItsOneChunk) {
    enabled = false;
    auto recorded = makeSpeaker(
        std::make_shared<RecordedSpeech>(SpeechChunk{QByteArray(100, 'a'), SpeechTimestamps{{"a"}, {0.0}}}));
    recorded->setMeter(&meter);
    recorded->speakWithForcedVoice("anything");
    settleDown();
    ASSERT_EQ(players.size(), 1);
    EXPECT_EQ(players[0]->calls, (QStringList{"enqueue 100", "finish"}));
    EXPECT_TRUE(meter.isVoiced());
}
