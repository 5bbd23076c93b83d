#pragma once

#include <QRectF>
#include <optional>

class QWindow;

namespace tavrine::onboarding {

// What the stage needs of the rest of the desktop application: where the tray icon and the nudge card are, and
// how a window is brought forward. The shell implements it.
class StageSurroundings {
public:
    virtual ~StageSurroundings() = default;
    // The tray icon's frame on the screen; none without a tray or when the tray host does not tell.
    virtual std::optional<QRectF> trayIconFrame() const = 0;
    // The visible nudge card's frame (a notch panel's card part); none while no nudge shows.
    virtual std::optional<QRectF> nudgeFrame() const = 0;
    // Keeps the nudge card above the stage after one of the stage's windows came forward.
    virtual void raiseNudge() = 0;
    // Brings `window` forward with the keyboard focus.
    virtual void activate(QWindow* window) = 0;
};

} // namespace tavrine::onboarding
