#pragma once

#include "tavrine/history/SessionTimeline.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace tavrine {

// The detail rows of an unfolded timeline block: "App" when the clues name an application, then "Page" with
// the host and the first window title joined by " - " when they name a host.
QList<SessionTimeline::Segment::Detail> segmentDetails(const SessionTimeline::Segment& segment);

// Hour and minute of a moment in the local time zone, without an AM/PM marker ("9:05", "21:05"), in the
// locale's own hour form and separator.
QString clockText(const QDateTime& date, const QLocale& locale = QLocale());

// A segment's label: its history intent when written, otherwise its phrase.
QString segmentLabel(const SessionTimeline::Segment& segment);

// The texts of the clues card of a selected segment: its label, its time line and its clue rows. Captions and
// excerpts of the clues are not shown.
class SessionSegmentClues {
public:
    struct Row {
        QString caption; // "App", "Site" or "Windows"
        QStringList values;
        bool operator==(const Row&) const = default;
    };

    SessionSegmentClues(SessionTimeline::Segment segment, QDateTime startedAt, int titleLimit,
                        QLocale locale = QLocale());

    const SessionTimeline::Segment& segment() const { return m_segment; }
    SessionTimeline::Kind kind() const { return m_segment.kind; }
    QString label() const { return segmentLabel(m_segment); }
    // "9:58–10:04 · 6m": start and end clock times joined by an en dash, then the duration text.
    QString timeText() const;
    // Each row only when it has something to show: the app, the site, the first `titleLimit` titles.
    QList<Row> rows() const;

private:
    SessionTimeline::Segment m_segment;
    QDateTime m_startedAt;
    int m_titleLimit;
    QLocale m_locale;
};

} // namespace tavrine
