#include "tavrine/history/SessionSegmentClues.h"

#include "tavrine/core/Numbers.h"
#include "tavrine/history/SessionActivityLog.h"

#include <algorithm>

namespace tavrine {

QList<SessionTimeline::Segment::Detail> segmentDetails(const SessionTimeline::Segment& segment) {
    QList<SessionTimeline::Segment::Detail> details;
    const ActivityClues& clues = segment.clues;
    if (!clues.app.isEmpty())
        details.append({QStringLiteral("App"), clues.app});
    if (clues.host.isEmpty())
        return details;
    const QString title = clues.titles.isEmpty() ? QString() : clues.titles.first();
    details.append({QStringLiteral("Page"), title.isEmpty() ? clues.host : clues.host + QStringLiteral(" - ") + title});
    return details;
}

namespace {

// What the locale's short time format says about the hour: 12-hour or 24-hour, padded or not, and the text
// between hour and minute. Read outside quoted literals.
struct HourForm {
    bool twelveHour = false;
    bool padded = false;
    QString separator = QStringLiteral(":");
};

HourForm hourForm(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    HourForm form;
    bool quoted = false;
    qsizetype hourAt = -1;
    qsizetype hourLength = 0;
    qsizetype minuteAt = -1;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == QLatin1Char('a') || c == QLatin1Char('A'))
            form.twelveHour = true;
        if ((c == QLatin1Char('h') || c == QLatin1Char('H')) && hourAt < 0) {
            hourAt = i;
            while (i + hourLength < format.size() && format.at(i + hourLength) == c)
                ++hourLength;
        }
        if (c == QLatin1Char('m') && minuteAt < 0)
            minuteAt = i;
    }
    if (hourAt >= 0) {
        form.padded = hourLength >= 2;
        if (minuteAt > hourAt + hourLength) {
            QString between = format.mid(hourAt + hourLength, minuteAt - hourAt - hourLength);
            between.remove(QLatin1Char('\''));
            if (!between.isEmpty())
                form.separator = between;
        }
    }
    return form;
}

} // namespace

QString clockText(const QDateTime& date, const QLocale& locale) {
    const QTime time = date.toLocalTime().time();
    const HourForm form = hourForm(locale);
    int hour = time.hour();
    if (form.twelveHour)
        hour = (hour + 11) % 12 + 1;
    auto twoDigits = [&locale](int value) {
        return value < 10 ? locale.zeroDigit() + locale.toString(value) : locale.toString(value);
    };
    return (form.padded ? twoDigits(hour) : locale.toString(hour)) + form.separator + twoDigits(time.minute());
}

QString segmentLabel(const SessionTimeline::Segment& segment) {
    return segment.intent.isEmpty() ? segment.phrase : segment.intent;
}

SessionSegmentClues::SessionSegmentClues(SessionTimeline::Segment segment, QDateTime startedAt, int titleLimit,
                                         QLocale locale)
    : m_segment(std::move(segment)), m_startedAt(std::move(startedAt)), m_titleLimit(std::max(titleLimit, 0)),
      m_locale(std::move(locale)) {}

QString SessionSegmentClues::timeText() const {
    auto at = [this](double offset) { return m_startedAt.addMSecs(roundedNumber(offset * 1000.0)); };
    return clockText(at(m_segment.start), m_locale) + QChar(0x2013) + clockText(at(m_segment.end), m_locale) +
           QStringLiteral(" \u00B7 ") + SessionActivityLog::formatDuration(m_segment.end - m_segment.start);
}

QList<SessionSegmentClues::Row> SessionSegmentClues::rows() const {
    QList<Row> rows;
    const ActivityClues& clues = m_segment.clues;
    if (!clues.app.isEmpty())
        rows.append({QStringLiteral("App"), {clues.app}});
    if (!clues.host.isEmpty())
        rows.append({QStringLiteral("Site"), {clues.host}});
    const QStringList titles = clues.titles.mid(0, m_titleLimit);
    if (!titles.isEmpty())
        rows.append({QStringLiteral("Windows"), titles});
    return rows;
}

} // namespace tavrine
