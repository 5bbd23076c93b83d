#pragma once

#include "tavrine/onboarding/RehearsalBeat.h"

#include <QString>
#include <QVariantList>
#include <Qt>

namespace tavrine {
struct SessionTimeline;
}

namespace tavrine::onboarding {

// The seconds of drift before Tavrine speaks, as the coach states them. Not read from the nudge policy: the
// copy does not follow its settings or the rehearsal's pace.
inline constexpr int coachDriftSeconds = 45;

// What stands at the right of the coach's footer.
enum class CoachElement { nextButton = 0, prompt = 1, driftCounter = 2 };

struct CoachContent {
    QString title;
    CoachElement element = CoachElement::nextButton;
    QString buttonTitle; // "Next" or "Continue" (translated) for the button beats
    QString prompt;      // for the prompt beats
};

// Title and footer element of each beat. The tray stands for the menu bar.
CoachContent coachContent(RehearsalBeat beat);

// The body under the title; "top" or "bottom" follows the edge the tray sits on.
QString coachBody(RehearsalBeat beat, Qt::Edge trayEdge = Qt::TopEdge);

// How far the drift clock has run, 0...1: seconds from `started` to `now` over pace × 4.5. A clock of no length
// has run out; a negative or undefined quotient has not started.
double driftFraction(double started, double now, double pace);

// The whole seconds of the sped-up counter, 0...45.
int driftCount(double fraction);

// "12 of 45 seconds · sped up", translated.
QString driftCounterText(int count);

// The counter's text cut into runs of digits and other text, so that each digit can sit in a cell of its own
// width: a list of {"text", "digit"} maps.
QVariantList textRuns(const QString& text);

// How much of story bar `bar` (0...6) is filled while `current` shows: the bars before it whole, the current one
// whole too unless it is a running drift (then `driftProgress`), the later ones empty.
double storyBarFill(int bar, RehearsalBeat current, bool driftRunning, double driftProgress);

// "Step 3 of 7".
QString storyStepLabel(RehearsalBeat beat);

// The sample timeline shows on the finished beat once beats were entered and it holds some activity.
bool showsTimeline(RehearsalBeat beat, bool hasEntries, const SessionTimeline& sample);

} // namespace tavrine::onboarding
