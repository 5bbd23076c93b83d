#include "tavrine/historyview/HistoryText.h"

#include "tavrine/history/SessionActivityLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace tavrine {

namespace {

const QString dot = QStringLiteral(" \u00B7 ");

QString tr(const char* text) {
    return QCoreApplication::translate("SessionHistoryView", text);
}

// Day, month and year as the locale orders them, with the month abbreviated ("Mar 5, 2024", "5. März 2024").
QString abbreviatedDate(QDate day, const QLocale& locale, bool withWeekday) {
    const QString order = datefields::fieldOrder(locale);
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype dayAt = shortFormat.indexOf(QLatin1Char('d'));
    qsizetype afterDay = dayAt;
    while (afterDay >= 0 && afterDay < shortFormat.size() && shortFormat.at(afterDay) == QLatin1Char('d'))
        ++afterDay;
    // Locales that write "5." for the day write it with an abbreviated month too.
    const bool dayWithDot =
        afterDay > 0 && afterDay < shortFormat.size() && shortFormat.at(afterDay) == QLatin1Char('.');
    QString format;
    if (order.startsWith(QLatin1Char('m')))
        format = QStringLiteral("MMM d, yyyy");
    else if (order.startsWith(QLatin1Char('y')))
        format = QStringLiteral("yyyy MMM d");
    else
        format = dayWithDot ? QStringLiteral("d. MMM yyyy") : QStringLiteral("d MMM yyyy");
    if (withWeekday)
        format = QStringLiteral("ddd, ") + format;
    return locale.toString(day, format);
}

QString shortTime(const QDateTime& moment, const QLocale& locale, const QTimeZone& zone) {
    return shortTimeText(moment.toTimeZone(zone).time(), locale);
}

// A path as a user would type it: the home folder as "~".
QString shownPath(const QString& path) {
    const QString home = QDir::homePath();
    QString shown = QDir::toNativeSeparators(path);
    if (!home.isEmpty() && home != QLatin1String("/") && path.startsWith(home + QLatin1Char('/')))
        shown = QLatin1Char('~') + QDir::toNativeSeparators(path.mid(home.size()));
    return shown;
}

} // namespace

namespace datefields {

QString fieldOrder(const QLocale& locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QString order;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        const QChar field = c == QLatin1Char('d')   ? QLatin1Char('d')
                            : c == QLatin1Char('M') ? QLatin1Char('m')
                            : c == QLatin1Char('y') ? QLatin1Char('y')
                                                    : QChar();
        if (!field.isNull() && !order.contains(field))
            order.append(field);
    }
    for (const QChar missing : {QLatin1Char('d'), QLatin1Char('m'), QLatin1Char('y')})
        if (!order.contains(missing))
            order.append(missing);
    return order;
}

} // namespace datefields

QString sessionTitle(const StoredSession& session) {
    return session.intention.isEmpty() ? tr("Focus mode") : session.intention;
}

QString rowSubtitle(const StoredSession& session, const QLocale& locale, const QTimeZone& zone) {
    const QString detours = session.detours == 1 ? tr("1 detour") : QString::number(session.detours) + tr(" detours");
    return shortTime(session.startedAt, locale, zone) + dot + QString::number(session.focusedMinutes()) + tr(" min") +
           dot + detours;
}

QString dayTitle(QDate day, QDate today, const QLocale& locale) {
    if (day == today)
        return tr("Today");
    if (day == today.addDays(-1))
        return tr("Yesterday");
    return abbreviatedDate(day, locale, true);
}

QString detailSubtitle(const StoredSession& session, const QLocale& locale, const QTimeZone& zone) {
    QString text = abbreviatedDate(session.startedAt.toTimeZone(zone).date(), locale, false) + dot +
                   shortTime(session.startedAt, locale, zone) + QChar(0x2013) +
                   shortTime(session.endedAt, locale, zone);
    if (!session.completed)
        text += dot + tr("ended early");
    if (session.endedUnexpectedly)
        text += dot + tr("Tavrine stopped unexpectedly");
    return text;
}

