// The cost of a running session's quiet second: the ticker's countdown step and the worker's periodic pass when
// nothing changed, with the fake observer of the tests; and, beside it, the real X11 window-identity read
// that each such pass makes (run it under a display: tests/support/x11-fixture.sh exec <dir> session_bench).
#include "fakes/FakeActivityObserver.h"
#include "fakes/FakeClassifier.h"
#include "tavrine/capture/ActivityObserver.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/session/FocusSession.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <memory>

using namespace tavrine;

namespace {

ActivityEvidence editorEvidence() {
    ActivityEvidence evidence;
    evidence.app = QStringLiteral("Editor");
    evidence.bundle = QStringLiteral("org.example.Editor");
    evidence.pid = 4242;
    evidence.windowID = 77;
    evidence.title = QStringLiteral("Quarterly report");
    evidence.text = QStringLiteral("Revenue grew in the third quarter while costs stayed flat");
    evidence.source = QStringLiteral("Window capture");
    evidence.capturePath = QStringLiteral("window+ocr");
    evidence.contentFrame = QRectF(0, 0, 1200, 800);
    evidence.imageFingerprint = QStringLiteral("0123456789abcdef");
    evidence.imagePNG = QByteArray(4096, 'p');
    return evidence;
}

// A session ten minutes in: one model verdict, then the cache answering every capture.
struct QuietSession {
    QuietSession() {
        observer->setEvidence(editorEvidence());
        FocusSessionOptions options;
        options.observer = observer;
        options.classifier = classifier;
        options.clock = &clock;
        options.defaults = &defaults;
        session = std::make_unique<FocusSession>(options);
        session->setMinutes(180);
        session->setIntention(QStringLiteral("Write the quarterly report"));
        session->start(false);
        clock.advance(600);
    }
    ~QuietSession() {
        session.reset();
        ManualClock::pump();
    }

    ManualClock clock{1000.0};
    MemoryUserDefaults defaults;
    std::shared_ptr<test::FakeActivityObserver> observer = std::make_shared<test::FakeActivityObserver>(clock);
    std::shared_ptr<test::FakeClassifier> classifier = std::make_shared<test::FakeClassifier>(clock);
    std::unique_ptr<FocusSession> session;
};

// One quiet second as the event loop runs it: the ticker wakes and ticks, the worker wakes, passes and sleeps
// again. Seconds in which the 12-second gate opens are stepped over untimed, so every timed second is one in
// which nothing changed.
void quietSecond(benchmark::State& state) {
    QuietSession s;
    for (auto _ : state) {
        state.PauseTiming();
        if (s.session->remaining() < 60) {
            s.session->stop(false);
            s.session->start(false);
            s.clock.advance(600);
        }
        const int captures = s.observer->captureCount();
        state.ResumeTiming();
        s.clock.advance(1.0);
        if (s.observer->captureCount() != captures) {
            state.PauseTiming();
            s.clock.advance(1.0); // let the capture's evidence come back and be decided
            state.ResumeTiming();
        }
    }
}

// The worker's pass alone, at a frozen time: the window is the same and the 12-second gate is shut.
void unchangedPass(benchmark::State& state) {
    QuietSession s;
    s.clock.advance(2); // no capture in flight: the pass goes as far as the window-identity read and the gate
    const int captures = s.observer->captureCount();
    const int reads = s.observer->identityReads();
    qint64 passes = 0;
    for (auto _ : state) {
        s.session->steps().periodicPass();
        ++passes;
    }
    if (s.observer->captureCount() != captures || s.observer->identityReads() - reads != passes)
        state.SkipWithError("the pass did not stop at the shut gate");
}

// The ticker's countdown step alone (drift text, activity-log rows, remaining time, nudge-due test).
void countdownTick(benchmark::State& state) {
    QuietSession s;
    for (auto _ : state)
        s.session->steps().tick();
}

// What the real observer's window-identity read costs with another application's window in front.
void x11WindowIdentity(benchmark::State& state) {
    if (!platform::X11Connection::shared()) {
        state.SkipWithError("no X display");
        return;
    }
    ActivityObserver observer;
    if (!observer.currentWindowIdentity()) {
        state.SkipWithError("no readable window of another application in front");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(observer.currentWindowIdentity());
}

// The accessibility check inside that read (the accessibility bus asked over D-Bus), to tell its share.
void accessibilityCheck(benchmark::State& state) {
    ActivityObserver observer;
    for (auto _ : state)
        benchmark::DoNotOptimize(observer.accessibilityTrusted());
}

} // namespace

BENCHMARK(quietSecond)->Unit(benchmark::kMicrosecond);
BENCHMARK(unchangedPass)->Unit(benchmark::kMicrosecond);
BENCHMARK(countdownTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(x11WindowIdentity)->Unit(benchmark::kMicrosecond);
BENCHMARK(accessibilityCheck)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QLoggingCategory::setFilterRules(QStringLiteral("com.dravolence.tavrine.*=false"));
    std::unique_ptr<QCoreApplication> app;
    if (qEnvironmentVariableIsSet("DISPLAY"))
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
