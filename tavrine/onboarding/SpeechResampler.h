#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace tavrine {

// Band-limited conversion of a mono recording to the speech pipeline's 24 kHz signed 16-bit PCM: a Kaiser-windowed
// sinc whose cut-off sits below the lower of the two Nyquist frequencies, so nothing above 12 kHz folds back.
namespace speechresampler {

constexpr int targetRate = 24000;

// Frames of room for the converted recording: the rate ratio rounded up, plus a margin of 1024.
std::uint64_t outputCapacity(std::uint64_t inputFrames, int inputRate);
// Frames the conversion yields: the rate ratio rounded up (never more than the capacity).
std::uint64_t outputFrames(std::uint64_t inputFrames, int inputRate);

// Little-endian s16 at 24 kHz, saturating at full scale; empty for no input or a rate that is not positive.
QByteArray toSpeechPCM(const std::vector<float>& samples, int inputRate);

} // namespace speechresampler
} // namespace tavrine
