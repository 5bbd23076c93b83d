#include "tavrine/shell/ScreenRecordingRequest.h"

#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/session/FocusSession.h"

namespace tavrine::shell {

void requestScreenRecording() {
    FocusSession::openPrivacySettings(PrivacySettingsOpening::screenCaptureAnchor);
}

} // namespace tavrine::shell