QString detoursValue(const StoredSession& session) {
    if (session.detours <= 0)
        return QStringLiteral("0\u00D7");
    return QString::number(session.detours) + QStringLiteral("\u00D7") + dot +
           SessionActivityLog::formatDuration(session.detourSeconds);
}

QDate sessionDay(const QDateTime& startedAt, const QTimeZone& zone) {
    return startedAt.toTimeZone(zone).date();
}

QList<DayGroup> dayGroups(const QList<StoredSession>& sessions, const QTimeZone& zone) {
    QList<DayGroup> groups;
    for (const StoredSession& session : sessions) {
        const QDate day = sessionDay(session.startedAt, zone);
        if (!groups.isEmpty() && groups.last().day == day)
            groups.last().sessions.append(session);
        else
            groups.append({day, {session}});
    }
    return groups;
}

QString shortTimeText(QTime time, const QLocale& locale) {
    if (locale.language() == QLocale::C)
        return time.toString(QStringLiteral("HH:mm"));
    return locale.toString(time, QLocale::ShortFormat);
}

namespace {

QString fileNotice(const SessionHistory::Status& status, qsizetype waiting, const QString& saveFailure) {
    using Problem = SessionHistory::Status::Problem;
    const QString file = shownPath(status.path);
    switch (status.problem) {
    case Problem::None:
        if (waiting <= 0)
            return {};
        // Each text is filled with exactly the values it names: QString::arg warns of any it does not.
        return (waiting == 1 ? tr("A session of this run could not be saved yet: %1.").arg(saveFailure)
                             : tr("%1 sessions of this run could not be saved yet: %2.")
                                   .arg(QString::number(waiting), saveFailure)) +
               tr(" Tavrine tries again when the next session ends and at quit.");
    case Problem::SetAside:
        return tr("The history file %1 could not be read because %2, so it was moved to %3; this run's sessions "
                  "are saved in a new history file.")
            .arg(file, status.reason, shownPath(status.movedTo));
    case Problem::NewerSchema:
        return tr("The history file %1 is from a newer version of Tavrine, so it is only read; this run's sessions "
                  "are not saved.")
            .arg(file);
    case Problem::ReadOnly: {
        QString line = tr("The history file %1 cannot be written (%2), so it is only read; this run's sessions are "
                          "not saved.")
                           .arg(file, status.reason);
        if (status.walHidden)
            line += tr(" Sessions not yet merged from %1 do not show.")
                        .arg(QFileInfo(file).fileName() + QStringLiteral("-wal"));
        return line;
    }
    case Problem::Unavailable:
        if (!status.movedTo.isEmpty())
            return tr("The history file %1 could not be read, so it was moved to %2, and a new one cannot be "
                      "made (%3); this run's sessions are not saved.")
                .arg(file, shownPath(status.movedTo), status.reason);
        return tr("The history file %1 cannot be used (%2) and was left as it is; this run's sessions are not saved.")
            .arg(file, status.reason);
    }
    return {};
}

QString joined(const QStringList& sentences) {
    QStringList given;
    for (const QString& sentence : sentences)
        if (!sentence.isEmpty())
            given.append(sentence);
    return given.join(QLatin1Char(' '));
}

// "Mar 5, 2024" and "9:41 AM", in the local time.
std::pair<QString, QString> dayAndTime(const QDateTime& moment) {
    const QLocale locale;
    const QDateTime local = moment.toLocalTime();
    return {abbreviatedDate(local.date(), locale, false), shortTimeText(local.time(), locale)};
}

QString partlySavedNotice(const QList<SessionHistory::LostSessions::PartlySaved>& sessions) {
    if (sessions.isEmpty())
        return {};
    const SessionHistory::LostSessions::PartlySaved& first = sessions.first();
    const bool figuresKept =
        std::all_of(sessions.cbegin(), sessions.cend(), [](const auto& session) { return session.figuresKept; });
    if (sessions.size() > 1)
        return (figuresKept ? tr("%1 sessions were saved without the timeline of their last minutes: %2.")
                            : tr("%1 sessions were saved without their last minutes: %2."))
            .arg(QString::number(sessions.size()), first.reason);
    const auto [day, time] = dayAndTime(first.startedAt);
    return (figuresKept ? tr("The session of %1 at %2 was saved without the timeline of its last %3: %4.")
                        : tr("The session of %1 at %2 was saved without its last %3: %4."))
        .arg(day, time, SessionActivityLog::formatDuration(first.missingSeconds), first.reason);
}

QString lostRunningNotice(const QList<SessionHistory::LostSessions::LostRunning>& sessions) {
    if (sessions.isEmpty())
        return {};
    const SessionHistory::LostSessions::LostRunning& first = sessions.first();
    if (sessions.size() > 1)
        return tr("%1 sessions that were running could not be saved: %2.")
            .arg(QString::number(sessions.size()), first.reason);
    const auto [day, time] = dayAndTime(first.startedAt);
    return tr("The session of %1 at %2, which ran %3, could not be saved: %4.")
        .arg(day, time, SessionActivityLog::formatDuration(first.usedSeconds), first.reason);
}

} // namespace

