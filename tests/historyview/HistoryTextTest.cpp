#include "tavrine/historyview/HistoryText.h"

#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace tavrine;

namespace {

const QLocale english(QLocale::English, QLocale::UnitedStates);
const QLocale german(QLocale::German, QLocale::Germany);
const QTimeZone berlin("Europe/Berlin");

// 2024-03-05 09:41 in Berlin.
StoredSession storedAt(QDateTime start, double focused = 1500, qint64 detours = 0, double detourSeconds = 0) {
    StoredSession session;
    session.sessionID = QUuid::createUuid();
    session.startedAt = start.toUTC();
    session.endedAt = session.startedAt.addSecs(qint64(focused));
    session.intention = QStringLiteral("Write the report");
    session.focusedSeconds = focused;
    session.completed = true;
    session.detours = detours;
    session.detourSeconds = detourSeconds;
    return session;
}

QDateTime berlinTime(int y, int m, int d, int h, int min) {
    return QDateTime(QDate(y, m, d), QTime(h, min), berlin);
}

} // namespace

TEST(HistoryText, TitleFallsBackToFocusModeOnlyForAnEmptyIntention) {
    StoredSession session = storedAt(berlinTime(2024, 3, 5, 9, 41));
    EXPECT_EQ(sessionTitle(session), QStringLiteral("Write the report"));
    session.intention = QStringLiteral("  ");
    EXPECT_EQ(sessionTitle(session), QStringLiteral("  ")); // used as stored
    session.intention.clear();
    EXPECT_EQ(sessionTitle(session), QStringLiteral("Focus mode"));
}

TEST(HistoryText, RowSubtitleCountsMinutesAndDetours) {
    struct Case {
        double focused;
        qint64 detours;
        QString expected;
    };
    const QList<Case> cases = {
        {60, 0, QStringLiteral("9:41 AM \u00B7 1 min \u00B7 0 detours")},
        {119, 1, QStringLiteral("9:41 AM \u00B7 1 min \u00B7 1 detour")},
        {120, 3, QStringLiteral("9:41 AM \u00B7 2 min \u00B7 3 detours")},
        {20, 2, QStringLiteral("9:41 AM \u00B7 1 min \u00B7 2 detours")},
    };
    for (const Case& c : cases) {
        const StoredSession session = storedAt(berlinTime(2024, 3, 5, 9, 41), c.focused, c.detours);
        QString text = rowSubtitle(session, english, berlin);
        text.replace(QChar(0x202F), QLatin1Char(' ')); // the locale's narrow blank before "AM"
        EXPECT_EQ(text, c.expected) << c.focused;
    }
    EXPECT_EQ(rowSubtitle(storedAt(berlinTime(2024, 3, 5, 21, 5), 120), german, berlin),
              QStringLiteral("21:05 \u00B7 2 min \u00B7 0 detours"));
}

TEST(HistoryText, DayTitles) {
    const QDate today(2024, 3, 5);
    EXPECT_EQ(dayTitle(today, today, english), QStringLiteral("Today"));
    EXPECT_EQ(dayTitle(today.addDays(-1), today, english), QStringLiteral("Yesterday"));
    EXPECT_EQ(dayTitle(today.addDays(-2), today, english), QStringLiteral("Sun, Mar 3, 2024"));
    EXPECT_EQ(dayTitle(today.addDays(-2), today, german), QStringLiteral("So., 3. M\u00E4rz 2024"));
    // A day after today (a clock set back) is dated, never "Today".
    EXPECT_EQ(dayTitle(today.addDays(1), today, english), QStringLiteral("Wed, Mar 6, 2024"));
}

TEST(HistoryText, FieldOrderFollowsTheShortDateFormat) {
    EXPECT_EQ(datefields::fieldOrder(english), QStringLiteral("mdy"));
    EXPECT_EQ(datefields::fieldOrder(german), QStringLiteral("dmy"));
    EXPECT_EQ(datefields::fieldOrder(QLocale(QLocale::Japanese, QLocale::Japan)), QStringLiteral("ymd"));
}

TEST(HistoryText, DetailSubtitleSaysWhenASessionEndedEarly) {
    StoredSession session = storedAt(berlinTime(2024, 3, 5, 23, 50), 1500);
    session.endedAt = berlinTime(2024, 3, 6, 0, 15).toUTC();
    EXPECT_EQ(detailSubtitle(session, german, berlin), QStringLiteral("5. M\u00E4rz 2024 \u00B7 23:50\u201300:15"));
    session.completed = false;
    EXPECT_EQ(detailSubtitle(session, german, berlin),
              QStringLiteral("5. M\u00E4rz 2024 \u00B7 23:50\u201300:15 \u00B7 ended early"));
    session.endedUnexpectedly = true;
    EXPECT_TRUE(detailSubtitle(session, german, berlin)
                    .endsWith(QStringLiteral("ended early \u00B7 Tavrine stopped unexpectedly")));
    EXPECT_TRUE(detailSubtitle(session, english, berlin).startsWith(QStringLiteral("Mar 5, 2024 \u00B7 11:50")));
}

