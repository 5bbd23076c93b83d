#include "tavrine/speech/SpeechLevelTimeline.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace tavrine {

qint64 SpeechLevelTimeline::append(const QByteArray& pcm, qint64 requestedStart) {
    const qsizetype frames = pcm.size() / 2;
    if (frames < 1)
        return m_endSample;
    if (requestedStart > m_endSample)
        m_envelope = 0; // silence came before this chunk
    const qint64 start = std::max(requestedStart, m_endSample);

    Segment segment{start, {}};
    segment.levels.reserve((frames + blockSamples - 1) / blockSamples);
    const auto* bytes = reinterpret_cast<const uchar*>(pcm.constData());
    float envelope = m_envelope;
    for (qsizetype first = 0; first < frames; first += blockSamples) {
        const qsizetype count = std::min<qsizetype>(blockSamples, frames - first);
        double sum = 0;
        for (qsizetype i = first; i < first + count; ++i) {
            const double x = qFromLittleEndian<qint16>(bytes + 2 * i) / 32768.0;
            sum += x * x;
        }
        const float target = std::min(static_cast<float>(std::sqrt(sum / static_cast<double>(count))) * 8.0f, 1.0f);
        // Rises fast, falls slowly.
        const float k = target > envelope ? 0.6f : 0.18f;
        envelope += k * (target - envelope);
        segment.levels.append(envelope);
    }
    m_envelope = envelope;
    m_segments.append(std::move(segment));
    m_endSample = start + frames;
    return start;
}

float SpeechLevelTimeline::level(qint64 sample) const {
    if (sample < 0 || sample >= m_endSample)
        return 0;
    // The newest segment holds the heard position during normal playback.
    for (auto it = m_segments.crbegin(); it != m_segments.crend(); ++it) {
        if (it->start > sample)
            continue;
        const qint64 block = (sample - it->start) / blockSamples;
        return block < it->levels.size() ? it->levels.at(block) : 0.0f;
    }
    return 0;
}

} // namespace tavrine
