#include "tavrine/speech/NudgeVoiceMeter.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/speech/SpeakNudgesSetting.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tavrine;

namespace {

class NudgeVoiceMeterTest : public ::testing::Test {
protected:
    NudgeVoiceMeterTest() { meter.onSettled = [this] { ++settled; }; }
    NudgeVoiceMeter meter;
    int settled = 0;
};

} // namespace

TEST_F(NudgeVoiceMeterTest, APendingVoiceSettlesOnceAndOnlyForTheCurrentNudge) {
    EXPECT_FALSE(meter.isPending());
    meter.reset();
    const qint64 first = meter.token();
    meter.setPending(true);
    meter.reset(); // a newer nudge: the first attempt's end no longer counts
    meter.setPending(true);
    meter.settle(first);
    EXPECT_EQ(settled, 0);
    EXPECT_TRUE(meter.isPending());

    meter.settle(meter.token());
    meter.settle(meter.token());
    EXPECT_EQ(settled, 1);
    EXPECT_FALSE(meter.isPending());
}

TEST_F(NudgeVoiceMeterTest, OnlyTheFirstAudioOfTheCurrentNudgeAttaches) {
    QSignalSpy voiced(&meter, &NudgeVoiceMeter::isVoicedChanged);
    meter.reset();
    const qint64 old = meter.token();
    meter.reset();
    meter.setPending(true);
    const qint64 token = meter.token();

    meter.attach(old, [] { return 0.5f; }, {});
    EXPECT_FALSE(meter.isVoiced());
    EXPECT_FALSE(meter.source());

    meter.attach(token, [] { return 0.25f; }, [] { return std::optional<SpeechWordProgress>(); });
    meter.attach(token, [] { return 0.75f; }, {});
    EXPECT_TRUE(meter.isVoiced() && meter.isPlaying() && meter.revealsWords());
    EXPECT_FALSE(meter.isPending());
    EXPECT_EQ(meter.source()(), 0.25f);
    EXPECT_EQ(voiced.size(), 1);
    meter.settle(token);
    EXPECT_EQ(settled, 1);

    meter.playbackEnded(old);
    EXPECT_TRUE(meter.isPlaying());
    meter.playbackEnded(token);
    EXPECT_FALSE(meter.isPlaying() || meter.source() || meter.words());
    EXPECT_TRUE(meter.isVoiced() && meter.revealsWords());

    meter.reset();
    EXPECT_FALSE(meter.isVoiced() || meter.revealsWords());
}

// The session stopped waiting: a voice that comes later plays but neither reveals words nor settles.
TEST_F(NudgeVoiceMeterTest, ALateVoicePlaysWithoutRevealingOrSettling) {
    meter.reset();
    meter.setPending(true);
    meter.setPending(false);
    meter.settle(meter.token());
    meter.attach(meter.token(), [] { return 1.0f; }, {});
    EXPECT_TRUE(meter.isVoiced() && meter.isPlaying());
    EXPECT_FALSE(meter.revealsWords());
    EXPECT_EQ(settled, 0);
    EXPECT_TRUE(static_cast<bool>(meter.onSettled));
    // A reset clears the closures too.
    meter.reset();
    EXPECT_FALSE(meter.source());
}

TEST(SpeakNudgesSetting, OnUnlessTheUserSwitchedThemOff) {
    MemoryUserDefaults defaults;
    EXPECT_TRUE(readSpeakNudges(defaults));
    defaults.setBool(speakNudgesKey, false);
    EXPECT_FALSE(readSpeakNudges(defaults));
    defaults.setString(speakNudgesKey, QStringLiteral("no"));
    EXPECT_TRUE(readSpeakNudges(defaults));
}