QString storeNotice(const SessionHistory::Status& status, qsizetype waiting, const QString& saveFailure,
                    const SessionHistory::LostSessions& lost) {
    QString lostLine;
    if (lost.count > 0) {
        const QString reason = lost.reason.isEmpty() ? tr("the history could not be written") : lost.reason;
        lostLine = lost.count == 1 ? tr("The last session could not be saved when Tavrine quit: %1.").arg(reason)
                                   : tr("The last %1 sessions could not be saved when Tavrine quit: %2.")
                                         .arg(QString::number(lost.count), reason);
    }
    return joined({lostLine, lostRunningNotice(lost.lostRunning), partlySavedNotice(lost.partlySaved),
                   fileNotice(status, waiting, saveFailure)});
}

QString runningStoreNotice(const SessionHistory::RunningLoss& loss) {
    using Kind = SessionHistory::RunningLoss::Kind;
    const QString kept = SessionActivityLog::formatDuration(loss.keptSeconds);
    QString line;
    switch (loss.kind) {
    case Kind::None:
        return {};
    case Kind::Timeline:
        line = tr("The session that is running is saved with its timeline only up to its first %1: %2")
                   .arg(kept, loss.reason);
        break;
    case Kind::Behind:
        line = tr("The session that is running is saved only up to its first %1: %2").arg(kept, loss.reason);
        break;
    case Kind::Nothing:
        line = tr("The session that is running cannot be saved: %1").arg(loss.reason);
        break;
    }
    return line + (loss.retried ? tr("; Tavrine tries again while it runs.") : QStringLiteral("."));
}

QString storeNotice(const StoreReport& report) {
    // A store that cannot be written this run says so in its own line, for the running session as for the rest.
    const QString running = report.running.retried ? runningStoreNotice(report.running) : QString();
    const QString deleted = report.deleteFailure.isEmpty()
                                ? QString()
                                : tr("The session could not be deleted: %1.").arg(report.deleteFailure);
    return joined({storeNotice(report.status, report.waiting, report.saveFailure, report.lost), running, deleted});
}

QString storeNotice(const SessionHistory& history) {
    return storeNotice(StoreReport{history.status(), history.pendingCount(), history.saveFailure(),
                                   history.lostAtLastQuit(), history.runningLoss(), history.deleteFailure()});
}

QString recapStoreNotice(const SessionHistory::Status& status, const QString& unsavedReason) {
    if (!unsavedReason.isEmpty())
        return tr("This session could not be saved: %1").arg(unsavedReason);
    return storeNotice(status);
}

} // namespace tavrine
