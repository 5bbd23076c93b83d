#pragma once

#include <QByteArray>
#include <QList>

namespace tavrine {

// The loudness envelope of the voice, one value per 20 ms block, laid out on the player's sample clock (24 000
// samples a second), so that the glow can ask how loud the voice is at the sample being heard.
class SpeechLevelTimeline {
public:
    static constexpr int blockSamples = 480;

    struct Segment {
        qint64 start = 0;
        QList<float> levels;
    };

    // Adds whole-sample little-endian 16-bit PCM at the requested start, or at the end of what is there when
    // that is later; returns the sample where the chunk was placed. A gap of silence before it restarts the
    // envelope at 0. Fewer than 2 bytes add nothing.
    qint64 append(const QByteArray& pcm, qint64 requestedStart);
    // The envelope at a sample; 0 outside the appended chunks.
    float level(qint64 sample) const;

    const QList<Segment>& segments() const { return m_segments; }
    float envelope() const { return m_envelope; }
    qint64 endSample() const { return m_endSample; }

private:
    QList<Segment> m_segments;
    float m_envelope = 0;
    qint64 m_endSample = 0;
};

} // namespace tavrine
