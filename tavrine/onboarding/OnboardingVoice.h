#pragma once

#include "tavrine/speech/SpeechChunk.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace tavrine {

class SonioxNudgeSpeaker;
class UserDefaults;

// The rehearsal's nudge spoken from a recording shipped with the program ("OnboardingNudge.wav" and, optionally,
// "OnboardingNudge.json" with the character timings), played through the same speaker as live nudges so that the
// card's glow and word reveal behave alike. Every failure is silent: no recording, no speaker; bad timings, a
// voice without the word reveal.
namespace onboardingvoice {

// The recording's audio as the speech pipeline's PCM (24 kHz, mono, s16 little-endian), or nothing.
std::optional<QByteArray> decodePCM(const QString& wavPath);
// The timings file: "characters" of the spoken text and the second each is spoken at ("starts"), kept only when
// "characters" is not empty and both lists have the same length.
std::optional<SpeechTimestamps> decodeTimings(const QByteArray& json);
// The audio and, when the timings file exists and is sound, its timings; nothing without audio.
std::optional<SpeechChunk> decode(const QString& wavPath, const std::optional<QString>& jsonPath);
// "OnboardingNudge.wav" and ".json" from `folder` (a resource folder such as ":/onboarding").
std::optional<SpeechChunk> loadRecording(const QString& folder);

// A speaker that plays the recording whatever it is asked to say, behind the speaker's usual gates (the
// "speakNudges" setting, a screen reader, a configured key address); nothing when the recording cannot be loaded.
// `defaults` must outlive the speaker.
std::shared_ptr<SonioxNudgeSpeaker> makeSpeaker(const QString& folder, const UserDefaults& defaults);

// The placeholder that stands where a bearer token would: the recording needs no credential.
inline constexpr const char* placeholderToken = "recorded";

} // namespace onboardingvoice
} // namespace tavrine