TEST(HistoryText, DetoursFigure) {
    EXPECT_EQ(detoursValue(storedAt(berlinTime(2024, 3, 5, 9, 0), 600, 0, 0)), QStringLiteral("0\u00D7"));
    EXPECT_EQ(detoursValue(storedAt(berlinTime(2024, 3, 5, 9, 0), 600, -1, 30)), QStringLiteral("0\u00D7"));
    EXPECT_EQ(detoursValue(storedAt(berlinTime(2024, 3, 5, 9, 0), 600, 3, 150)), QStringLiteral("3\u00D7 \u00B7 2m"));
}

TEST(HistoryText, DayGroupsFileASessionUnderTheDayItStarted) {
    const QList<StoredSession> sessions = {
        storedAt(berlinTime(2024, 3, 6, 8, 0)),
        storedAt(berlinTime(2024, 3, 5, 23, 50)), // ran past midnight
        storedAt(berlinTime(2024, 3, 5, 0, 10)),  // 23:10 UTC the day before
        storedAt(berlinTime(2024, 3, 3, 12, 0)),
    };
    const QList<DayGroup> groups = dayGroups(sessions, berlin);
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[0].day, QDate(2024, 3, 6));
    EXPECT_EQ(groups[1].day, QDate(2024, 3, 5));
    EXPECT_EQ(groups[1].sessions, (QList<StoredSession>{sessions[1], sessions[2]}));
    EXPECT_EQ(groups[2].day, QDate(2024, 3, 3));
    EXPECT_TRUE(dayGroups({}, berlin).isEmpty());
}

TEST(HistoryText, ShortTimesNeverShowSeconds) {
    const QTime time(14, 5, 33);
    EXPECT_EQ(shortTimeText(time, QLocale::c()), QStringLiteral("14:05"));
    EXPECT_EQ(shortTimeText(time, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("14:05"));
    EXPECT_FALSE(shortTimeText(time, QLocale(QLocale::English, QLocale::UnitedStates)).contains(QStringLiteral(":33")));
}

TEST(HistoryText, TheStoreNoticeSaysWhichFileWhyWhereAndWhetherSessionsAreSaved) {
    using Problem = SessionHistory::Status::Problem;
    SessionHistory::Status status;
    status.path = QDir::homePath() + QStringLiteral("/.local/share/com.dravolence.tavrine/History.store");
    status.reason = QStringLiteral("it is damaged");
    const QString movedTo = status.path + QStringLiteral(".unreadable-2026-12-07");
    struct Case {
        Problem problem;
        QString movedTo;
        bool walHidden;
        QStringList parts;
    };
    const QList<Case> cases = {
        {Problem::SetAside,
         movedTo,
         false,
         {"could not be read because it is damaged, so it was moved to "
          "~/.local/share/com.dravolence.tavrine/History.store.unreadable-2026-12-07;",
          "this run's sessions are saved"}},
        {Problem::NewerSchema, {}, false, {"newer version of Tavrine", "sessions are not saved"}},
        {Problem::ReadOnly,
         {},
         true,
         {"cannot be written (it is damaged)", "not saved", "History.store-wal do not show"}},
        {Problem::Unavailable, {}, false, {"cannot be used (it is damaged)", "left as it is", "not saved"}},
        {Problem::Unavailable,
         movedTo,
         false,
         {"moved to ~/.local/share/com.dravolence.tavrine/History.store.unreadable-2026-12-07", "cannot be made"}},
    };
    for (const Case& c : cases) {
        status.problem = c.problem;
        status.movedTo = c.movedTo;
        status.walHidden = c.walHidden;
        const QString notice = storeNotice(status);
        EXPECT_TRUE(
            notice.startsWith(QStringLiteral("The history file ~/.local/share/com.dravolence.tavrine/History.store ")))
            << notice.toStdString();
        for (const QString& part : c.parts)
            EXPECT_TRUE(notice.contains(part)) << notice.toStdString() << " lacks " << part.toStdString();
    }

    status.problem = Problem::None;
    EXPECT_TRUE(storeNotice(status).isEmpty());
    EXPECT_TRUE(storeNotice(status, 2, QStringLiteral("disk full"))
                    .startsWith(QStringLiteral("2 sessions of this run could not be saved yet: disk full.")));
    // What the last run lost at quit comes first.
    status.problem = Problem::NewerSchema;
    EXPECT_TRUE(storeNotice(status, 0, {}, {2, QStringLiteral("disk full"), {}})
                    .startsWith(QStringLiteral("The last 2 sessions could not be saved when Tavrine quit: disk full. "
                                               "The history file ")));
    status.problem = Problem::None;
    // The recap speaks of its own session first.
    EXPECT_EQ(recapStoreNotice(status, QStringLiteral("database or disk is full")),
              QStringLiteral("This session could not be saved: database or disk is full"));
}

namespace {

QStringList qtWarnings;

void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        qtWarnings.append(message);
}

} // namespace

