#include "tavrine/onboarding/SceneryStates.h"

#include <QCoreApplication>

namespace tavrine::onboarding {

PointerState pointerState(RehearsalBeat beat) {
    const bool onTask = beat != RehearsalBeat::Drifting && beat != RehearsalBeat::Nudged;
    PointerState state;
    state.onTask = onTask;
    state.tint = onTask ? QColor::fromRgbF(0.75f, 0.91f, 0.76f) : QColor::fromRgbF(0.97f, 0.62f, 0.60f);
    state.label = onTask ? QCoreApplication::translate("MenuBarPointer", "Green: on task")
                         : QCoreApplication::translate("MenuBarPointer", "Red: drifting");
    state.accessibleLabel = onTask ? QCoreApplication::translate("MenuBarPointer", "The tray icon is green: on task")
                                   : QCoreApplication::translate("MenuBarPointer", "The tray icon is red: drifting");
    state.opacity = beat == RehearsalBeat::Nudged ? 0 : 1;
    return state;
}

DesignPageState designPageState(RehearsalBeat beat) {
    static constexpr int progress[rehearsalBeatCount] = {0, 0, 0, 0, 1, 1, 2};
    const int raw = static_cast<int>(beat);
    return {progress[raw], raw >= 4, raw >= 6, raw < 4};
}

LandingPageParts landingPageParts(int progress) {
    return {progress == 0, progress >= 1, progress == 1, progress >= 2};
}

} // namespace tavrine::onboarding
