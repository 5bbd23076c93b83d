#pragma once

#include <benchmark/benchmark.h>

#include <functional>

// The main of a benchmark program: an application object of type App, then the benchmarks the command line
// names, after `prepare` (work the benchmarks share, made once).
template <typename App>
int runBenchmarks(int argc, char** argv, const std::function<void()>& prepare = {}) {
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (prepare)
        prepare();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
