#include "tavrine/onboarding/ScreenRecordingRequest.h"

#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/session/FocusSession.h"

namespace tavrine::onboarding {

void requestScreenRecording() {
    FocusSession::openPrivacySettings(PrivacySettingsOpening::screenCaptureAnchor);
}

} // namespace tavrine::onboarding
