#pragma once

#include <QFont>
#include <QString>

class QTextLayout;

namespace tavrine::nudge {

// The card's fixed measures, in logical pixels.
inline constexpr double kCardWidth = 440;
inline constexpr double kCardTextWidth = 396; // 440 less 22 on each side
inline constexpr double kReasonAreaLimit = 160;

// The reason's pixel size for a reason of `characters` user-perceived characters: 24 up to 55 characters,
// one less for every further ten, 15 from 136 on.
int reasonFontSize(qsizetype characters);
// The same for a reason text (its graphemes counted).
int reasonFontSizeFor(const QString& reason);
// The bold system font the reason is set in. (There is no rounded system design to ask for here; the plain
// bold system font is what the measurement falls back to.)
QFont reasonFont(int pixelSize);
// Lays `layout` out in lines `width` wide, wrapping inside a word only when it does not fit, line leading
// included; answers the height (one line's for an empty text).
double layOutSentence(QTextLayout& layout, double width);
// The reason laid out in its font at the card's text width, line leading included, rounded up to a whole
// pixel. Needs a QGuiApplication.
int reasonTextHeight(const QString& reason);

// The reason's scroll area for a measured text height: its own height plus 4, at most 160, scrolling only
// when that is more than 160.
struct ReasonArea {
    double height = 0;
    bool scrolls = false;
    bool operator==(const ReasonArea&) const = default;
};
ReasonArea reasonArea(double measuredHeight);

// The line under the reason: "Focus mode" in focus mode, else the job.
QString jobLine(bool isFocusSession, const QString& intention);

// Which sentence view the card shows: revealed with the voice, revealed on a clock, or whole.
enum class SentenceMode { Plain, Spoken, Timed };
SentenceMode sentenceMode(bool hasVoice, bool revealsWords, bool hasRevealedAt);

} // namespace tavrine::nudge
