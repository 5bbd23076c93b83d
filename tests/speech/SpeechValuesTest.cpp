#include "tavrine/speech/ShownCharacterFilter.h"
#include "tavrine/speech/SpeechLevelTimeline.h"
#include "tavrine/speech/SpeechPCMFrames.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace tavrine;

namespace {

QByteArray constantPcm(qsizetype samples, qint16 value) {
    QByteArray bytes(samples * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(value, bytes.data() + 2 * i);
    return bytes;
}

} // namespace

TEST(SpeechPCMFrames, KeepsSamplesWholeAcrossOddChunks) {
    SpeechPCMFrames frames;
    EXPECT_EQ(frames.take(QByteArray("abc", 3)), QByteArray("ab"));
    EXPECT_EQ(frames.take(QByteArray("d", 1)), QByteArray("cd"));
    EXPECT_EQ(frames.take(QByteArray()), QByteArray());
    EXPECT_TRUE(frames.remainder().isEmpty());
    // An empty chunk keeps a pending byte for the next one.
    EXPECT_EQ(frames.take(QByteArray("e", 1)), QByteArray());
    EXPECT_EQ(frames.take(QByteArray()), QByteArray());
    EXPECT_EQ(frames.take(QByteArray("f", 1)), QByteArray("ef"));
}

TEST(SpeechLevelTimeline, EnvelopeRisesFastFallsSlowlyPerBlock) {
    SpeechLevelTimeline timeline;
    EXPECT_EQ(timeline.append(constantPcm(1000, -32768), 0), 0);
    ASSERT_EQ(timeline.segments().size(), 1);
    const QList<float> loud = timeline.segments().at(0).levels;
    ASSERT_EQ(loud.size(), 3);
    EXPECT_NEAR(loud[0], 0.6, 1e-6);
    EXPECT_NEAR(loud[1], 0.84, 1e-6);
    EXPECT_NEAR(loud[2], 0.936, 1e-6);
    EXPECT_EQ(timeline.endSample(), 1000);

    // Silence right after: the envelope keeps 82 % of its value per block.
    EXPECT_EQ(timeline.append(constantPcm(960, 0), 0), 1000);
    const QList<float> quiet = timeline.segments().at(1).levels;
    EXPECT_NEAR(quiet[0], 0.936 * 0.82, 1e-6);
    EXPECT_NEAR(quiet[1], 0.936 * 0.82 * 0.82, 1e-6);
}

TEST(SpeechLevelTimeline, PlacesChunksAtTheLaterOfRequestAndEnd) {
    SpeechLevelTimeline timeline;
    timeline.append(constantPcm(24000, 16000), 0);
    const float carried = timeline.envelope();
    // Asked for too early: placed after what is there, the envelope carries on.
    SpeechLevelTimeline early = timeline;
    EXPECT_EQ(early.append(constantPcm(480, 0), 10000), 24000);
    EXPECT_NEAR(early.segments().last().levels[0], carried * 0.82, 1e-6);
    // After a gap: placed where asked, the envelope starts again from silence.
    EXPECT_EQ(timeline.append(constantPcm(480, -32768), 48000), 48000);
    EXPECT_NEAR(timeline.segments().last().levels[0], 0.6, 1e-6);
    EXPECT_EQ(timeline.endSample(), 48480);

    // Reads: outside, before the first segment, in the gap and exactly at the end are silent.
    EXPECT_EQ(timeline.level(-1), 0);
    EXPECT_EQ(timeline.level(48480), 0);
    EXPECT_EQ(timeline.level(30000), 0);
    EXPECT_NEAR(timeline.level(48479), 0.6, 1e-6);
    EXPECT_EQ(timeline.level(0), timeline.segments().first().levels.first());
    SpeechLevelTimeline late;
    late.append(constantPcm(480, 100), 500);
    EXPECT_EQ(late.level(100), 0);
    // Fewer than 2 bytes add nothing.
    EXPECT_EQ(late.append(QByteArray("x", 1), 0), 980);
    EXPECT_EQ(late.segments().size(), 1);
}

TEST(ShownCharacterFilter, HidesTagsAndWhitespace) {
    ShownCharacterFilter filter;
    const QStringList characters{"[", "l", "a", "u", "g", "h", "]", "Y", "]", "e", " ", "s", "]", "", "\u2028"};
    QList<bool> shown;
    for (const QString& c : characters)
        shown.append(filter.shows(c));
    EXPECT_EQ(shown, (QList<bool>{false, false, false, false, false, false, false, true, true, true, false, true,
                                  true, false, false}));
    // Tags do not nest: the first "]" closes.
    EXPECT_FALSE(filter.shows("["));
    EXPECT_FALSE(filter.shows("["));
    EXPECT_FALSE(filter.shows("]"));
    EXPECT_TRUE(filter.shows("x"));
}
