// The rehearsal's stage on the drifting beat under a display (the tests' Xvfb, where Qt Quick draws through
// OpenGL on Mesa's llvmpipe): the coach counting, the red tray pointer, the design window with its moving pointer
// and the video window (with the silent player: the web video's own cost is not in this figure). One run is 4 s of
// the beat's 5; the figure is the process's CPU seconds per wall second, all threads, from /proc/self/stat, with
// the frames per second of the design window and the coach beside it.
#include "BenchmarkMain.h"
#include "fakes/FakeActivityObserver.h"
#include "fakes/FakeClassifier.h"
#include "fakes/FakeMotionPreference.h"
#include "tavrine/core/Clock.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/onboarding/OnboardingRehearsal.h"
#include "tavrine/onboarding/OnboardingStage.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QQuickWindow>
#include <QQmlEngine>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <unistd.h>

using namespace tavrine;
using namespace tavrine::onboarding;
using Beat = OnboardingRehearsal::Beat;

namespace {

// User plus system time of the whole process, in seconds.
double processCpuSeconds() {
    QFile file(QStringLiteral("/proc/self/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = file.readAll();
    // The fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

void runEventLoop(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

static void BM_DriftingBeatOnStage(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        ManualClock sessionClock(1000.0);
        MemoryUserDefaults defaults;
        auto observer = std::make_shared<test::FakeActivityObserver>(sessionClock);
        auto classifier = std::make_shared<test::FakeClassifier>(sessionClock);
        FocusSessionOptions options;
        options.observer = observer;
        options.classifier = classifier;
        options.clock = &sessionClock;
        options.defaults = &defaults;
        FocusSession session(options);

        QQmlEngine engine;
        ui::setUpQmlEngine(engine);
        // The script and the views run on the real clock, as in the application.
        test::FakeMotionPreference motion;
        motion.setReduceMotion(state.range(0) == 1);
        OnboardingStage::Parts parts = OnboardingStage::defaultParts();
        parts.motion = &motion;
        OnboardingStage stage(engine, Clock::system(), parts);
        OnboardingRehearsal rehearsal(Clock::system());
        rehearsal.setOnBeat([&](Beat beat) { stage.apply(beat); });
        QWindow host;
        host.resize(640, 480);
        host.show();
        if (!rehearsal.start(&session, [&] { stage.dismiss(); })) {
            state.SkipWithError("the rehearsal did not start");
            return;
        }
        stage.present(&rehearsal, &host, [&] { rehearsal.skip(); });
        QElapsedTimer waited;
        waited.start();
        // Next on the working beat and the video's window on the tempted one, as the user answers them.
        while (!(rehearsal.beat() == Beat::Drifting && rehearsal.driftStarted()) && waited.elapsed() < 5000) {
            runEventLoop(10);
            if (rehearsal.isRunning() && rehearsal.beat() == Beat::Working && rehearsal.entered().size() == 1)
                rehearsal.answerNext();
            else if (rehearsal.beat() == Beat::Tempted)
                rehearsal.answerVideoActivated();
        }
        if (rehearsal.beat() != Beat::Drifting) {
            state.SkipWithError("the stage never reached the drifting beat");
            return;
        }
        state.ResumeTiming();

        int designFrames = 0, coachFrames = 0;
        QObject::connect(stage.designWindow(), &QQuickWindow::frameSwapped, [&] { ++designFrames; });
        QObject::connect(stage.coachPanel(), &QQuickWindow::frameSwapped, [&] { ++coachFrames; });
        QElapsedTimer wall;
        wall.start();
        const double cpuBefore = processCpuSeconds();
        runEventLoop(4000);
        const double cpu = processCpuSeconds() - cpuBefore;
        const double seconds = double(wall.nsecsElapsed()) / 1e9;

        state.PauseTiming();
        state.counters["cpu_per_wall"] = cpu / seconds;
        state.counters["design_fps"] = designFrames / seconds;
        state.counters["coach_fps"] = coachFrames / seconds;
        state.counters["still_drifting"] = rehearsal.beat() == Beat::Drifting ? 1 : 0;
        rehearsal.skip();
        stage.dismiss();
        runEventLoop(500);
        state.ResumeTiming();
    }
}
// 0: motion on (the design window's pointer keeps moving); 1: the user asked for less motion.
BENCHMARK(BM_DriftingBeatOnStage)->Arg(0)->Arg(1)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fputs("rehearsal_stage_bench needs a display (run it inside tests/support/x11-fixture.sh)\n", stderr);
        return 2;
    }
    return runBenchmarks<QApplication>(argc, argv);
}
