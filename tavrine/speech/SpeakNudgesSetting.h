#pragma once

#include <QString>

namespace tavrine {

class UserDefaults;

// The user default that says whether nudges are spoken aloud.
inline const QString speakNudgesKey = QStringLiteral("speakNudges");

// The stored flag; true when nothing (or something that is not a flag) is stored.
bool readSpeakNudges(const UserDefaults& defaults);

} // namespace tavrine
