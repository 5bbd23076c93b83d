#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <functional>

namespace tavrine {

// Where a spoken nudge's samples go: 16-bit mono at 24 000 Hz. The output plays silence whenever its queue is
// empty, so its clock runs on between chunks. Main thread only.
class SpeechAudioOutput {
public:
    virtual ~SpeechAudioOutput() = default;

    // Starts playing (silence at first). Fails with NudgeSpeechError::unplayable, after one log line that gives
    // the cause, when there is no output device or sound server.
    virtual void open() = 0;
    // Stops at once; queued samples are dropped.
    virtual void close() = 0;
    // Queues samples behind those already queued.
    virtual void write(const QByteArray& pcm) = 0;
    // Samples handed to the sound system since `open`, silence included.
    virtual qint64 handedSamples() const = 0;
    // Samples heard since `open`; the difference to `handedSamples` is the output's latency.
    virtual qint64 heardSamples() const = 0;

    // Run whenever the heard position may have moved.
    std::function<void()> onProgress;
    // Run when the output stopped on its own with an error (the device went away).
    std::function<void()> onFailure;
};

} // namespace tavrine
