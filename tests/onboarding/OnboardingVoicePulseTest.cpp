// The rehearsal's nudge under a private PulseAudio daemon: the onboarding speaker plays the recording shipped with
// the program, and what the null sink's monitor hears is that recording, while the card's words follow it.
#include "support/TestSupport.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/onboarding/OnboardingRehearsal.h"
#include "tavrine/onboarding/OnboardingVoice.h"
#include "tavrine/speech/NudgeVoiceMeter.h"
#include "tavrine/speech/SonioxNudgeSpeaker.h"

#include <QProcess>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numeric>

using namespace tavrine;
using namespace tavrine::test;

namespace {

constexpr int rate = 24000;
constexpr int frame = rate / 50; // 20 ms

// The loudness of each 20 ms frame of 24 kHz s16 audio.
std::vector<double> envelope(const QByteArray& pcm) {
    std::vector<double> out;
    const qsizetype samples = pcm.size() / 2;
    for (qsizetype start = 0; start + frame <= samples; start += frame) {
        double sum = 0;
        for (int i = 0; i < frame; ++i) {
            const double v = qFromLittleEndian<qint16>(pcm.constData() + 2 * (start + i));
            sum += v * v;
        }
        out.push_back(std::sqrt(sum / frame));
    }
    return out;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b, size_t offset) {
    const size_t n = a.size();
    const double meanA = std::accumulate(a.begin(), a.end(), 0.0) / double(n);
    const double meanB =
        std::accumulate(b.begin() + qsizetype(offset), b.begin() + qsizetype(offset + n), 0.0) / double(n);
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        const double x = a[i] - meanA;
        const double y = b[offset + i] - meanB;
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

struct Match {
    size_t offset = 0;
    double correlation = -1;
};

// Where in `heard` the recording's envelope lies best, and how well it fits there.
Match bestMatch(const std::vector<double>& recording, const std::vector<double>& heard) {
    Match best;
    for (size_t offset = 0; offset + recording.size() <= heard.size(); ++offset) {
        const double c = correlation(recording, heard, offset);
        if (c > best.correlation)
            best = {offset, c};
    }
    return best;
}

// What was heard frame by frame against the recording's frames, where the silences a playback starved by a busy
// machine puts into the sound (it stops and goes on later) are left out: the frames of `heard` each frame of
// `recording` lines up with, in order, passing over only silent frames (below a fiftieth of the recording's
// loudest) before, between and after them, so that they differ least.
std::vector<double> lineUp(const std::vector<double>& recording, const std::vector<double>& heard) {
    const size_t n = recording.size();
    const size_t m = heard.size();
    if (m < n)
        return {};
    const double quiet = *std::max_element(recording.begin(), recording.end()) / 50;
    constexpr double never = std::numeric_limits<double>::infinity();
    // cost[i][j]: the recording's first i frames lined up within the first j heard, the last heard one taken.
    std::vector<std::vector<double>> cost(n + 1, std::vector<double>(m + 1, never));
    for (size_t j = 0; j <= m; ++j)
        cost[0][j] = 0; // the silence or anything before the recording starts
    for (size_t i = 1; i <= n; ++i) {
        for (size_t j = i; j <= m; ++j) {
            const double d = recording[i - 1] - heard[j - 1];
            const double taken = cost[i - 1][j - 1] + d * d;
            const double passed = heard[j - 1] < quiet ? cost[i][j - 1] : never;
            cost[i][j] = std::min(taken, passed);
        }
    }
    size_t j = size_t(std::min_element(cost[n].begin(), cost[n].end()) - cost[n].begin());
    if (cost[n][j] == never)
        return {};
    std::vector<double> out(n);
    for (size_t i = n; i > 0; --j) {
        const double d = recording[i - 1] - heard[j - 1];
        if (cost[i][j] == cost[i - 1][j - 1] + d * d) {
            out[i - 1] = heard[j - 1];
            --i;
        }
    }
    return out;
}

double rms(const std::vector<double>& frames, size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count; ++i)
        sum += frames[i] * frames[i];
    return std::sqrt(sum / double(count));
}

} // namespace

