#pragma once

#include "tavrine/model/PrivacySettingsOpening.h"

namespace tavrine::platform {

// Where the desktop grants what Tavrine needs. On the Linux desktop there is no settings pane to open:
// toolkits expose their windows' contents once the desktop's accessibility switch is on, and X11 lets any
// client read the screen.
class LinuxPrivacySettings final : public PrivacySettingsOpening {
public:
    // For the accessibility anchor, switches the accessibility bus's IsEnabled on (the user asked for it) and
    // logs that applications already running may need a restart; for the screen-capture anchor it logs that
    // there is nothing to grant. Any other anchor does nothing. Waits at most about a second for the bus.
    void openAnchor(const QString& anchor) override;
};

} // namespace tavrine::platform
