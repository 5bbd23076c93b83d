// Frames of the rehearsal's scenery, offscreen (Qt Quick's software renderer): a frame of the coach while its
// drift counter counts, and the design page's first 820 × 540 frame. A frame here is the window's polish, sync
// and a whole repaint into an image (grabWindow), which is more than the on-screen renderer does for a frame
// that changes a little.
#include "tavrine/core/ManualClock.h"
#include "tavrine/onboarding/CoachModel.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <benchmark/benchmark.h>
#include <memory>

using namespace tavrine;
using tavrine::onboarding::CoachModel;

namespace {

QUrl component(const char* name) {
    return ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QString::fromLatin1(name));
}

std::unique_ptr<QQuickItem> create(QQmlEngine& engine, const char* name, const QVariantMap& properties) {
    QQmlComponent maker(&engine, component(name));
    std::unique_ptr<QObject> object(maker.createWithInitialProperties(properties));
    if (!object)
        qFatal("%s: %s", name, qPrintable(maker.errorString()));
    return std::unique_ptr<QQuickItem>(qobject_cast<QQuickItem*>(object.release()));
}

void waitUntilExposed(QQuickWindow& window) {
    QElapsedTimer timer;
    timer.start();
    while (!window.isExposed() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

// One frame of the drifting beat's coach: the clock moves a sixtieth of a second, the model ticks (as the card's
// frame loop does), the counter and the current bar change, and the window draws.
static void BM_CountingCoachFrame(benchmark::State& state) {
    QQmlEngine engine;
    ui::setUpQmlEngine(engine);
    ManualClock clock;
    CoachModel model;
    model.setClock(&clock);
    model.setBeat(2);
    model.setDriftStarted(clock.date());
    QQuickWindow window;
    auto coach = create(engine, "RehearsalCoach", {{"model", QVariant::fromValue(&model)}});
    window.resize(440, int(coach->implicitHeight()));
    coach->setParentItem(window.contentItem());
    window.show();
    waitUntilExposed(window);
    int frames = 0;
    for (auto _ : state) {
        clock.advance(1.0 / 60);
        // The count runs 0…45 in 4.5 s; start again before it stands at 45.
        if (++frames % 250 == 0)
            model.setDriftStarted(clock.date());
        model.tick();
        const QImage frame = window.grabWindow();
        benchmark::DoNotOptimize(frame.constBits());
        // What the event loop does between frames, items a model change replaced going with it.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    coach.reset();
}
BENCHMARK(BM_CountingCoachFrame)->Unit(benchmark::kMicrosecond);

// The design page made and drawn for the first time in an 820 × 540 window on the working beat (selection,
// moving pointer, card shadow where shaders run). The component is compiled and its symbols cached after the
// first iteration, as they are once the stage has shown the page before.
static void BM_DesignPageFirstFrame(benchmark::State& state) {
    QQmlEngine engine;
    ui::setUpQmlEngine(engine);
    QQuickWindow window;
    window.resize(820, 540);
    window.show();
    waitUntilExposed(window);
    std::unique_ptr<QQmlComponent> maker;
    // The very first frame in the process, with nothing loaded or cached yet, reported beside the median.
    static double coldMs = -1;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (!maker)
            maker = std::make_unique<QQmlComponent>(&engine, component("DesignPage"));
        std::unique_ptr<QObject> object(maker->createWithInitialProperties({{"beat", 0}}));
        auto* page = qobject_cast<QQuickItem*>(object.get());
        if (!page)
            qFatal("DesignPage: %s", qPrintable(maker->errorString()));
        page->setSize({820, 540});
        page->setParentItem(window.contentItem());
        const QImage frame = window.grabWindow();
        benchmark::DoNotOptimize(frame.constBits());
        state.PauseTiming();
        if (coldMs < 0)
            coldMs = double(timer.nsecsElapsed()) / 1e6;
        object.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["cold_ms"] = coldMs;
}
BENCHMARK(BM_DesignPageFirstFrame)->Unit(benchmark::kMillisecond);
