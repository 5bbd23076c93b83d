#pragma once

#include "tavrine/speech/SpeechWordProgress.h"

#include <QList>
#include <QString>
#include <optional>

namespace tavrine::nudge {

// One word of a sentence with the whitespace that follows it; `start` counts the sentence's non-whitespace
// characters before the word, which is how the voice's character timing finds it.
struct SpokenWordPiece {
    QString text;
    int start = 0;
    bool operator==(const SpokenWordPiece&) const = default;
};

// The sentence cut into word pieces, in order. Leading whitespace belongs to the first word.
QList<SpokenWordPiece> spokenWordPieces(const QString& sentence);
// The number of non-whitespace characters of the pieces.
int spokenWordTotal(const QList<SpokenWordPiece>& pieces);

// How far one word has come in: not drawn, on its way in (e in 0..1 exclusive), or whole.
struct WordReveal {
    enum class Kind { Hidden, Easing, Whole };
    Kind kind = Kind::Whole;
    double e = 1.0;

    static WordReveal hidden() { return {Kind::Hidden, 0.0}; }
    static WordReveal whole() { return {Kind::Whole, 1.0}; }
    // Drawn at opacity e, `drop` lower and blurred by `blur` when words move.
    double drop() const { return (1.0 - e) * 5.0; }
    double blur() const { return (1.0 - e) * 4.0; }
    bool operator==(const WordReveal&) const = default;
};

// The moment the word starting at `start` is heard; none while its time has not arrived (or never will).
std::optional<double> spokenWordTime(const SpeechWordProgress& progress, int start, int total);
// A word's look at `progress.now`: it fades in from 0.06 s before it is heard, over 0.32 s, easing out. No
// progress at all means the sentence is shown whole.
WordReveal spokenWordReveal(const std::optional<SpeechWordProgress>& progress, int start, int total);

// The length of a reveal without voice: 60 characters a second, at most 1.1 s.
double timedRevealDuration(int total);
// A reveal without voice needs this long after its start until every word is whole.
inline constexpr double kWordFadeSeconds = 0.32;
// The voiceless reveal's progress, `elapsed` seconds after its start.
SpeechWordProgress timedRevealProgress(int total, double elapsed);

} // namespace tavrine::nudge
