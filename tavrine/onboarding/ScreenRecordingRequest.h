#pragma once

namespace tavrine::onboarding {

// The Screen Recording request of the first-run pages and the settings window. X11 lets every client read the
// screen, so there is no prompt to raise: it only takes the user where the grant would be, which logs that
// nothing needs granting.
void requestScreenRecording();

} // namespace tavrine::onboarding
