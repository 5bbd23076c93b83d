#include "tavrine/speech/SpeakNudgesSetting.h"

#include "tavrine/core/UserDefaults.h"

namespace tavrine {

bool readSpeakNudges(const UserDefaults& defaults) {
    return defaults.boolValue(speakNudgesKey).value_or(true);
}

} // namespace tavrine
