#pragma once

#include "tavrine/speech/SonioxNudgeSpeaker.h"

#include <memory>

namespace tavrine {

class UserDefaults;

// What the application shell and the onboarding's recorded voice share: the three standard closures of every
// speaker, the player factory, and the shell's network speaker.
namespace speechsetup {

struct StandardClosures {
    // The "speakNudges" setting, read on every call.
    SonioxNudgeSpeaker::Flag speechEnabled;
    // Whether a screen reader runs (followed on the session bus).
    SonioxNudgeSpeaker::Flag voiceOverEnabled;
    // The maker's API address of "speech/temporary-key"; empty (no key, nothing spoken, nothing logged) when the
    // API is off, or when the speech vendor is not configured.
    SonioxNudgeSpeaker::KeyURL temporaryKeyURL;
};

// `defaults` must outlive the closures (the application's one store).
StandardClosures standardClosures(const UserDefaults& defaults);

// A new player on the default output device, ducking through the process's one ducker.
SonioxNudgeSpeaker::MakePlayer playerFactory();

// The shell's speaker: the standard closures, the composition root's bearer-token closures, the wall clock, the
// vendor of TAVRINE_SPEECH_BASE_URL and TAVRINE_SPEECH_VOICE (read once; speech is off, with one log line, when
// either is unset or refused) and the player factory.
std::shared_ptr<SonioxNudgeSpeaker> makeShellSpeaker(const UserDefaults& defaults,
                                                     SonioxNudgeSpeaker::BearerToken bearerToken,
                                                     SonioxNudgeSpeaker::RefreshBearerToken refreshBearerToken);

} // namespace speechsetup
} // namespace tavrine
