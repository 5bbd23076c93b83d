// The real output and ducker under a private PulseAudio daemon: music from paplay dips to a quarter while a
// nudge plays and comes back after finish, stop and release.
#include "support/TestSupport.h"
#include "tavrine/platform/AudioDucking.h"
#include "tavrine/speech/NudgeStreamPlayer.h"
#include "tavrine/speech/SoundModule.h"
#include "tavrine/speech/SpeechAudioOutput.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

constexpr int musicVolume = 40000;

QByteArray tone(double seconds) {
    const int samples = static_cast<int>(seconds * 24000);
    QByteArray pcm(samples * 2, Qt::Uninitialized);
    for (int i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(static_cast<qint16>(8000 * std::sin(i * 0.1)), pcm.data() + 2 * i);
    return pcm;
}

// The volume of paplay's stream as pactl reports it, or -1.
int musicLevel() {
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"});
    pactl.waitForFinished(5000);
    const QString out = QString::fromUtf8(pactl.readAllStandardOutput());
    for (const QString& block : out.split("Sink Input #")) {
        if (!block.contains("paplay"))
            continue;
        const auto match = QRegularExpression(R"(Volume: [^:]+: (\d+) /)").match(block);
        if (match.hasMatch())
            return match.captured(1).toInt();
    }
    return -1;
}

// How the sound server lists this process's playback stream: its block of `pactl list sink-inputs`.
QString ownStream() {
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"});
    pactl.waitForFinished(5000);
    const QString pid = QStringLiteral("application.process.id = \"%1\"").arg(QCoreApplication::applicationPid());
    for (const QString& block : QString::fromUtf8(pactl.readAllStandardOutput()).split("Sink Input #")) {
        if (block.contains(pid))
            return block;
    }
    return {};
}

class PulsePlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(qEnvironmentVariableIsSet("PULSE_SERVER"));
        // As the application does at start, before its first sound (later calls change nothing).
        ASSERT_NE(SoundModule::instance(), nullptr);
        SoundModule::instance()->nameSoundStreams();
        music.start("paplay", {"--raw", "--rate=24000", "--channels=1", "--format=s16le",
                               QStringLiteral("--volume=%1").arg(musicVolume), "/dev/zero"});
        ASSERT_TRUE(waitUntil([] { return musicLevel() == musicVolume; }, 10));
    }
    void TearDown() override {
        music.kill();
        music.waitForFinished();
    }
    std::shared_ptr<NudgeStreamPlayer> makePlayer(SpeechAudioOutput** output = nullptr) {
        auto owned = SoundModule::speechOutput();
        if (output)
            *output = owned.get();
        return std::make_shared<NudgeStreamPlayer>(std::move(owned), ducking);
    }
    // A player two seconds into a nudge, once the music has dipped to a quarter.
    std::shared_ptr<NudgeStreamPlayer> playingNudge() {
        auto player = makePlayer();
        player->enqueue(tone(2), std::nullopt);
        EXPECT_TRUE(dipped());
        return player;
    }
    static bool dipped() {
        return waitUntil([] { return std::abs(musicLevel() - musicVolume / 4) <= 200; }, 5);
    }
    static bool restored() {
        return waitUntil([] { return musicLevel() == musicVolume; }, 3);
    }

    QProcess music;
    std::shared_ptr<AudioDucking> ducking = SoundModule::sharedDucking();
};

} // namespace

TEST_F(PulsePlaybackTest, MusicDipsWhileTheNudgePlaysAndComesBackAfterFinish) {
    SpeechAudioOutput* output = nullptr;
    auto player = makePlayer(&output);
    bool ended = false;
    player->onPlaybackEnded = [&] { ended = true; };
    QElapsedTimer clock;
    clock.start();
    player->enqueue(tone(0.8), std::nullopt);
    ASSERT_TRUE(player->isOpen());
    ASSERT_TRUE(dipped());
    // A mixer lists the voice under Tavrine's name, as an event sound; programs Tavrine starts do not inherit that.
    const QString listed = ownStream();
    EXPECT_TRUE(listed.contains(QStringLiteral("application.name = \"Tavrine\""))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("media.role = \"event\""))) << listed.toStdString();
    EXPECT_FALSE(QProcessEnvironment::systemEnvironment().keys().join(' ').contains(QStringLiteral("PULSE_PROP")));
    // What the readings say while the voice plays: handed (pulled by the sink) against processed (heard).
    ASSERT_TRUE(waitUntil([&] { return output->heardSamples() > 0; }, 5));
    const qint64 firstHeardMs = clock.elapsed();
    waitUntil([] { return false; }, 0.3);
    const double handed = output->handedSamples() / 24.0;
    const double heard = output->heardSamples() / 24.0;
    std::printf("first heard after %lld ms; at %lld ms: handed %.1f ms, heard %.1f ms (latency %.1f ms)\n",
                static_cast<long long>(firstHeardMs), static_cast<long long>(clock.elapsed()), handed, heard,
                handed - heard);
    EXPECT_LE(heard, handed);
    EXPECT_GT(player->level(), 0);
    player->finish();
    ASSERT_TRUE(waitUntil([&] { return ended; }, 5));
    EXPECT_TRUE(restored());
}

TEST_F(PulsePlaybackTest, StopReleaseAndTwoNudgesInARowLeaveTheFirstVolume) {
    playingNudge()->stop();
    EXPECT_TRUE(restored());
    playingNudge().reset(); // released while playing
    EXPECT_TRUE(restored());

    // A second nudge during the first one's restore never takes a lowered volume for the original.
    auto first = playingNudge();
    first->stop();
    waitUntil([] { return false; }, 0.1);
    playingNudge()->stop();
    EXPECT_TRUE(restored());

    // A volume someone else set while lowered is left as it is.
    auto third = playingNudge();
    QProcess::execute("sh", {"-c", "pactl set-sink-input-volume $(pactl list short sink-inputs | "
                                   "grep -v $$ | awk 'NR==1{print $1}') 30000"});
    waitUntil([] { return false; }, 0.2);
    const int changed = musicLevel();
    third->stop();
    waitUntil([] { return false; }, 0.6);
    EXPECT_EQ(musicLevel(), changed);
}

TEST_F(PulsePlaybackTest, QuitRestoresAtOnce) {
    auto player = playingNudge();
    ducking->restoreAll();
    EXPECT_EQ(musicLevel(), musicVolume);
    player->stop();
}
