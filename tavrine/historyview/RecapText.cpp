#include "tavrine/historyview/RecapText.h"

#include "tavrine/core/Numbers.h"
#include "tavrine/core/Text.h"
#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/historyview/HistoryText.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace tavrine {

namespace {

const QString dot = QStringLiteral(" \u00B7 ");

QString tr(const char* text) {
    return QCoreApplication::translate("SessionRecapCard", text);
}

} // namespace

QString recapHeaderDate(const QDateTime& startedAt, const QLocale& locale, const QTimeZone& zone) {
    const QDateTime local = startedAt.toTimeZone(zone);
    const QString order = datefields::fieldOrder(locale);
    const bool monthFirst = order.indexOf(QLatin1Char('m')) < order.indexOf(QLatin1Char('d'));
    const QString day = locale.toString(local.date(), monthFirst ? QStringLiteral("MMM d") : QStringLiteral("d MMM"));
    return locale.toUpper(day) + dot + shortTimeText(local.time(), locale);
}

QString recapMinutesText(double focusedSeconds) {
    const qint64 minutes = std::max<qint64>(1, wholeNumber(finiteOrZero(focusedSeconds) / 60.0));
    return tr("%lld min").replace(QStringLiteral("%lld"), QString::number(minutes));
}

QString recapStatusText(bool completed) {
    return completed ? tr("LOCKED IN") : tr("LOCKED IN \u00B7 ENDED EARLY");
}

QString recapDetoursValue(qint64 detours, double detourSeconds) {
    if (detours < 1)
        return QStringLiteral("0\u00D7");
    return QString::number(detours) + QStringLiteral("\u00D7") + dot +
           SessionActivityLog::formatDuration(detourSeconds);
}

QList<RecapRow> recapRows(const SessionSummary& summary) {
    return {
        {QStringLiteral("The thing"), summary.intention.isEmpty() ? QStringLiteral("Focus mode") : summary.intention},
        {QStringLiteral("Longest streak"), SessionActivityLog::formatDuration(summary.longestStreak)},
        {QStringLiteral("Detours"), recapDetoursValue(summary.detours, summary.detourSeconds)},
    };
}

QList<RecapDetourRow> recapFurtherDetours(const SessionSummary& summary) {
    QList<RecapDetourRow> rows;
    for (qsizetype i = 1; i < summary.topDetours.size(); ++i) {
        const SessionSummary::Detour& detour = summary.topDetours[i];
        rows.append({detour.key, detour.phrase, SessionActivityLog::formatDuration(detour.seconds)});
    }
    return rows;
}

QList<RecapCalloutPart> recapCalloutParts(const QList<SessionSummary::Detour>& topDetours, const QLocale& locale,
                                          const QTimeZone& zone) {
    if (topDetours.isEmpty())
        return {{tr("Not a single wander. "), false}, {tr("Who are you?"), true}};
    const SessionSummary::Detour& first = topDetours.first();
    const QString time = shortTimeText(first.firstAt.toTimeZone(zone).time(), locale);
    return {
        {tr("Caught you at ") + time + QStringLiteral(": "), false},
        {inlinePhrase(first.phrase), true},
        {tr(" for ") + SessionActivityLog::formatDuration(first.seconds) + QStringLiteral(" \U0001F440"), false},
    };
}

QString recapCalloutStyledText(const QList<RecapCalloutPart>& parts, const QColor& accent) {
    QString text;
    for (const RecapCalloutPart& part : parts) {
        // Keep runs of blanks and line breaks as they are written rather than as HTML would fold them.
        QString escaped = part.text.toHtmlEscaped();
        escaped.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
        if (part.accented)
            text += QStringLiteral("<b><font color=\"%1\">%2</font></b>").arg(accent.name(QColor::HexRgb), escaped);
        else
            text += escaped;
    }
    return text;
}

QString inlinePhrase(const QString& phrase) {
    if (phrase.isEmpty())
        return phrase;
    const QStringList characters = text::graphemes(phrase);
    if (characters.size() >= 2) {
        const QString second = characters.at(1);
        const char32_t code = second.toUcs4().value(0);
        if (QChar::isUpper(code))
            return phrase;
    }
    return characters.first().toLower() + phrase.mid(characters.first().size());
}

QList<RecapStripBar> recapStripBars(const SessionTimeline& timeline, double width) {
    QList<RecapStripBar> bars;
    const double length = finiteOrZero(timeline.length);
    const double w = std::max(finiteOrZero(width), 0.0);
    if (!(length > 0))
        return bars;
    for (const SessionTimeline::Kind kind : {SessionTimeline::Kind::Related, SessionTimeline::Kind::Detour}) {
        for (const SessionTimeline::Segment& segment : timeline.segments) {
            if (segment.kind != kind)
                continue;
            const double x = w * finiteOrZero(segment.start) / length;
            const double barWidth = std::max(1.5, finiteOrZero(segment.end - segment.start) * w / length);
            bars.append({std::max(0.0, std::min(w - barWidth, x)), barWidth, kind});
        }
    }
    return bars;
}

} // namespace tavrine
