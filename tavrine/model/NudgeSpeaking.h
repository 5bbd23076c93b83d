#pragma once

#include <QString>

namespace tavrine {

class NudgeVoiceMeter;

// Speaks nudges. Speech never fails towards the caller. Main thread only.
class NudgeSpeaking {
public:
    virtual ~NudgeSpeaking() = default;

    // Stops what is being spoken and speaks the text, when speaking is wanted and possible.
    virtual void speak(const QString& text) = 0;
    // Gets a speech key ready ahead of a nudge.
    virtual void prepareKey() = 0;
    // Stops playback and resets the meter.
    virtual void stop() = 0;

    // Speaks even when spoken nudges are switched off, for this one call. A speaker without such a switch just
    // speaks.
    virtual void speakWithForcedVoice(const QString& text) { speak(text); }

    // The meter this speaker drives while it speaks (not owned); a speaker without one ignores it.
    virtual NudgeVoiceMeter* meter() const { return nullptr; }
    virtual void setMeter(NudgeVoiceMeter* meter) { (void)meter; }
};

} // namespace tavrine
