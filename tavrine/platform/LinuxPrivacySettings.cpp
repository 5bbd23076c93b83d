#include "tavrine/platform/LinuxPrivacySettings.h"

#include "tavrine/core/Log.h"
#include "tavrine/platform/LinuxPermissions.h"

namespace tavrine::platform {

void LinuxPrivacySettings::openAnchor(const QString& anchor) {
    if (anchor == screenCaptureAnchor) {
        log::notice(logFocus(), QStringLiteral("Screen capture needs no permission on X11; nothing to open"));
        return;
    }
    if (anchor != accessibilityAnchor)
        return;
    if (!LinuxPermissions().requestAccessibility()) {
        log::error(logFocus(), QStringLiteral("Couldn\u2019t switch the desktop's accessibility on"));
        return;
    }
    // Toolkits read the switch when they start: applications already running keep their windows unreadable.
    log::notice(logFocus(), QStringLiteral("Accessibility switched on; applications already running may need a "
                                           "restart to expose their windows"));
}

} // namespace tavrine::platform
