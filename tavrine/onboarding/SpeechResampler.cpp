#include "tavrine/onboarding/SpeechResampler.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavrine::speechresampler {

namespace {

// Zero crossings of the sinc on each side, and the Kaiser window's beta (about 60 dB of stop-band rejection).
constexpr double zeroCrossings = 12.0;
constexpr double kaiserBeta = 5.65;
// The pass band ends at this fraction of the lower Nyquist frequency; the transition band fills the rest.
constexpr double passFraction = 0.9;
// Kernel table resolution, in steps per input sample: the nearest step is close enough (its error sits near
// −70 dB) and keeps the inner loop to one multiply-add.
constexpr int tableSteps = 2048;

double besselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    const double quarter = x * x / 4.0;
    for (int k = 1; k < 50; ++k) {
        term *= quarter / (double(k) * double(k));
        sum += term;
        if (term < sum * 1e-12)
            break;
    }
    return sum;
}

} // namespace

std::uint64_t outputCapacity(std::uint64_t inputFrames, int inputRate) {
    return outputFrames(inputFrames, inputRate) + 1024;
}

std::uint64_t outputFrames(std::uint64_t inputFrames, int inputRate) {
    if (inputRate <= 0)
        return 0;
    const std::uint64_t rate = std::uint64_t(inputRate);
    return (inputFrames * targetRate + rate - 1) / rate;
}

QByteArray toSpeechPCM(const std::vector<float>& samples, int inputRate) {
    if (samples.empty() || inputRate <= 0)
        return {};
    const std::uint64_t frames = outputFrames(samples.size(), inputRate);
    // Cut-off as a fraction of the input sample rate's Nyquist frequency.
    const double cutoff = passFraction * std::min(1.0, double(targetRate) / double(inputRate));
    // Half the kernel's width in input samples.
    const double halfWidth = zeroCrossings / cutoff;
    const int tableSize = int(std::ceil(halfWidth * tableSteps)) + 2;
    std::vector<float> table(std::size_t(tableSize), 0.0f);
    const double windowNorm = besselI0(kaiserBeta);
    for (int i = 0; i < tableSize; ++i) {
        const double d = double(i) / tableSteps;
        if (d >= halfWidth)
            break;
        const double x = cutoff * d;
        const double sinc = x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        const double r = d / halfWidth;
        const double window = besselI0(kaiserBeta * std::sqrt(1.0 - r * r)) / windowNorm;
        table[std::size_t(i)] = float(cutoff * sinc * window);
    }
    const auto kernel = [&](double distance) {
        const auto index = std::size_t(std::abs(distance) * tableSteps + 0.5);
        return index < table.size() ? table[index] : 0.0f;
    };

    QByteArray out(qsizetype(frames * 2), Qt::Uninitialized);
    char* write = out.data();
    const qint64 last = qint64(samples.size()) - 1;
    for (std::uint64_t n = 0; n < frames; ++n) {
        // Exact position in input samples, from integers so that no error builds up over a long recording.
        const double t = double(n * std::uint64_t(inputRate)) / targetRate;
        const qint64 first = std::max<qint64>(0, qint64(std::ceil(t - halfWidth)));
        const qint64 end = std::min<qint64>(last, qint64(std::floor(t + halfWidth)));
        double sum = 0.0;
        for (qint64 k = first; k <= end; ++k)
            sum += double(samples[std::size_t(k)]) * kernel(t - double(k));
        const double scaled = std::round(sum * 32768.0);
        const auto value = qint16(std::clamp(scaled, -32768.0, 32767.0));
        qToLittleEndian<qint16>(value, write);
        write += 2;
    }
    return out;
}

} // namespace tavrine::speechresampler
