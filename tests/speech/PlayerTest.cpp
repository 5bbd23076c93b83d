#include "fakes/FakeSpeechPlayback.h"
#include "support/TestSupport.h"
#include "tavrine/speech/NudgeSpeechError.h"
#include "tavrine/speech/NudgeStreamPlayer.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

QByteArray samples(int count) {
    return QByteArray(count * 2, '\x20');
}

class PlayerTest : public ::testing::Test {
protected:
    PlayerTest() { player = makePlayer(ended, &output); }
    // A player on the test's ducker that counts its ends in `count`.
    std::unique_ptr<NudgeStreamPlayer> makePlayer(int& count, FakeSpeechAudioOutput** out = nullptr) {
        auto owned = std::make_unique<FakeSpeechAudioOutput>();
        if (out)
            *out = owned.get();
        auto made = std::make_unique<NudgeStreamPlayer>(std::move(owned), ducking);
        made->onPlaybackEnded = [&count] { ++count; };
        return made;
    }
    void pump() { waitUntil([] { return false; }, 0.02); }

    std::shared_ptr<FakeAudioDucking> ducking = std::make_shared<FakeAudioDucking>();
    FakeSpeechAudioOutput* output;
    std::unique_ptr<NudgeStreamPlayer> player;
    int ended = 0;
};

} // namespace

TEST_F(PlayerTest, OddBytesWaitAndOnlyAudioOpensAndDucks) {
    player->enqueue(QByteArray(1, 'a'), SpeechTimestamps{{"H"}, {0.0}});
    EXPECT_FALSE(player->isOpen());
    EXPECT_TRUE(ducking->events.isEmpty());
    EXPECT_EQ(player->level(), 0);
    EXPECT_FALSE(player->wordProgress());
    player->enqueue(QByteArray(3, 'b'), std::nullopt);
    EXPECT_TRUE(player->isOpen());
    EXPECT_EQ(output->written, QList<QByteArray>{QByteArray("abbb")});
    player->enqueue(samples(10), std::nullopt);
    EXPECT_EQ(ducking->events, QStringList{"duck"}); // once, at the first audio
    EXPECT_EQ(output->opens, 1);
}

TEST_F(PlayerTest, ChunksQueueBackToBackAndLateOnesStartWhereTheOutputIs) {
    player->enqueue(samples(2400), SpeechTimestamps{{"[", "h", "m", "]", " ", "H", "i"}, {0, .01, .02, .03, .04, .05, .06}});
    player->enqueue(samples(2400), SpeechTimestamps{{"!"}, {0.1}});
    EXPECT_EQ(player->delay(), 0);
    EXPECT_EQ(player->characterStarts(), (QList<double>{0.05, 0.06, 0.1}));
    // The output ran 0.5 s past the queued audio before the next chunk.
    output->advance(4800 + 12000, 4800 + 12000);
    player->enqueue(samples(2400), SpeechTimestamps{{"x"}, {0.2}});
    EXPECT_DOUBLE_EQ(player->delay(), 0.5);
    EXPECT_DOUBLE_EQ(player->characterStarts().last(), 0.7);
    // A chunk of timing only keeps the current delay.
    player->enqueue(QByteArray(), SpeechTimestamps{{"y"}, {0.3}});
    EXPECT_DOUBLE_EQ(player->characterStarts().last(), 0.8);

    const auto progress = player->wordProgress();
    ASSERT_TRUE(progress);
    EXPECT_DOUBLE_EQ(progress->end, (16800.0 + 2400.0) / 24000.0);
    EXPECT_DOUBLE_EQ(progress->now, 16800.0 / 24000.0);
    EXPECT_FALSE(progress->complete);
    // The level follows what is heard, not what was handed over.
    output->heard = 16800 + 100;
    EXPECT_GT(player->level(), 0);
    output->heard = 10000;
    EXPECT_EQ(player->level(), 0);
}

TEST_F(PlayerTest, FinishEndsWhenTheLastBufferIsHeard) {
    player->enqueue(samples(480), std::nullopt);
    player->enqueue(samples(480), std::nullopt);
    player->finish();
    output->advance(960, 480);
    pump();
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(player->scheduled(), 1);
    output->advance(1200, 960);
    pump();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(output->isOpen);
    EXPECT_EQ(ducking->events, (QStringList{"duck", "restore"}));

    // Nothing outstanding: finish ends at once; a player that never opened ends nothing.
    player->onPlaybackEnded = [this] { ++ended; };
    player->enqueue(samples(10), std::nullopt);
    output->advance(20, 20);
    pump();
    player->finish();
    EXPECT_EQ(ended, 2);
}

TEST_F(PlayerTest, StaleCompletionsLeaveTheNextPlaybackAlone) {
    player->enqueue(samples(480), std::nullopt);
    output->advance(480, 480); // the completion is on its way
    player->stop();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(ducking->outstanding, 0);
    player->enqueue(samples(480), std::nullopt);
    pump();
    EXPECT_EQ(player->scheduled(), 1);

    // Stop without audio runs nothing and restores nothing.
    int quietEnded = 0;
    makePlayer(quietEnded)->stop();
    EXPECT_EQ(quietEnded, 0);
}

TEST_F(PlayerTest, ReleaseAndDeviceLossGiveTheDuckBack) {
    player->enqueue(samples(480), std::nullopt);
    player.reset(); // let go while open
    EXPECT_EQ(ducking->events, (QStringList{"duck", "restore"}));
    EXPECT_EQ(ended, 0);

    FakeSpeechAudioOutput* lost = nullptr;
    int secondEnded = 0;
    auto second = makePlayer(secondEnded, &lost);
    second->enqueue(samples(480), std::nullopt);
    second->finish();
    lost->breakDown();
    EXPECT_EQ(secondEnded, 1);
    EXPECT_EQ(ducking->outstanding, 0);
    EXPECT_FALSE(second->isOpen());
}

TEST_F(PlayerTest, AnUnplayableOutputFailsTheEnqueue) {
    output->refusesToOpen = true;
    EXPECT_THROW(player->enqueue(samples(10), std::nullopt), NudgeSpeechError);
    EXPECT_FALSE(player->isOpen());
    EXPECT_TRUE(ducking->events.isEmpty());
}
