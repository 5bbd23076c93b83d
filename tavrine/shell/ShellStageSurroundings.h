#pragma once

#include "tavrine/onboarding/StageSurroundings.h"

#include <functional>

namespace tavrine::shell {

class NudgePresenting;
class TrayStatusLabel;

// The rehearsal stage's view of the application: the tray label's icon, the floating nudge card, and window
// activation through the window manager.
class ShellStageSurroundings final : public onboarding::StageSurroundings {
public:
    ShellStageSurroundings(std::function<TrayStatusLabel*()> tray, std::function<NudgePresenting*()> nudges)
        : m_tray(std::move(tray)), m_nudges(std::move(nudges)) {}

    std::optional<QRectF> trayIconFrame() const override;
    std::optional<QRectF> nudgeFrame() const override;
    void raiseNudge() override;
    void activate(QWindow* window) override;

private:
    std::function<TrayStatusLabel*()> m_tray;
    std::function<NudgePresenting*()> m_nudges;
};

} // namespace tavrine::shell
