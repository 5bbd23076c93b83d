#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <optional>

namespace tavrine {

// The vendor's timing of the spoken characters: both lists have the same non-zero length.
struct SpeechTimestamps {
    QStringList characters;
    // Start of each character in seconds from the start of the stream's audio.
    QList<double> starts;

    bool operator==(const SpeechTimestamps&) const = default;
};

// One piece of synthesised speech as it arrives: 16-bit signed little-endian mono PCM at 24 000 samples a
// second, possibly empty (a message with timing only), possibly ending in the middle of a sample.
struct SpeechChunk {
    QByteArray audio;
    std::optional<SpeechTimestamps> timestamps;

    static constexpr int sampleRate = 24000;
};

} // namespace tavrine
