// Decoding and resampling the rehearsal's recorded nudge, as the rehearsal's start does on the main thread.
#include "BenchmarkMain.h"
#include "tavrine/onboarding/OnboardingVoice.h"

#include <QCoreApplication>

namespace {

void BM_LoadRecording(benchmark::State& state) {
    for (auto _ : state) {
        auto chunk = tavrine::onboardingvoice::loadRecording(QStringLiteral(":/onboarding"));
        if (!chunk)
            state.SkipWithError("no recording");
        benchmark::DoNotOptimize(chunk);
    }
}
BENCHMARK(BM_LoadRecording)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return runBenchmarks<QCoreApplication>(argc, argv);
}
