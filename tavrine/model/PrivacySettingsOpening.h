#pragma once

#include <QString>
#include <memory>

namespace tavrine {

// Takes the user where the desktop grants what Tavrine needs. The desktop's own opener is installed once by
// the composition root; the session asks the installed one, so the engine needs no desktop code. Main thread
// only.
class PrivacySettingsOpening {
public:
    static inline const QString accessibilityAnchor = QStringLiteral("Privacy_Accessibility");
    static inline const QString screenCaptureAnchor = QStringLiteral("Privacy_ScreenCapture");

    virtual ~PrivacySettingsOpening() = default;
    virtual void openAnchor(const QString& anchor) = 0;

    // Replaces the installed opener; none uninstalls it.
    static void install(std::shared_ptr<PrivacySettingsOpening> opener);
    // Asks the installed opener; without one, logs that there is nothing to open.
    static void open(const QString& anchor);
};

} // namespace tavrine
