#pragma once

#include "tavrine/onboarding/RehearsalBeat.h"

#include <QColor>
#include <QString>
#include <QStringList>

namespace tavrine::onboarding {

// The tray pointer on one beat: green while on task, red while drifting, gone while the nudge shows.
struct PointerState {
    bool onTask = true;
    QColor tint;
    QString label;
    QString accessibleLabel;
    double opacity = 1;
};
PointerState pointerState(RehearsalBeat beat);

// The mock design tool on one beat.
struct DesignPageState {
    int progress = 0;        // the landing page's step
    bool features = false;   // the "Features" layer
    bool reviews = false;    // the "Reviews" layer
    bool headlineSelected = true;
};
DesignPageState designPageState(RehearsalBeat beat);

// What the landing page on the canvas shows at a step; below 0 as 0 without selection, above 2 as 2.
struct LandingPageParts {
    bool headlineSelected = false; // frame and pointer on the headline
    bool featureRow = false;
    bool featureRowSelected = false;
    bool review = false; // review card and call-to-action band
};
LandingPageParts landingPageParts(int progress);

} // namespace tavrine::onboarding