TEST(OnboardingVoicePulse, TheRehearsalsNudgePlaysTheShippedRecordingIntoTheSink) {
    ASSERT_TRUE(qEnvironmentVariableIsSet("PULSE_SERVER"));
    const std::optional<QByteArray> recording =
        onboardingvoice::decodePCM(QStringLiteral(":/onboarding/OnboardingNudge.wav"));
    ASSERT_TRUE(recording);
    const double recordingSeconds = double(recording->size()) / 2 / rate;

    // Everything the sink plays, from before the nudge until after it.
    QProcess monitor;
    QByteArray heard;
    QObject::connect(&monitor, &QProcess::readyReadStandardOutput, [&] { heard += monitor.readAllStandardOutput(); });
    monitor.start(QStringLiteral("parec"), {"--device=tavrine_test.monitor", "--raw", "--rate=24000", "--channels=1",
                                            "--format=s16le", "--latency-msec=20"});
    ASSERT_TRUE(monitor.waitForStarted(5000));
    ASSERT_TRUE(waitUntil([&] { return heard.size() >= 2 * rate / 4; }, 10)) << "the monitor records nothing";

    MemoryUserDefaults defaults;
    const std::shared_ptr<SonioxNudgeSpeaker> speaker =
        onboardingvoice::makeSpeaker(QStringLiteral(":/onboarding"), defaults);
    ASSERT_TRUE(speaker);
    NudgeVoiceMeter meter;
    speaker->setMeter(&meter);
    speaker->speak(onboarding::OnboardingRehearsal::nudgeText);
    ASSERT_TRUE(waitUntil([&] { return meter.isPlaying(); }, 10));
    EXPECT_TRUE(meter.revealsWords());

    // The words' clock is the playback's: it runs from the start to the recording's end, and every character but
    // the spaces has its start.
    double firstNow = -1;
    double lastNow = 0;
    std::optional<SpeechWordProgress> progress;
    ASSERT_TRUE(waitUntil(
        [&] {
            if (meter.isPlaying() && meter.words()) {
                if (std::optional<SpeechWordProgress> p = meter.words()()) {
                    progress = p;
                    if (firstNow < 0)
                        firstNow = p->now;
                    lastNow = std::max(lastNow, p->now);
                }
            }
            return !meter.isPlaying();
        },
        recordingSeconds + 10));
    ASSERT_TRUE(progress);
    const QString& text = onboarding::OnboardingRehearsal::nudgeText;
    EXPECT_EQ(progress->characterStarts.size(),
              std::count_if(text.begin(), text.end(), [](QChar c) { return !c.isSpace(); }))
        << "every shown character has its start";
    EXPECT_LT(firstNow, 0.5);
    EXPECT_GT(lastNow, recordingSeconds - 0.5);

    waitUntil([] { return false; }, 0.5);
    monitor.terminate();
    monitor.waitForFinished(5000);
    heard += monitor.readAllStandardOutput();

    // What the sink heard holds the recording: the same rise and fall of loudness, at a like level.
    const std::vector<double> expected = envelope(*recording);
    const std::vector<double> got = envelope(heard);
    ASSERT_GE(got.size(), expected.size()) << "the monitor heard less than the recording lasts";
    const std::vector<double> lined = lineUp(expected, got);
    ASSERT_EQ(lined.size(), expected.size()) << "the recording is not in what the monitor heard";
    const double fit = correlation(expected, lined, 0);
    std::printf("recording %.2f s, heard %.2f s; lined up with correlation %.3f (at one place: %.3f)\n",
                recordingSeconds, double(got.size()) / 50, fit, bestMatch(expected, got).correlation);
    EXPECT_GT(fit, 0.9);
    const double gainDb = 20 * std::log10(rms(lined, 0, lined.size()) / rms(expected, 0, expected.size()));
    std::printf("level against the recording: %.1f dB\n", gainDb);
    EXPECT_NEAR(gainDb, 0.0, 6.0);
}