// Every line the store can show, in every combination of what it reports, is filled without a warning from
// QString::arg, and a reason or path that itself holds "%1" is shown as it is, never filled in turn.
TEST(HistoryText, EveryStoreNoticeIsFilledWhateverItsReasonsHold) {
    using Problem = SessionHistory::Status::Problem;
    using Partly = SessionHistory::LostSessions::PartlySaved;
    using Lost = SessionHistory::LostSessions::LostRunning;
    using Loss = SessionHistory::RunningLoss;
    const QString reason = QStringLiteral("disk 100% full at %1 (%2)");
    // Whatever was filled in, nothing else is left to fill.
    auto leftToFill = [&reason](QString notice) {
        notice.remove(reason).remove(QStringLiteral("%1 files")).remove(QStringLiteral("-%2"));
        return notice.contains(QRegularExpression(QStringLiteral("%\\d")));
    };
    const QDateTime start = berlinTime(2024, 3, 5, 9, 41);
    const QList<SessionHistory::LostSessions> lastRun = {
        {},
        {1, reason, {}},
        {2, {}, {}},
        {0, {}, {Partly{start, 95, reason}}},
        {1, reason, {Partly{start, 95, reason}, Partly{start.addDays(1), 30, reason}}},
        {0, {}, {Partly{start, 95, reason, false}}, {Lost{start, 100, reason}}},
        {0, {}, {Partly{start, 95, reason}, Partly{start, 95, reason, false}}, {Lost{start, 100, reason}, Lost{}}},
    };
    const QList<Loss> runningLosses = {
        {},
        {Loss::Kind::Timeline, 75, reason},
        {Loss::Kind::Behind, 75, reason},
        {Loss::Kind::Nothing, 10, reason},
        {Loss::Kind::Nothing, 0, reason, false},
    };
    SessionHistory::Status status;
    status.path = QDir::homePath() + QStringLiteral("/%1 files/History.store");
    status.reason = reason;
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    qtWarnings.clear();
    for (const Problem problem :
         {Problem::None, Problem::SetAside, Problem::NewerSchema, Problem::ReadOnly, Problem::Unavailable}) {
        for (const bool elsewhere : {false, true}) {
            status.problem = problem;
            status.movedTo = elsewhere ? status.path + QStringLiteral(".unreadable-%2") : QString();
            status.walHidden = elsewhere;
            for (const qsizetype waiting : {0, 1, 3}) {
                for (const SessionHistory::LostSessions& lost : lastRun) {
                    for (const Loss& running : runningLosses) {
                        for (const QString& deleted : {QString(), reason}) {
                            const QString notice =
                                storeNotice(StoreReport{status, waiting, reason, lost, running, deleted});
                            // A store that cannot be written at all says so for the running session too.
                            const bool toldRunning = running.kind != Loss::Kind::None && running.retried;
                            const bool says = problem != Problem::None || waiting > 0 || lost.count > 0 ||
                                              !lost.partlySaved.isEmpty() || !lost.lostRunning.isEmpty() ||
                                              toldRunning || !deleted.isEmpty();
                            EXPECT_EQ(!notice.isEmpty(), says) << notice.toStdString();
                            EXPECT_FALSE(leftToFill(notice)) << notice.toStdString();
                            EXPECT_EQ(notice.contains(QStringLiteral("that is running")), toldRunning)
                                << notice.toStdString();
                            EXPECT_EQ(notice.contains(QStringLiteral("that were running")) ||
                                          notice.contains(QStringLiteral(", which ran 1m,")),
                                      !lost.lostRunning.isEmpty())
                                << notice.toStdString();
                            // The running screen shows the running session's line whatever the store.
                            EXPECT_EQ(runningStoreNotice(running).isEmpty(), running.kind == Loss::Kind::None);
                            EXPECT_FALSE(leftToFill(runningStoreNotice(running)));
                            EXPECT_EQ(notice.contains(QStringLiteral("could not be deleted: ") + reason),
                                      !deleted.isEmpty());
                        }
                    }
                }
            }
            EXPECT_FALSE(leftToFill(recapStoreNotice(status, reason)));
            EXPECT_FALSE(leftToFill(recapStoreNotice(status, {})));
        }
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(qtWarnings.isEmpty()) << qtWarnings.join(QLatin1Char('\n')).toStdString();
}
