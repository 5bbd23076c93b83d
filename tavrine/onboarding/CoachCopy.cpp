#include "tavrine/onboarding/CoachCopy.h"

#include "tavrine/history/SessionTimeline.h"

#include <QCoreApplication>
#include <QVariantMap>
#include <algorithm>
#include <cmath>

namespace tavrine::onboarding {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("RehearsalCoach", text);
}

} // namespace

CoachContent coachContent(RehearsalBeat beat) {
    switch (beat) {
    case RehearsalBeat::Working:
        return {QStringLiteral("This is you, at work"), CoachElement::nextButton, tr("Next"), {}};
    case RehearsalBeat::Tempted:
        return {QStringLiteral("Now get distracted"), CoachElement::prompt, {},
                QStringLiteral("Click the video to play it")};
    case RehearsalBeat::Drifting:
        return {QStringLiteral("The tray icon turned red"), CoachElement::driftCounter, {}, {}};
    case RehearsalBeat::Nudged:
        return {QStringLiteral("This is a nudge"), CoachElement::prompt, {},
                QStringLiteral("Click \u201CGet back to work\u201D on the nudge")};
    case RehearsalBeat::Returned:
        return {QStringLiteral("Back on task"), CoachElement::nextButton, tr("Next"), {}};
    case RehearsalBeat::Researching:
        return {QStringLiteral("Same site, different video"), CoachElement::nextButton, tr("Next"), {}};
    case RehearsalBeat::Finished:
        return {QStringLiteral("That\u2019s Tavrine"), CoachElement::nextButton, tr("Continue"), {}};
    }
    return {};
}

QString coachBody(RehearsalBeat beat, Qt::Edge trayEdge) {
    switch (beat) {
    case RehearsalBeat::Working:
        return QStringLiteral("Look at the %1 of the screen. Tavrine sits in the tray, and it is green while your "
                              "screen matches your intention.")
            .arg(trayEdge == Qt::BottomEdge ? QStringLiteral("bottom") : QStringLiteral("top"));
    case RehearsalBeat::Tempted:
        return QStringLiteral("A video has opened above.");
    case RehearsalBeat::Drifting:
        return QStringLiteral("Tavrine noticed at once. It waits ") + QString::number(coachDriftSeconds) +
               QStringLiteral(" seconds before it speaks, so a quick look is fine.");
    case RehearsalBeat::Nudged:
        return QStringLiteral("It names the detour and the job, out loud. It never blocks you.");
    case RehearsalBeat::Returned:
        return QStringLiteral("The video is gone, the tray icon is green again, and Tavrine is quiet.");
    case RehearsalBeat::Researching:
        return QStringLiteral("This one helps the landing page, so nothing happens. Tavrine reads what is on "
                              "screen, not which app is open.");
    case RehearsalBeat::Finished:
        return QStringLiteral("Set an intention, do the work, and get a nudge when you drift. Every session ends "
                              "with a recap like this one.");
    }
    return {};
}

double driftFraction(double started, double now, double pace) {
    const double duration = pace * 4.5;
    if (duration <= 0)
        return 1;
    const double quotient = (now - started) / duration;
    if (!(quotient > 0)) // negative or NaN
        return 0;
    return std::min(quotient, 1.0);
}

int driftCount(double fraction) {
    if (!(fraction > 0))
        return 0;
    return static_cast<int>(std::floor(coachDriftSeconds * std::min(fraction, 1.0)));
}

QString driftCounterText(int count) {
    return QCoreApplication::translate("RehearsalCoach", "%1 of %2 seconds \u00B7 sped up")
        .arg(count)
        .arg(coachDriftSeconds);
}

QVariantList textRuns(const QString& text) {
    QVariantList runs;
    QString run;
    bool runIsDigit = false;
    auto flush = [&] {
        if (!run.isEmpty())
            runs.append(QVariantMap{{QStringLiteral("text"), run}, {QStringLiteral("digit"), runIsDigit}});
        run.clear();
    };
    for (const QChar c : text) {
        const bool digit = c.isDigit();
        // Every digit is a run of its own: each takes one cell.
        if (digit || digit != runIsDigit)
            flush();
        runIsDigit = digit;
        run.append(c);
    }
    flush();
    return runs;
}

double storyBarFill(int bar, RehearsalBeat current, bool driftRunning, double driftProgress) {
    const int c = static_cast<int>(current);
    if (bar < c)
        return 1;
    if (bar > c)
        return 0;
    if (current == RehearsalBeat::Drifting && driftRunning)
        return std::clamp(std::isfinite(driftProgress) ? driftProgress : 0.0, 0.0, 1.0);
    return 1;
}

QString storyStepLabel(RehearsalBeat beat) {
    return QCoreApplication::translate("RehearsalCoach", "Step %1 of %2")
        .arg(static_cast<int>(beat) + 1)
        .arg(rehearsalBeatCount);
}

bool showsTimeline(RehearsalBeat beat, bool hasEntries, const SessionTimeline& sample) {
    return beat == RehearsalBeat::Finished && hasEntries && timelineHasActivity(sample);
}

} // namespace tavrine::onboarding
