#include "tavrine/speech/NudgeVoiceMeter.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/speech/SpeakNudgesSetting.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tavrine;

TEST(NudgeVoiceMeter, APendingVoiceSettlesOnceAndOnlyForTheCurrentNudge) {
    NudgeVoiceMeter meter;
    int settled = 0;
    meter.onSettled = [&] { ++settled; };
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

    // A meter the session stopped waiting for settles no more.
    meter.reset();
    meter.setPending(true);
    meter.setPending(false);
    meter.settle(meter.token());
    EXPECT_EQ(settled, 1);
    EXPECT_TRUE(static_cast<bool>(meter.onSettled));
}

TEST(NudgeVoiceMeter, SpokenNudgesAreOnUnlessTheUserSwitchedThemOff) {
    MemoryUserDefaults defaults;
    EXPECT_TRUE(readSpeakNudges(defaults));
    defaults.setBool(speakNudgesKey, false);
    EXPECT_FALSE(readSpeakNudges(defaults));
    defaults.setString(speakNudgesKey, QStringLiteral("no"));
    EXPECT_TRUE(readSpeakNudges(defaults));
}
