#pragma once

#include <QByteArray>

namespace tavrine {

// Keeps 16-bit samples whole when the network splits the audio at odd byte counts.
class SpeechPCMFrames {
public:
    // The bytes of the chunk (after the byte left over from the previous one) that form whole samples; an odd
    // last byte waits for the next chunk. An empty chunk gives nothing and keeps the leftover byte.
    QByteArray take(const QByteArray& chunk);

    const QByteArray& remainder() const { return m_remainder; }
    void clear() { m_remainder.clear(); }

private:
    QByteArray m_remainder;
};

} // namespace tavrine
