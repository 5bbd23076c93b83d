// The rehearsal's stage in the application, on an X display with a window manager and a tray host (run it in a
// private desktop: tests/support/x11-fixture.sh exec <dir> stage_bench):
// - "Start focus session" until the stage is on screen (the dim, the design window and the coach drawn where they
//   show), the recorded voice included. Budget: median under 500 ms. The first start of a
//   process also starts the web engine; it is printed apart.
// - One step of the stage's 0.25 s loop when nothing moved: the tray icon's frame asked of the tray, the pointer
//   and the coach placed where they already are. Budget: under 50 µs.
// With --memory instead: the private dirty memory and the resident size of this process and all it started,
// idle on the onboarding window, with the rehearsal's video window shown, and 5 s after the rehearsal ends.
#include "ProcessTree.h"
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/onboarding/OnboardingStage.h"
#include "tavrine/onboarding/PlayerProcess.h"
#include "tavrine/onboarding/WebEngineSanitizerOptions.h"
#include "tavrine/shell/AppStartup.h"
#include "tavrine/shell/TavrineApp.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/shell/WindowSet.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <functional>

namespace {

tavrine::shell::TavrineApp* app = nullptr;

bool waitFor(const std::function<bool()>& done, int limitMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

// On screen, drawn: not only mapped out of sight to draw a first frame.
bool stageOnScreen(const tavrine::onboarding::OnboardingStage& stage) {
    return stage.isPresented() && stage.onScreen();
}

struct Memory {
    double privateDirtyMb = 0;
    double rssMb = 0;
    int processes = 0;
};

// This process and every process below it, from smaps_rollup.
Memory treeMemory() {
    Memory memory;
    QList<qint64> processes = processtree::descendants();
    processes << QCoreApplication::applicationPid();
    for (const qint64 pid : std::as_const(processes)) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = rollup.readAll();
        ++memory.processes;
        memory.privateDirtyMb += double(processtree::field(text, "Private_Dirty:")) / 1024;
        memory.rssMb += double(processtree::field(text, "Rss:")) / 1024;
    }
    return memory;
}

void printMemory(const char* when, const Memory& memory) {
    std::fprintf(stderr, "stage_bench: %-34s %2d processes, private dirty %6.1f MB, RSS %6.1f MB\n", when,
                 memory.processes, memory.privateDirtyMb, memory.rssMb);
}

// Idle, with the video window shown (the working beat answered), and 5 s after the rehearsal is skipped.
int measureMemory() {
    tavrine::onboarding::OnboardingFlow& flow = app->onboardingFlow();
    tavrine::onboarding::OnboardingStage& stage = *flow.stage();
    waitFor([] { return false; }, 5000);
    printMemory("idle (onboarding window)", treeMemory());
    flow.startRehearsal();
    if (!waitFor([&] { return stageOnScreen(stage); }))
        return 1;
    if (!waitFor(
            [&] {
                if (flow.rehearsal()->takesNext())
                    stage.next();
                return stage.videoWindow()->isExposed();
            },
            60000))
        return 1;
    waitFor([] { return false; }, 5000);
    printMemory("with the rehearsal's video", treeMemory());
    QElapsedTimer ending;
    ending.start();
    flow.skipRehearsal();
    std::fprintf(stderr, "stage_bench: the skip returned after %.1f ms (the player's process ends in the background)\n",
                 double(ending.nsecsElapsed()) / 1e6);
    waitFor([&] { return !stage.isPresented(); });
    waitFor([] { return false; }, 5000);
    printMemory("5 s after the rehearsal", treeMemory());
    return 0;
}

// One start, timed until the stage shows; then skipped, and back to the onboarding window.
double startToStage() {
    tavrine::onboarding::OnboardingFlow& flow = app->onboardingFlow();
    tavrine::onboarding::OnboardingStage& stage = *flow.stage();
    QElapsedTimer timer;
    timer.start();
    flow.startRehearsal();
    if (!waitFor([&] { return stageOnScreen(stage); }))
        return -1;
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    flow.skipRehearsal();
    QQuickWindow* onboarding = app->windows().existingWindow(QStringLiteral("onboarding"));
    waitFor([&] { return !stage.isPresented() && onboarding && onboarding->isExposed(); });
    // The web view of the last start goes away with its process before the next start.
    waitFor([] { return false; }, 300);
    return seconds;
}

void BM_StartToStageMapped(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = startToStage();
        if (seconds < 0) {
            state.SkipWithError("the stage did not show");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_StartToStageMapped)->UseManualTime()->Iterations(1)->Repetitions(15)->Unit(benchmark::kMillisecond);

void BM_PointerTickNothingMoved(benchmark::State& state) {
    tavrine::onboarding::OnboardingFlow& flow = app->onboardingFlow();
    tavrine::onboarding::OnboardingStage& stage = *flow.stage();
    flow.startRehearsal();
    if (!waitFor([&] { return stageOnScreen(stage) && stage.pointerPanel()->isExposed(); })) {
        state.SkipWithError("the stage did not show");
        return;
    }
    // The first placements and the coach's move land.
    waitFor([] { return false; }, 1000);
    for (auto _ : state) {
        stage.placePointer();
        stage.layoutCoach(true);
    }
    flow.skipRehearsal();
    waitFor([&] { return !stage.isPresented(); });
    waitFor([] { return false; }, 300);
}
BENCHMARK(BM_PointerTickNothingMoved)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // The rehearsal's video player, which the application starts as this very program.
    if (tavrine::PlayerProcess::isPlayerLaunch(argc, argv))
        return tavrine::PlayerProcess::run(argc, argv);
    // A first run's folders of its own: onboarding never done, nothing of the user's read or written.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tavrine-stage-bench-XXXXXX"));
    const QByteArray root = home.path().toUtf8();
    for (const char* sub : {"/config", "/data", "/cache"})
        QDir().mkpath(QString::fromUtf8(root + sub));
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("TAVRINE_API_BASE_URL");

    const bool memory = argc > 1 && qstrcmp(argv[1], "--memory") == 0;
    tavrine::shell::prepareApplication();
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (!memory) {
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv))
            return 1;
    }

    tavrine::shell::TavrineApp::Environment environment;
    environment.arguments = {QStringLiteral("tavrine"), QStringLiteral("--onboarding"),
                             QStringLiteral("--fast-rehearsal")};
    tavrine::shell::TavrineApp tavrine(std::move(environment));
    app = &tavrine;
    tavrine.start();
    QQuickWindow* onboarding = tavrine.windows().existingWindow(QStringLiteral("onboarding"));
    if (!waitFor([&] { return onboarding && onboarding->isExposed(); })) {
        std::fputs("stage_bench: the onboarding window did not show\n", stderr);
        return 1;
    }
    // The tray icon docked, so that the pointer's loop asks a real tray.
    waitFor([&] { return tavrine.tray().trayIconGeometry().has_value(); }, 5000);

    if (memory)
        return measureMemory();
    const double first = startToStage();
    std::fprintf(stderr, "stage_bench: first start to stage mapped (web engine starting): %.1f ms\n", first * 1e3);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
