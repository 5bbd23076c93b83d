#pragma once

#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historystore/StoredSession.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>

namespace tavrine {

// The texts of the History window. Every function is given the locale and the time zone it shows in (and the
// day that counts as today), so that the window and the tests agree on what a user in Berlin or Chicago sees.

// The intention as stored, or "Focus mode" when it is empty.
QString sessionTitle(const StoredSession& session);
// "9:41 AM · 25 min · 1 detour": the start time, the focused minutes and the detours.
QString rowSubtitle(const StoredSession& session, const QLocale& locale = QLocale(),
                    const QTimeZone& zone = QTimeZone::systemTimeZone());
// "Today", "Yesterday", or the weekday, day, month and year in the locale's own order ("Tue, Mar 5, 2024").
QString dayTitle(QDate day, QDate today, const QLocale& locale = QLocale());
// "Mar 5, 2024 · 9:41 AM–10:06 AM", with " · ended early" when the session was stopped before its time, and
// " · Tavrine stopped unexpectedly" when it ended because the process died under it.
QString detailSubtitle(const StoredSession& session, const QLocale& locale = QLocale(),
                       const QTimeZone& zone = QTimeZone::systemTimeZone());
// "0×", or "3× · 2m": the count and the duration text of the detours.
QString detoursValue(const StoredSession& session);

// A time as the locale shortens it ("9:41 AM", "09:41"). The C locale of a bare system (LANG=C.UTF-8) would
// show seconds there; it gets hours and minutes like every other locale.
QString shortTimeText(QTime time, const QLocale& locale);

// The local day a session is filed under: the day it started on, even when it ran past midnight.
QDate sessionDay(const QDateTime& startedAt, const QTimeZone& zone = QTimeZone::systemTimeZone());

struct DayGroup {
    QDate day;
    QList<StoredSession> sessions;
    bool operator==(const DayGroup&) const = default;
};

// Adjacent sessions of one local day, in the given order (newest first): a day only ever compares with the
// group before it, which is right because the sessions come sorted by start.
QList<DayGroup> dayGroups(const QList<StoredSession>& sessions, const QTimeZone& zone = QTimeZone::systemTimeZone());

// The one line about the history file when something is wrong with it: which file, why, where it is now and
// whether this run's sessions are saved. `waiting` sessions of this run that a healthy file refused are
// counted with the reason, and what the last run `lost` (at quit, or the end of a session's timeline) is said
// first. Empty when all is well.
QString storeNotice(const SessionHistory::Status& status, qsizetype waiting = 0, const QString& saveFailure = {},
                    const SessionHistory::LostSessions& lost = {});
// Everything the store has to tell the History window.
struct StoreReport {
    SessionHistory::Status status;
    qsizetype waiting = 0;
    QString saveFailure;
    SessionHistory::LostSessions lost;
    // How far the running session's record falls short of it.
    SessionHistory::RunningLoss running;
    // Why the last delete was refused.
    QString deleteFailure;
};
// The report in one line, a sentence each: what the last run could not save, the file, this run's sessions
// waiting, a running session that its record falls short of, and a delete it refused. Empty when all is well.
QString storeNotice(const StoreReport& report);
QString storeNotice(const SessionHistory& history);
// The running session's line, for History and the running screen: what its record lacks, and why; empty when
// the record keeps it.
QString runningStoreNotice(const SessionHistory::RunningLoss& loss);
// The recap's line: "This session could not be saved: <reason>" when its session waits unsaved, otherwise the
// store's own line.
QString recapStoreNotice(const SessionHistory::Status& status, const QString& unsavedReason);

namespace datefields {
// The order in which the locale's short date format names day, month and year: a string such as "dmy" or "mdy".
// QLocale has no date skeletons, so this is the way to let the locale order fields we pick ourselves.
QString fieldOrder(const QLocale& locale);
} // namespace datefields

} // namespace tavrine
