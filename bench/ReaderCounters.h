#pragma once
// The text reader's counters as benchmark counters.
#include "tavrine/ocr/PageReader.h"

#include <benchmark/benchmark.h>

// What the captures of the timed loop cost the reader, per capture: `before` and `after` are its counters around
// the loop.
inline void reportReaderCounters(benchmark::State& state, const tavrine::PageReader::Counters& before,
                                 const tavrine::PageReader::Counters& after) {
    const auto perCapture = [](int spent) { return benchmark::Counter(spent, benchmark::Counter::kAvgIterations); };
    state.counters["layouts"] = perCapture(after.layouts - before.layouts);
    state.counters["layoutsReused"] = perCapture(after.layoutsReused - before.layoutsReused);
    state.counters["stretchesReused"] = perCapture(after.stretchesReused - before.stretchesReused);
    state.counters["linesRead"] = perCapture(after.linesRead - before.linesRead);
    state.counters["linesReused"] = perCapture(after.linesReused - before.linesReused);
}
