// Showing a nudge again while it shows (after a desktop switch): layout of the card and both panels. Budget:
// under 2 ms. The card is a stand-in of the real one's size.
#include "tavrine/shell/NudgePresenter.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <benchmark/benchmark.h>

namespace {

tavrine::shell::NudgePresenter::Parts standInParts() {
    tavrine::shell::NudgePresenter::Parts parts;
    parts.card = QUrl(QStringLiteral("qrc:/standins/NudgeView.qml"));
    parts.closeButton = QUrl(QStringLiteral("qrc:/standins/NudgeCloseButton.qml"));
    parts.mainScreen = [] { return QGuiApplication::primaryScreen(); };
    return parts;
}

void BM_RepeatedPresentNudge(benchmark::State& state) {
    QQmlEngine engine;
    tavrine::ui::setUpQmlEngine(engine);
    tavrine::shell::NudgePresenter presenter(engine, standInParts());
    presenter.presentNudge();
    for (auto _ : state) {
        presenter.presentNudge();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_RepeatedPresentNudge)->Unit(benchmark::kMicrosecond);

// The first nudge of a run: both panels made from their components.
void BM_FirstPresentNudge(benchmark::State& state) {
    QQmlEngine engine;
    tavrine::ui::setUpQmlEngine(engine);
    for (auto _ : state) {
        tavrine::shell::NudgePresenter presenter(engine, standInParts());
        presenter.presentNudge();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_FirstPresentNudge)->Unit(benchmark::kMicrosecond);

} // namespace
