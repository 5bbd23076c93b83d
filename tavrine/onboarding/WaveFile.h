#pragma once

#include <QByteArray>
#include <optional>
#include <vector>

namespace tavrine {

// A RIFF/WAVE file read whole: integer PCM of 8 to 32 bits, 32- or 64-bit float, plain or extensible, any number
// of channels (averaged into one). Read synchronously, so the rehearsal's voice exists before the rehearsal starts.
struct WaveFile {
    int sampleRate = 0;
    // One channel, full scale at ±1.
    std::vector<float> samples;

    // Nothing for anything malformed: not RIFF/WAVE, no "fmt " before "data", an unknown encoding, a chunk that runs
    // past the end of the file, no whole frame, more frames than an unsigned 32-bit count holds.
    static std::optional<WaveFile> parse(const QByteArray& bytes);
};

} // namespace tavrine
