// Decoding and resampling the rehearsal's recorded nudge, as the rehearsal's start does on the main thread.
#include "tavrine/onboarding/OnboardingVoice.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

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
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
