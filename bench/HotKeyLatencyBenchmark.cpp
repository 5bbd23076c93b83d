// XTest press to the key-down action of a real grab (median and p99 as counters), and the cost of one
// registration (four checked grabs) beside it. Needs a display, such as the tests' Xvfb.
#include "BenchmarkMain.h"
#include "globalshortcuts/Registry.h"
#include "globalshortcuts/x11/X11HotKeyBackend.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <algorithm>
#include <vector>
// Xlib last: its macros clash with the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace globalshortcuts;

namespace {

void pumpUntil(const bool& done) {
    QElapsedTimer limit;
    limit.start();
    while (!done && limit.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
}

void BM_XTestPressToKeyDown(benchmark::State& state) {
    MemoryPreferences preferences;
    X11HotKeyBackend backend;
    Registry registry({&preferences, &backend, &backend, &backend, &backend});
    Display* display = XOpenDisplay(nullptr);
    if (!backend.isConnected() || !display) {
        state.SkipWithError("no X display");
        return;
    }
    const Name name = Name::fromRawValue(QStringLiteral("bench"));
    registry.storeShortcut(Shortcut::fromCarbon(35, Carbon::option | Carbon::command), name);
    bool down = false, up = false;
    registry.onKeyDown(name, [&] { down = true; });
    registry.onKeyUp(name, [&] { up = true; });
    const KeyCode alt = XKeysymToKeycode(display, XK_Alt_L), super = XKeysymToKeycode(display, XK_Super_L),
                  p = XKeysymToKeycode(display, XK_p);
    XTestFakeKeyEvent(display, alt, True, CurrentTime);
    XTestFakeKeyEvent(display, super, True, CurrentTime);
    XSync(display, False);
    std::vector<double> latencies;
    for (auto _ : state) {
        down = up = false;
        QElapsedTimer timer;
        timer.start();
        XTestFakeKeyEvent(display, p, True, CurrentTime);
        XFlush(display);
        pumpUntil(down);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        latencies.push_back(seconds * 1000.0);
        XTestFakeKeyEvent(display, p, False, CurrentTime);
        XFlush(display);
        pumpUntil(up);
    }
    XTestFakeKeyEvent(display, super, False, CurrentTime);
    XTestFakeKeyEvent(display, alt, False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["median_ms"] = latencies[latencies.size() / 2];
        state.counters["p99_ms"] = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
    }
}
BENCHMARK(BM_XTestPressToKeyDown)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

void BM_RegisterOneHotKey(benchmark::State& state) {
    X11HotKeyBackend backend;
    if (!backend.isConnected()) {
        state.SkipWithError("no X display");
        return;
    }
    qint64 id = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(backend.registerHotKey(++id, 35, Carbon::control | Carbon::shift));
        backend.unregisterHotKey(id);
    }
}
BENCHMARK(BM_RegisterOneHotKey)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return runBenchmarks<QGuiApplication>(argc, argv);
}
