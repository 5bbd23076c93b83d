#include "tavrine/session/PrivacySettings.h"

#include "tavrine/core/Log.h"
#include "tavrine/platform/LinuxPermissions.h"

namespace tavrine {

void PrivacySettings::open(const QString& anchor) {
    if (anchor == screenCaptureAnchor) {
        log::notice(logFocus(), QStringLiteral("Screen capture needs no permission on X11; nothing to open"));
        return;
    }
    if (anchor != accessibilityAnchor)
        return;
    if (!platform::LinuxPermissions().requestAccessibility()) {
        log::error(logFocus(), QStringLiteral("Couldn\u2019t switch the desktop's accessibility on"));
        return;
    }
    // Toolkits read the switch when they start: applications already running keep their windows unreadable.
    log::notice(logFocus(), QStringLiteral("Accessibility switched on; applications already running may need a "
                                           "restart to expose their windows"));
}

} // namespace tavrine
