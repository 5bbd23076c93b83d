#pragma once

#include <QList>

namespace tavrine {

// A snapshot of the spoken-character timing that the spoken-word text reads, all on the playback clock in
// seconds.
struct SpeechWordProgress {
    // Start of each shown character known so far, in order (empty for a reveal without voice).
    QList<double> characterStarts;
    // The end of all audio scheduled so far; for a reveal without voice, its duration.
    double end = 0;
    // No further characters will arrive.
    bool complete = false;
    // What is being heard at the moment of reading.
    double now = 0;

    bool operator==(const SpeechWordProgress&) const = default;
};

} // namespace tavrine
