#pragma once

#include "tavrine/history/SessionSummary.h"
#include "tavrine/history/SessionTimeline.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>

namespace tavrine {

// The texts and the strip geometry of the recap card; the card and the share image draw only what these give.

// "6 DEC · 9:41 AM" in the locale's order of day and month, upper-cased.
QString recapHeaderDate(const QDateTime& startedAt, const QLocale& locale = QLocale(),
                        const QTimeZone& zone = QTimeZone::systemTimeZone());
// "25 min": whole focused minutes, at least 1.
QString recapMinutesText(double focusedSeconds);
// "LOCKED IN", or "LOCKED IN · ENDED EARLY".
QString recapStatusText(bool completed);
// "0×", or "3× · 4m".
QString recapDetoursValue(qint64 detours, double detourSeconds);

struct RecapRow {
    QString label;
    QString value;
    bool operator==(const RecapRow&) const = default;
};
// "The thing", "Longest streak", "Detours".
QList<RecapRow> recapRows(const SessionSummary& summary);

struct RecapDetourRow {
    QString key;
    QString phrase;
    QString duration;
    bool operator==(const RecapDetourRow&) const = default;
};
// The top detours after the first, which the callout names.
QList<RecapDetourRow> recapFurtherDetours(const SessionSummary& summary);

struct RecapCalloutPart {
    QString text;
    bool accented = false;
    bool operator==(const RecapCalloutPart&) const = default;
};
// "Not a single wander. " + "Who are you?" (accented), or "Caught you at 9:41 AM: " + the phrase (accented) +
// " for 12m 👀".
QList<RecapCalloutPart> recapCalloutParts(const QList<SessionSummary::Detour>& topDetours,
                                          const QLocale& locale = QLocale(),
                                          const QTimeZone& zone = QTimeZone::systemTimeZone());
// The callout as styled text: every part escaped, the accented ones bold in `accent`. The phrase comes from the
// writing service and must never be read as markup.
QString recapCalloutStyledText(const QList<RecapCalloutPart>& parts, const QColor& accent);

// A phrase for the middle of a sentence: the first character lower-cased, unless the second one is upper-case
// (an abbreviation such as "TV listings").
QString inlinePhrase(const QString& phrase);

struct RecapStripBar {
    double x = 0;
    double width = 0;
    SessionTimeline::Kind kind = SessionTimeline::Kind::Related;
    bool operator==(const RecapStripBar&) const = default;
};
// The bars of the card's strip for a strip `width` wide: related time first, detours after (drawn on top); each
// at least 1.5 wide and never past the right end; none for a timeline of no length.
QList<RecapStripBar> recapStripBars(const SessionTimeline& timeline, double width);

} // namespace tavrine
