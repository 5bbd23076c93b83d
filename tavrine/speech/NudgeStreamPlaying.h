#pragma once

#include "tavrine/speech/SpeechChunk.h"
#include "tavrine/speech/SpeechWordProgress.h"

#include <functional>
#include <optional>

namespace tavrine {

// Plays the chunks of one spoken nudge while they still arrive. Main thread only.
class NudgeStreamPlaying {
public:
    virtual ~NudgeStreamPlaying() = default;

    // Plays a chunk and records its character times. Fails with NudgeSpeechError::unplayable when the audio
    // cannot be played.
    virtual void enqueue(const QByteArray& audio, const std::optional<SpeechTimestamps>& timestamps) = 0;
    // The stream has ended: playback ends once what was queued has been heard.
    virtual void finish() = 0;
    // Abandons the playback at once.
    virtual void stop() = 0;
    // Loudness of what is heard now, 0 to 1; 0 while closed.
    virtual float level() const = 0;
    // The character timing on the playback clock; nothing while closed.
    virtual std::optional<SpeechWordProgress> wordProgress() const = 0;

    // Run once when playback ends.
    std::function<void()> onPlaybackEnded;
};

} // namespace tavrine
