#pragma once
// The text reader's counters as benchmark counters, and the edited-page loop the benchmarks share.
#include "TextImages.h"
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

// Reads the document window once as it is, then once per iteration with one of its lines rewritten (one of the
// eighth to the twentieth from the top) in a wording no capture saw before; `revision` counts the wordings across
// repetitions. `read` takes each page, `counters` answers the reader's counters.
template <typename Read, typename Counters>
void readEditedPages(benchmark::State& state, const QSize& size, int firstLine, int& revision, Read read,
                     Counters counters) {
    read(tavrine::test::renderDocument(size, firstLine));
    const tavrine::PageReader::Counters before = counters();
    for (auto _ : state) {
        state.PauseTiming();
        const int wording = revision++;
        const QImage image =
            tavrine::test::renderDocument(size, firstLine, firstLine + 8 + wording % 12, false, wording);
        state.ResumeTiming();
        read(image);
    }
    reportReaderCounters(state, before, counters());
}
