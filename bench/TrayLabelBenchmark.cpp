// The tray label's work in a running session: one update a second (texts, the cached picture, a new picture
// when a minute turns over). Budget: well under 50 µs of CPU per second of session.
#include "tavrine/ui/TrayLabel.h"

#include <QString>
#include <benchmark/benchmark.h>

namespace {

void BM_TrayLabelSecondOfSession(benchmark::State& state) {
    tavrine::ui::TrayIconRenderer renderer;
    const QColor ink(Qt::white);
    int seconds = 180 * 60;
    for (auto _ : state) {
        if (--seconds < 0)
            seconds = 180 * 60;
        const tavrine::ui::TrayLabelState label{true, QString::asprintf("%02d:%02d", seconds / 60, seconds % 60),
                                                tavrine::MenuBarSessionBackground::Relevant};
        benchmark::DoNotOptimize(tavrine::ui::labelAccessibilityText(label));
        benchmark::DoNotOptimize(renderer.imageIfChanged(label, ink));
    }
    state.counters["drawings"] = renderer.drawings();
}
BENCHMARK(BM_TrayLabelSecondOfSession);

// One new picture (a minute turning over, or a new verdict).
void BM_TrayIconDrawing(benchmark::State& state) {
    const QColor ink(Qt::white);
    int minutes = 0;
    for (auto _ : state) {
        tavrine::ui::TrayIconRenderer renderer;
        minutes = (minutes + 1) % 180;
        benchmark::DoNotOptimize(renderer.render(
            {true, QString::asprintf("%02d:00", minutes), tavrine::MenuBarSessionBackground::Unrelated}, ink));
    }
}
BENCHMARK(BM_TrayIconDrawing);

} // namespace
