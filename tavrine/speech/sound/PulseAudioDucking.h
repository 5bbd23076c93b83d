#pragma once

#include "tavrine/platform/AudioDucking.h"

#include <memory>

namespace tavrine {

// A ducker on libpulse's threaded main loop, which restores everything when the application quits.
std::shared_ptr<AudioDucking> makePulseAudioDucking();

} // namespace tavrine
