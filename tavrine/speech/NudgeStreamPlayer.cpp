#include "tavrine/speech/NudgeStreamPlayer.h"

#include "tavrine/platform/AudioDucking.h"
#include "tavrine/speech/NudgeSpeechError.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace tavrine {

namespace {
constexpr double sampleRate = SpeechChunk::sampleRate;
}

NudgeStreamPlayer::NudgeStreamPlayer(std::unique_ptr<SpeechAudioOutput> output, std::shared_ptr<AudioDucking> ducking)
    : m_output(std::move(output)), m_ducking(std::move(ducking)) {
    m_output->onProgress = [this] { checkHeard(); };
    m_output->onFailure = [this] {
        // Completions never come from a stopped device: the playback ends as a stop ends it.
        stop();
    };
}

NudgeStreamPlayer::~NudgeStreamPlayer() {
    *m_alive = false;
    m_output->onProgress = nullptr;
    m_output->onFailure = nullptr;
    if (m_open)
        m_output->close();
    if (m_ducked && m_ducking)
        m_ducking->restore();
}

void NudgeStreamPlayer::enqueue(const QByteArray& audio, const std::optional<SpeechTimestamps>& timestamps) {
    const qint64 generation = m_generation;
    const QByteArray whole = m_frames.take(audio);
    if (generation != m_generation)
        return;
    if (!whole.isEmpty()) {
        if (!m_open) {
            openOutput();
            if (generation != m_generation || !m_open)
                return;
        }
        schedule(whole, generation);
        if (generation != m_generation)
            return;
    }
    if (!timestamps)
        return;
    const qsizetype pairs = std::min(timestamps->characters.size(), timestamps->starts.size());
    for (qsizetype i = 0; i < pairs; ++i) {
        if (m_shown.shows(timestamps->characters.at(i)))
            m_characterStarts.append(timestamps->starts.at(i) + m_delay);
    }
}

void NudgeStreamPlayer::finish() {
    m_finishing = true;
    if (m_open && m_scheduled == 0)
        endPlayback();
}

void NudgeStreamPlayer::stop() {
    ++m_generation;
    m_frames.clear();
    endPlayback();
}

float NudgeStreamPlayer::level() const {
    if (!m_open)
        return 0;
    return m_levels.level(m_output->heardSamples());
}

std::optional<SpeechWordProgress> NudgeStreamPlayer::wordProgress() const {
    if (!m_open)
        return std::nullopt;
    return SpeechWordProgress{m_characterStarts, static_cast<double>(m_levels.endSample()) / sampleRate,
                              m_finishing, static_cast<double>(m_output->heardSamples()) / sampleRate};
}

void NudgeStreamPlayer::openOutput() {
    m_output->open();
    m_ducked = m_ducking && m_ducking->duck();
    m_open = true;
}

void NudgeStreamPlayer::schedule(const QByteArray& pcm, qint64 generation) {
    if (pcm.size() < 2)
        throw NudgeSpeechError(NudgeSpeechError::Kind::unplayable);
    const qint64 frames = pcm.size() / 2;
    // The output's clock: a chunk that arrives after the queue ran dry starts where the output is now.
    const qint64 start = m_levels.append(pcm, m_output->handedSamples());
    m_delay = static_cast<double>(start - m_received) / sampleRate;
    m_received += frames;
    ++m_scheduled;
    m_buffers.append(Buffer{start + frames, generation});
    m_output->write(pcm);
}

void NudgeStreamPlayer::checkHeard() {
    const qint64 heard = m_output->heardSamples();
    while (!m_buffers.isEmpty() && m_buffers.first().endSample <= heard) {
        const qint64 generation = m_buffers.takeFirst().generation;
        // Completions arrive apart from the reading that found them, as the sound system reports them.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [alive = std::weak_ptr<bool>(m_alive), this, generation] {
                if (const auto living = alive.lock(); living && *living)
                    bufferPlayed(generation);
            },
            Qt::QueuedConnection);
    }
}

void NudgeStreamPlayer::bufferPlayed(qint64 generation) {
    if (generation != m_generation)
        return;
    const int left = m_scheduled - 1;
    m_scheduled = std::max(left, 0);
    if (left < 1 && m_finishing)
        endPlayback();
}

void NudgeStreamPlayer::endPlayback() {
    if (!m_open && !m_ducked) {
        m_finishing = false;
        clearTimeline();
        return;
    }
    std::function<void()> callback = std::exchange(onPlaybackEnded, nullptr);
    m_output->close();
    m_open = false;
    m_finishing = false;
    m_scheduled = 0;
    m_buffers.clear();
    clearTimeline();
    if (m_ducked) {
        m_ducked = false;
        if (m_ducking)
            m_ducking->restore();
    }
    if (callback)
        callback();
}

void NudgeStreamPlayer::clearTimeline() {
    m_levels = SpeechLevelTimeline();
    m_received = 0;
    m_delay = 0;
    m_characterStarts.clear();
    m_shown.clear();
}

} // namespace tavrine
