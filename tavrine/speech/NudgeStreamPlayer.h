#pragma once

#include "tavrine/speech/NudgeStreamPlaying.h"
#include "tavrine/speech/ShownCharacterFilter.h"
#include "tavrine/speech/SpeechAudioOutput.h"
#include "tavrine/speech/SpeechLevelTimeline.h"
#include "tavrine/speech/SpeechPCMFrames.h"

#include <QList>
#include <memory>

namespace tavrine {

class AudioDucking;

// Plays one spoken nudge while it still arrives: whole samples are queued on the output behind each other, other
// audio is lowered from the first audio on and brought back when playback ends, and the loudness and the shown
// characters' start times are kept on the clock of what is heard. A generation number keeps completions of an
// abandoned playback from touching the next one. Main thread only.
class NudgeStreamPlayer final : public NudgeStreamPlaying {
public:
    // `ducking` may be absent (nothing is lowered).
    NudgeStreamPlayer(std::unique_ptr<SpeechAudioOutput> output, std::shared_ptr<AudioDucking> ducking);
    // Closes the output and gives back its duck, without running `onPlaybackEnded`: a player let go while open
    // must not leave other audio lowered.
    ~NudgeStreamPlayer() override;

    void enqueue(const QByteArray& audio, const std::optional<SpeechTimestamps>& timestamps) override;
    void finish() override;
    void stop() override;
    float level() const override;
    std::optional<SpeechWordProgress> wordProgress() const override;

    bool isOpen() const { return m_open; }
    int scheduled() const { return m_scheduled; }
    double delay() const { return m_delay; }
    const QList<double>& characterStarts() const { return m_characterStarts; }

private:
    struct Buffer {
        qint64 endSample;
        qint64 generation;
    };
    void openOutput();
    void schedule(const QByteArray& pcm, qint64 generation);
    void checkHeard();
    void bufferPlayed(qint64 generation);
    void endPlayback();
    void clearTimeline();

    std::unique_ptr<SpeechAudioOutput> m_output;
    std::shared_ptr<AudioDucking> m_ducking;
    SpeechPCMFrames m_frames;
    bool m_ducked = false;
    bool m_open = false;
    bool m_finishing = false;
    qint64 m_generation = 0;
    int m_scheduled = 0;
    SpeechLevelTimeline m_levels;
    qint64 m_received = 0;
    double m_delay = 0;
    QList<double> m_characterStarts;
    ShownCharacterFilter m_shown;
    QList<Buffer> m_buffers;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tavrine
