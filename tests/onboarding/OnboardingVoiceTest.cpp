#include "tavrine/onboarding/OnboardingRehearsal.h"
#include "tavrine/onboarding/OnboardingVoice.h"
#include "tavrine/onboarding/SpeechResampler.h"
#include "tavrine/onboarding/WaveFile.h"

#include "tavrine/core/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>

namespace tavrine {
namespace {

using namespace onboardingvoice;

// A WAV file as a test writes it: header fields can be bent to make damaged files.
struct WaveSpec {
    quint16 tag = 1; // 1 PCM, 3 float, 0xFFFE extensible
    quint16 subTag = 1;
    int channels = 1;
    int rate = 48000;
    int bits = 16;
    bool withFormat = true;
};

void put16(QByteArray& out, quint16 v) { out.append(char(v & 0xff)).append(char(v >> 8)); }
void put32(QByteArray& out, quint32 v) { put16(out, quint16(v & 0xffff)), put16(out, quint16(v >> 16)); }

// Every channel carries `signal(frame)` (full scale ±1).
QByteArray makeWave(const WaveSpec& spec, qint64 frames, const std::function<double(qint64)>& signal) {
    QByteArray data;
    const int width = spec.bits / 8;
    const bool floating = (spec.tag == 3) || (spec.tag == 0xFFFE && spec.subTag == 3);
    for (qint64 i = 0; i < frames; ++i) {
        const double v = signal(i);
        for (int c = 0; c < spec.channels; ++c) {
            if (floating && spec.bits == 32) {
                float f = float(v);
                quint32 raw;
                std::memcpy(&raw, &f, 4);
                put32(data, raw);
            } else if (floating) {
                quint64 raw;
                std::memcpy(&raw, &v, 8);
                put32(data, quint32(raw)), put32(data, quint32(raw >> 32));
            } else if (spec.bits == 8) {
                data.append(char(quint8(std::lround(128 + v * 127))));
            } else {
                const qint64 scale = (qint64(1) << (spec.bits - 1)) - 1;
                const qint64 s = std::llround(v * double(scale));
                for (int b = 0; b < width; ++b)
                    data.append(char((s >> (8 * b)) & 0xff));
            }
        }
    }
    QByteArray fmt;
    put16(fmt, spec.tag);
    put16(fmt, quint16(spec.channels));
    put32(fmt, quint32(spec.rate));
    put32(fmt, quint32(spec.rate * spec.channels * width));
    put16(fmt, quint16(spec.channels * width));
    put16(fmt, quint16(spec.bits));
    if (spec.tag == 0xFFFE) {
        put16(fmt, 22);
        put16(fmt, quint16(spec.bits));
        put32(fmt, 0);
        put16(fmt, spec.subTag);
        fmt.append("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    QByteArray out("RIFF");
    put32(out, 0);
    out.append("WAVE");
    // An unknown chunk first, of odd length, to check padding.
    out.append("LIST");
    put32(out, 3);
    out.append("abc", 3).append('\0');
    if (spec.withFormat) {
        out.append("fmt ");
        put32(out, quint32(fmt.size()));
        out.append(fmt);
    }
    out.append("data");
    put32(out, quint32(data.size()));
    out.append(data);
    qToLittleEndian<quint32>(quint32(out.size() - 8), out.data() + 4);
    return out;
}

std::function<double(qint64)> sine(double hz, int rate, double amplitude = 0.5) {
    return [=](qint64 i) { return amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / rate); };
}

// RMS level in dB of the 24 kHz PCM, away from both edges.
double levelDb(const QByteArray& pcm) {
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    const qsizetype n = pcm.size() / 2;
    double sum = 0;
    qsizetype count = 0;
    for (qsizetype i = n / 10; i < n - n / 10; ++i, ++count)
        sum += double(s[i]) * s[i];
    return 10 * std::log10(sum / double(count) / (32768.0 * 32768.0));
}

class OnboardingVoiceTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(OnboardingVoiceTest, OutputCapacityRoundsTheRateRatioUpAndAddsTheMargin) {
    EXPECT_EQ(speechresampler::outputCapacity(48000, 48000), 25024u);
    EXPECT_EQ(speechresampler::outputFrames(48000, 48000), 24000u);
    // 1000 × 24000 / 44100 = 544.2…
    EXPECT_EQ(speechresampler::outputCapacity(1000, 44100), 545u + 1024u);
    EXPECT_EQ(speechresampler::outputFrames(44100, 44100), 24000u);
}

TEST_F(OnboardingVoiceTest, EveryEncodingDecodesToTheSameSignal) {
    const WaveSpec specs[] = {
        {1, 1, 1, 22050, 8},  {1, 1, 1, 22050, 16}, {1, 1, 2, 22050, 24},  {1, 1, 1, 22050, 32},
        {3, 3, 1, 22050, 32}, {3, 3, 3, 22050, 64}, {0xFFFE, 1, 2, 22050, 16}, {0xFFFE, 3, 1, 22050, 32},
    };
    for (const WaveSpec& spec : specs) {
        SCOPED_TRACE(testing::Message() << "tag " << spec.tag << " bits " << spec.bits << " channels " << spec.channels);
        const std::optional<QByteArray> pcm = decodePCM(write("f.wav", makeWave(spec, 22050, sine(1000, 22050))));
        ASSERT_TRUE(pcm);
        EXPECT_EQ(pcm->size(), 24000 * 2);
        // A half-scale sine: −9.03 dB RMS.
        EXPECT_NEAR(levelDb(*pcm), -9.03, 0.5);
    }
}

TEST_F(OnboardingVoiceTest, ChannelsAreAveraged) {
    WaveSpec stereo{1, 1, 2, 24000, 16};
    QByteArray bytes = makeWave(stereo, 2400, [](qint64) { return 0.5; });
    // Silence the right channel: the average halves.
    char* data = bytes.data() + bytes.indexOf("data") + 8;
    for (int i = 0; i < 2400; ++i)
        data[i * 4 + 2] = data[i * 4 + 3] = 0;
    const std::optional<WaveFile> wave = WaveFile::parse(bytes);
    ASSERT_TRUE(wave);
    EXPECT_NEAR(wave->samples[1200], 0.25, 0.001);
}

TEST_F(OnboardingVoiceTest, DamagedFilesGiveNothing) {
    const QByteArray good = makeWave({}, 4800, sine(1000, 48000));
    ASSERT_TRUE(WaveFile::parse(good));
    WaveSpec noFormat;
    noFormat.withFormat = false;
    WaveSpec adpcm;
    adpcm.tag = 2;
    WaveSpec twelveBits;
    twelveBits.bits = 12;
    WaveSpec zeroRate;
    zeroRate.rate = 0;
    QByteArray badAlign = good;
    qToLittleEndian<quint16>(7, badAlign.data() + badAlign.indexOf("fmt ") + 8 + 12);
    const std::pair<const char*, QByteArray> cases[] = {
        {"truncated data", good.left(good.size() - 10)},
        {"header only", good.left(12)},
        {"no fmt", makeWave(noFormat, 4800, sine(1000, 48000))},
        {"compressed", makeWave(adpcm, 4800, sine(1000, 48000))},
        {"12 bits", makeWave(twelveBits, 4800, sine(1000, 48000))},
        {"zero rate", makeWave(zeroRate, 4800, sine(1000, 48000))},
        {"no frames", makeWave({}, 0, sine(1000, 48000))},
        {"block align", badAlign},
        {"not RIFF", QByteArray("RIFX") + good.mid(4)},
        {"empty", QByteArray()},
    };
    for (const auto& [name, bytes] : cases) {
        EXPECT_FALSE(WaveFile::parse(bytes)) << name;
        EXPECT_FALSE(decodePCM(write("bad.wav", bytes))) << name;
    }
    EXPECT_FALSE(decodePCM(dir.filePath("missing.wav")));
}

TEST_F(OnboardingVoiceTest, ResamplingKeepsThePassBandAndRejectsWhatWouldFoldBack) {
    const std::optional<QByteArray> low = decodePCM(write("low.wav", makeWave({}, 48000, sine(1000, 48000))));
    ASSERT_TRUE(low);
    EXPECT_EQ(low->size(), 24000 * 2);
    EXPECT_NEAR(levelDb(*low), -9.03, 0.5);
    // 13 kHz cannot exist at 24 kHz; what folds back to 11 kHz must be at least 40 dB down.
    const std::optional<QByteArray> high = decodePCM(write("high.wav", makeWave({}, 48000, sine(13000, 48000))));
    ASSERT_TRUE(high);
    EXPECT_LT(levelDb(*high), -9.03 - 40);
}

TEST_F(OnboardingVoiceTest, FullScaleSaturatesInsteadOfWrapping) {
    WaveSpec floating{3, 3, 1, 24000, 32};
    const std::optional<QByteArray> pcm =
        decodePCM(write("loud.wav", makeWave(floating, 2400, [](qint64 i) { return i < 1200 ? 1.5 : -1.5; })));
    ASSERT_TRUE(pcm);
    const auto* s = reinterpret_cast<const qint16*>(pcm->constData());
    EXPECT_EQ(s[600], 32767);
    EXPECT_EQ(s[1800], -32768);
}

TEST_F(OnboardingVoiceTest, TimingsAreKeptOnlyWhenSound) {
    const QString wav = write("v.wav", makeWave({}, 4800, sine(440, 48000)));
    auto json = [](int characters, int starts, bool withStarts = true) {
        QVariantMap object;
        QVariantList c, s;
        for (int i = 0; i < characters; ++i)
            c.append(QStringLiteral("a"));
        for (int i = 0; i < starts; ++i)
            s.append(0.1 * i);
        object.insert("characters", c);
        if (withStarts)
            object.insert("starts", s);
        return QJsonDocument::fromVariant(object).toJson();
    };
    const std::pair<const char*, QByteArray> bad[] = {
        {"10 and 9", json(10, 9)}, {"empty", json(0, 0)}, {"no starts", json(3, 0, false)},
        {"not JSON", "{"},          {"text starts", R"({"characters":["a"],"starts":["0.1"]})"},
    };
    for (const auto& [name, bytes] : bad) {
        const std::optional<SpeechChunk> chunk = decode(wav, write("v.json", bytes));
        ASSERT_TRUE(chunk) << name;
        EXPECT_FALSE(chunk->timestamps) << name;
    }
    const std::optional<SpeechChunk> good = decode(wav, write("v.json", json(3, 3)));
    ASSERT_TRUE(good && good->timestamps);
    EXPECT_EQ(good->timestamps->starts, (QList<double>{0.0, 0.1, 0.2}));
    const std::optional<SpeechChunk> missing = decode(wav, dir.filePath("none.json"));
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->timestamps);
}

TEST_F(OnboardingVoiceTest, RecordingFolderNeedsTheWaveButNotTheTimings) {
    QTemporaryDir onlyJson;
    QFile timings(onlyJson.filePath("OnboardingNudge.json"));
    ASSERT_TRUE(timings.open(QIODevice::WriteOnly));
    timings.write(R"({"characters":["a"],"starts":[0]})");
    timings.close();
    EXPECT_FALSE(loadRecording(onlyJson.path()));

    write("OnboardingNudge.wav", makeWave({}, 4800, sine(440, 48000)));
    const std::optional<SpeechChunk> chunk = loadRecording(dir.path());
    ASSERT_TRUE(chunk);
    EXPECT_FALSE(chunk->timestamps);

    MemoryUserDefaults defaults;
    EXPECT_TRUE(makeSpeaker(dir.path(), defaults));
    EXPECT_FALSE(makeSpeaker(onlyJson.path(), defaults));
}

// The recording shipped with the program speaks the rehearsal's nudge.
TEST_F(OnboardingVoiceTest, ShippedRecordingMatchesTheNudge) {
    const std::optional<SpeechChunk> chunk = loadRecording(QStringLiteral(":/onboarding"));
    ASSERT_TRUE(chunk);
    const double seconds = double(chunk->audio.size()) / 2 / SpeechChunk::sampleRate;
    EXPECT_GE(seconds, 5.0);
    EXPECT_LE(seconds, 15.0);
    ASSERT_TRUE(chunk->timestamps);
    EXPECT_EQ(chunk->timestamps->characters.join(QString()), onboarding::OnboardingRehearsal::nudgeText);
    const QList<double>& starts = chunk->timestamps->starts;
    for (qsizetype i = 1; i < starts.size(); ++i)
        EXPECT_LE(starts[i - 1], starts[i]) << i;
    EXPECT_LE(starts.last(), seconds);
}

} // namespace
} // namespace tavrine
