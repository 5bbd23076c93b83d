#include "FullDisk.h"
#include "HistoryTestSupport.h"
#include "fakes/FakeLinesWriter.h"
#include "session/SessionHarness.h"
#include "support/TestSupport.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryText.h"
#include "tavrine/services/NudgeWriterError.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

const QString detourKey = QStringLiteral("detour|app|org.example.Videos");

// A session with a history on disk and both writers (lines "recap <id>" and "intent <id>").
struct WrapUpHarness {
    // `notes`: where the store leaves word of sessions it lost at quit; `storeFolder`: the store's, when it
    // is to outlive the harness.
    explicit WrapUpHarness(UserDefaults* notes = nullptr, const QString& storeFolder = {}) {
        SessionHistory::Options options;
        options.folder = storeFolder.isEmpty() ? folder.path() : storeFolder;
        options.notes = notes;
        history = std::make_shared<SessionHistory>(options);
        // Open before the session starts, as the launch's recovery of running records leaves it.
        history->open();
        SessionServices services;
        services.recapWriter = recap;
        services.intentWriter = intents;
        services.history = history;
        h = std::make_unique<SessionHarness>(services);
        h->session->setOnFinish([this] { ++finished; });
    }
    FocusSession& session() { return *h->session; }

    // A session of `minutes` that works for `work` seconds and then watches videos for `detour` seconds.
    void run(const QString& intention, double work, double detour, int minutes = 30) {
        h->observer->setEvidence(usableEvidence());
        h->judge(ActivityRelevance::Relevant);
        h->start(minutes, intention);
        h->advance(work);
        h->observer->setEvidence(usableEvidence(QStringLiteral("org.example.Videos"), QStringLiteral("Cat videos")));
        h->judge(ActivityRelevance::Unrelated, 0.1, QStringLiteral("Watching cat videos"));
        emit h->events.applicationActivated(9, QStringLiteral("org.example.Videos"));
        h->advance(detour);
    }

    std::optional<StoredSession> stored(const QString& intention) {
        for (const StoredSession& session : history->allSessions())
            if (session.intention == intention)
                return session;
        return std::nullopt;
    }

    QTemporaryDir folder;
    std::shared_ptr<SessionHistory> history;
    std::shared_ptr<FakeRecapWriter> recap =
        std::make_shared<FakeRecapWriter>(QStringLiteral("recap-v2"), QStringLiteral("recap "));
    std::shared_ptr<FakeIntentWriter> intents =
        std::make_shared<FakeIntentWriter>(QStringLiteral("history-v1"), QStringLiteral("intent "));
    std::unique_ptr<SessionHarness> h;
    int finished = 0;
};

QStringList phrases(const StoredSession& session, const QString& kind) {
    QStringList list;
    for (const StoredSegment& segment : session.segments)
        if (segment.kind == kind)
            list << segment.phrase;
    return list;
}

} // namespace

TEST(SessionStop, AStoppedSessionIsSummarisedStoredAndGetsItsPhrases) {
    WrapUpHarness w;
    w.run(QStringLiteral("Write the report"), 120, 120);
    w.session().stop(false);
    ManualClock::pump();
    FocusSession& s = w.session();
    EXPECT_EQ(s.phase(), SessionPhase::Idle);
    EXPECT_EQ(w.finished, 0);
    ASSERT_TRUE(s.summary().has_value());
    const SessionSummary& summary = *s.summary();
    EXPECT_EQ(summary.focusedSeconds, 240.0);
    EXPECT_FALSE(summary.completed);
    ASSERT_EQ(summary.topDetours.size(), 1);
    EXPECT_EQ(summary.topDetours[0].key, detourKey);
    // The writers answered at once: the recap line replaced the fallback on screen and in the log rows.
    EXPECT_EQ(summary.topDetours[0].phrase, QStringLiteral("recap ") + detourKey);
    EXPECT_TRUE(std::any_of(s.activityLogItems().begin(), s.activityLogItems().end(), [&](const SessionLogItem& item) {
        return item.phrase == QStringLiteral("recap ") + detourKey;
    }));
    for (const SessionTimeline::Segment& segment : summary.timeline.segments) {
        if (segment.kind == SessionTimeline::Kind::Gap)
            EXPECT_TRUE(segment.intent.isEmpty());
        else
            EXPECT_EQ(segment.intent, QStringLiteral("intent ") + QString::number(segment.id));
    }

    const auto stored = w.stored(QStringLiteral("Write the report"));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(phrases(*stored, QStringLiteral("detour")), QStringList{QStringLiteral("recap ") + detourKey});
    for (const StoredSegment& segment : stored->segments)
        EXPECT_TRUE(segment.intent.startsWith(QStringLiteral("intent "))) << segment.kind.toStdString();
    // The recap writer was told about the detour: its two minutes (less the second the window took to settle).
    ASSERT_EQ(w.recap->calls().size(), 1);
    ASSERT_EQ(w.recap->calls()[0].facts.size(), 1);
    EXPECT_EQ(w.recap->calls()[0].facts[0].minutes, 2);
}

TEST(SessionStop, OnlyTheThreeLongestDetoursAreSummedUpForTheRecap) {
    WrapUpHarness w;
    // The user closes every nudge at once, so that observing goes on.
    w.session().setOnNudge([&w] { QTimer::singleShot(0, [&w] { w.session().acknowledgeNudge(); }); });
    w.run(QStringLiteral("Many detours"), 10, 0);
    const QStringList apps{QStringLiteral("org.example.A"), QStringLiteral("org.example.B"),
                           QStringLiteral("org.example.C"), QStringLiteral("org.example.D")};
    for (qsizetype i = 0; i < apps.size(); ++i) {
        w.h->observer->setEvidence(usableEvidence(apps[i], QStringLiteral("Window ") + QString::number(i)));
        emit w.h->events.applicationActivated(int(i), apps[i]);
        // Later detours last longer, so the first is the one left out.
        w.h->advance(40 + 10 * double(i));
    }
    w.session().stop(false);
    ManualClock::pump();
    ASSERT_TRUE(w.session().summary().has_value());
    EXPECT_EQ(w.session().summary()->detours, 4);
    const auto calls = w.recap->calls();
    ASSERT_EQ(calls.size(), 1);
    QStringList ids;
    for (const RecapDetourFacts& fact : calls[0].facts)
        ids << fact.id;

    EXPECT_EQ(ids, (QStringList{QStringLiteral("detour|app|org.example.D"), QStringLiteral("detour|app|org.example.C"),
                                QStringLiteral("detour|app|org.example.B")}));
}

TEST(SessionStop, ASessionUnderAMinuteIsNeitherSummarisedNorStored) {
    for (const double detour : {29.0, 30.0}) {
        const bool stored = detour == 30.0;
        WrapUpHarness w;
        w.run(QStringLiteral("Quick look"), 30, detour);
        w.session().stop(false);
        EXPECT_EQ(w.session().summary().has_value(), stored) << detour;
        EXPECT_EQ(w.history->sessionCount(), stored ? 1 : 0) << detour;
        if (!stored) {
            EXPECT_TRUE(w.recap->calls().isEmpty());
        }
        EXPECT_EQ(w.intents->calls().isEmpty(), !stored) << detour;
        EXPECT_EQ(w.session().phase(), SessionPhase::Idle) << detour;
    }
}

TEST(SessionStop, ABreakIsNotCountedAndACompletedSessionOpensTheRecap) {
    WrapUpHarness w;
    w.run(QStringLiteral("Paused then ended"), 600, 0);
    w.session().pause();
    w.h->advance(900);
    w.session().stop(false);
    ASSERT_TRUE(w.session().summary().has_value());
    EXPECT_EQ(w.session().summary()->focusedSeconds, 600.0);
    EXPECT_EQ(w.finished, 0);

    WrapUpHarness done;
    done.run(QStringLiteral("Ran out"), 60, 0, 1);
    EXPECT_EQ(done.session().phase(), SessionPhase::Finished);
    EXPECT_EQ(done.finished, 1);
    ASSERT_TRUE(done.session().summary().has_value());
    EXPECT_TRUE(done.session().summary()->completed);
    done.h->advance(60);
    EXPECT_EQ(done.finished, 1);

    // "Again" on the recap: the summary goes, once.
    QSignalSpy summaryChanged(&done.session(), &FocusSession::summaryChanged);
    done.session().clearSummary();
    done.session().clearSummary();
    EXPECT_FALSE(done.session().summary().has_value());
    EXPECT_EQ(summaryChanged.count(), 1);
}

TEST(SessionStop, TwoSessionsStoppedInARowBothGetTheirPhrases) {
    WrapUpHarness w;
    w.recap->setHold(true);
    w.intents->setHold(true);
    QSignalSpy writersChanged(&w.session(), &FocusSession::backgroundWritersRunningChanged);
    w.run(QStringLiteral("First session"), 120, 90);
    EXPECT_FALSE(w.session().backgroundWritersRunning());
    w.session().stop(false);
    EXPECT_TRUE(w.session().backgroundWritersRunning());
    w.run(QStringLiteral("Second session"), 120, 90);
    // The first session's recap arrives while the second runs, and leaves it alone.
    const auto itemsBefore = w.session().activityLogItems();
    w.recap->release(0);
    ManualClock::pump();
    EXPECT_EQ(w.session().activityLogItems(), itemsBefore);
    EXPECT_FALSE(w.session().summary().has_value());
    w.session().stop(false);
    ASSERT_EQ(w.intents->heldCount(), 2);

    // The second session's lines come first, then the first's, which arrive while the second is shown.
    w.intents->release(1);
    w.recap->release(0);
    ManualClock::pump();
    // The last writer still waits: quitting now would lose the first session's intents.
    EXPECT_TRUE(w.session().backgroundWritersRunning());
    w.intents->release(0);
    ManualClock::pump();
    EXPECT_FALSE(w.session().backgroundWritersRunning());
    EXPECT_EQ(writersChanged.count(), 2);

    for (const QString& intention : {QStringLiteral("First session"), QStringLiteral("Second session")}) {
        const auto stored = w.stored(intention);
        ASSERT_TRUE(stored.has_value()) << intention.toStdString();
        EXPECT_EQ(phrases(*stored, QStringLiteral("detour")), QStringList{QStringLiteral("recap ") + detourKey})
            << intention.toStdString();
        for (const StoredSegment& segment : stored->segments)
            EXPECT_TRUE(segment.intent.startsWith(QStringLiteral("intent "))) << intention.toStdString();
    }
    // Only the session on screen takes its lines in; the first's are logged only for the history.
    EXPECT_EQ(w.session().summary()->intention, QStringLiteral("Second session"));
    EXPECT_EQ(w.h->linesWith(QStringLiteral("Recap lines written")), 1);
    EXPECT_EQ(w.h->linesWith(QStringLiteral("History lines written")), 2);
}

TEST(SessionStop, WriterFailuresKeepTheFallbacks) {
    WrapUpHarness w;
    w.recap->setError(std::make_exception_ptr(NudgeWriterError(NudgeWriterError::Kind::invalidResponse)));
    w.intents->setError(std::make_exception_ptr(NudgeWriterError(NudgeWriterError::Kind::invalidResponse)));
    w.run(QStringLiteral("Offline"), 120, 90);
    w.session().stop(false);
    ManualClock::pump();
    EXPECT_EQ(w.h->linesWith(QStringLiteral("Recap lines failed openAIInvalidResponse; keeping fallbacks")), 1);
    EXPECT_EQ(w.h->linesWith(QStringLiteral("History lines failed openAIInvalidResponse; keeping logged lines")), 1);
    const auto stored = w.stored(QStringLiteral("Offline"));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(phrases(*stored, QStringLiteral("detour")), QStringList{w.session().summary()->topDetours[0].phrase});
    EXPECT_FALSE(phrases(*stored, QStringLiteral("detour"))[0].startsWith(QStringLiteral("recap")));
    for (const StoredSegment& segment : stored->segments)
        EXPECT_TRUE(segment.intent.isEmpty());
}

TEST(SessionStop, TheSessionGoingAwayDropsTheWritersQuietly) {
    LogCapture logs; // outlives the harness's own capture
    auto w = std::make_unique<WrapUpHarness>();
    w->recap->setHold(true);
    w->intents->setHold(true);
    w->run(QStringLiteral("Gone"), 120, 90);
    w->session().stop(false);
    auto recap = w->recap;
    w->h.reset();
    ManualClock::pump();
    logs.clear();
    ASSERT_EQ(recap->calls().size(), 1);
    recap->release();
    ManualClock::pump();
    // The late answer is neither logged nor written into the stored session, which keeps its fallback phrase.
    EXPECT_TRUE(logs.lines().isEmpty());
    const auto stored = w->stored(QStringLiteral("Gone"));
    ASSERT_TRUE(stored.has_value());
    const QStringList detours = phrases(*stored, QStringLiteral("detour"));
    ASSERT_EQ(detours.size(), 1);
    EXPECT_FALSE(detours[0].startsWith(QStringLiteral("recap")));
}

namespace {

// How a session's process ends.
enum class Ending { Killed, PausedThenKilled, DisplayLost, Stopped, Quit };

// When the disk fills, if it does.
constexpr double never = -1;

struct CrashCase {
    std::string name;
    double work;
    Ending ending;
    double diskFullFrom = never; // seconds into the session
    // What the next launch finds.
    bool stored = false;
    bool markedUnexpected = false;
    // Free on the store's disk as the session starts, in kB; none: as much as it takes.
    std::optional<qint64> freeAtStart = std::nullopt;
    bool toldLost = false;
    // How the disk fails: a full one still takes writes in place and into the room the session kept; a read-only
    // or erring one takes none, so that what the record lacks is told instead.
    FullDisk::Fault fault = FullDisk::Fault::Full;
    const char* toldAtRelaunch = "";
};

} // namespace

// However a session's process ends, and whenever the disk fills once the session has started (during or after its
// first minute), the next launch stores it whole and has nothing to tell. A disk full from the start is the
// store's own case, told there. A disk that turns read-only or errs keeps what was written before, and the next
// launch says what is missing.
TEST(SessionStop, ANextLaunchFindsEverySessionOfAMinute) {
    QList<CrashCase> cases = {
        {"killed at 75 s", 75, Ending::Killed, never, true, true},
        {"killed at 50 s: under a minute, dropped", 50, Ending::Killed},
        {"killed at 45 s of work during a long break: the break does not count", 45, Ending::PausedThenKilled},
        {"display lost at 75 s: stored to the second", 75, Ending::DisplayLost, never, true, true},
        {"stopped by the user: the ordinary session, no record left", 75, Ending::Stopped, never, true},
        // The room the session took at its start carries it to its end.
        {"disk full 20 s in", 100, Ending::Quit, 20, true},
        {"disk full 80 s in", 150, Ending::Quit, 80, true},
        {"disk full 20 s in, killed at 95 s: the first minute is kept", 95, Ending::Killed, 20, true, true},
        {"disk full 20 s in, display lost at 95 s", 95, Ending::DisplayLost, 20, true, true},
        {"disk read-only 20 s in, killed at 95 s: under a minute kept, the loss told", 95, Ending::Killed, 20, false,
         false, std::nullopt, false, FullDisk::Fault::ReadOnly, ", which ran 1m, could not be saved: disk I/O error."},
        {"disk erring 80 s in, killed at 150 s: the first minute kept, the rest told", 150, Ending::Killed, 80, true,
         true, std::nullopt, false, FullDisk::Fault::IoError, "was saved without its last 1m: disk I/O error."},
        {"disk read-only 80 s in, quit at 150 s: the first minute kept, the rest told", 150, Ending::Quit, 80, true,
         false, std::nullopt, false, FullDisk::Fault::ReadOnly, "was saved without its last 1m: disk I/O error."},
    };
    // Whatever was free as the session started, the room it took is all it could get and no more than was there:
    // a quit keeps all of it, a kill its last whole minute.
    // With no room for a write at all, the session is lost, and said lost.
    for (qint64 free : {0, 32})
        cases.append({std::to_string(free) + " kB free at the start, quit at 100 s", 100, Ending::Quit, 20, false,
                      false, free, true});
    for (qint64 free : {48, 64, 100, 150, 200, 250, 300, 350, 400, 450, 500, 550, 600, 800, 1000}) {
        const std::string name = std::to_string(free) + " kB free at the start, disk full 20 s in, ";
        cases.append({name + "quit at 100 s", 100, Ending::Quit, 20, true, false, free});
        cases.append({name + "killed at 95 s", 95, Ending::Killed, 20, true, true, free});
    }
    for (const CrashCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir settingsFolder;
        const QString settingsPath = settingsFolder.filePath(QStringLiteral("tavrine.ini"));
        // Word of a session lost at quit would reach the next launch through the settings.
        SettingsUserDefaults notes(settingsPath);
        QTemporaryDir storeFolder;
        const QString folder = storeFolder.path();
        auto w = std::make_unique<WrapUpHarness>(&notes, folder);
        std::optional<FullDisk> full;
        if (c.freeAtStart)
            full.emplace(folder, *c.freeAtStart * 1024);
        w->h->judge(ActivityRelevance::Relevant);
        w->h->start(30, QStringLiteral("Survive a crash"));
        if (c.diskFullFrom > 0) {
            w->h->advance(c.diskFullFrom);
            if (c.fault != FullDisk::Fault::Full) {
                full.emplace(folder, c.fault);
            } else {
                if (!full)
                    full.emplace(folder);
                full->fill();
            }
        }
        w->h->advance(c.work - std::max(c.diskFullFrom, 0.0));
        if (c.ending == Ending::PausedThenKilled) {
            w->session().pause();
            w->h->advance(300);
        }
        if (c.ending == Ending::DisplayLost)
            w->session().endUnexpectedly();
        if (c.ending == Ending::Stopped || c.ending == Ending::Quit)
            w->session().stop(false);
        ManualClock::pump();
        if (c.ending == Ending::Quit) {
            // As the application quits: the session stopped, the store flushed, then gone with the process.
            w->history->flush();
            w.reset();
        }
        full.reset();

        // The next launch, while a killed process's store is as it left it.
        SettingsUserDefaults notesNow(settingsPath);
        SessionHistory::Options options;
        options.folder = folder;
        options.notes = &notesNow;
        SessionHistory relaunched(options);
        relaunched.recoverRunning(60.0);
        const QString notice = storeNotice(relaunched);
        if (c.toldLost) {
            EXPECT_EQ(notice, QStringLiteral("The last session could not be saved when Tavrine quit: database or "
                                             "disk is full."));
        } else if (*c.toldAtRelaunch) {
            EXPECT_TRUE(notice.contains(QString::fromUtf8(c.toldAtRelaunch))) << notice.toStdString();
        } else {
            EXPECT_EQ(notice, QString());
        }
        const QList<StoredSession> stored = relaunched.allSessions();
        EXPECT_EQ(stored.size(), c.stored ? 1 : 0);
        if (stored.size() != 1 || !c.stored)
            continue;
        EXPECT_EQ(stored[0].endedUnexpectedly, c.markedUnexpected);
        EXPECT_EQ(stored[0].completed, false);
        EXPECT_GE(stored[0].focusedSeconds, 60.0);
        // A kill loses at most the last minute; every other ending keeps the time to the second. A disk that takes
        // no writes keeps what was written before it failed.
        if (c.fault == FullDisk::Fault::Full) {
            EXPECT_LE(c.work - stored[0].focusedSeconds, c.ending == Ending::Killed ? 60.0 : 0.0);
        }
        EXPECT_EQ(stored[0].intention, QStringLiteral("Survive a crash"));
        ASSERT_FALSE(stored[0].segments.isEmpty());
        EXPECT_EQ(stored[0].segments[0].kind, QStringLiteral("related"));
        // The timeline reaches the session's end.
        EXPECT_EQ(stored[0].segments.last().endedAt, stored[0].endedAt);
    }
}

// A kill at any second of a session loses at most its last minute of use, and once the session has been used for
// a minute its record holds at least that minute: whenever the activity changes (changes move the writes, never
// the whole minutes) and with a break in it.
TEST(SessionStop, AKillAtAnySecondLosesAtMostTheLastMinute) {
    struct Case {
        const char* name;
        QList<int> windowChanges; // seconds into the session
        std::optional<std::pair<int, int>> pause;
    };
    const Case cases[] = {
        {"no change", {}, {}},
        {"another window 20 s in and back 20 s later", {20, 40}, {}},
        {"changes just before each whole minute", {5, 55, 59, 119}, {}},
        {"changes just after each whole minute", {30, 61, 121, 125}, {}},
        {"a change every 7 s", {7, 14, 21, 28, 35, 42, 49, 56, 63, 70, 77, 84, 91, 98, 105}, {}},
        {"a break from 50 s to 80 s", {20, 40}, std::pair{50, 80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WrapUpHarness w;
        w.h->judge(ActivityRelevance::Relevant);
        const double origin = w.h->clock.now();
        w.h->start(30, QStringLiteral("Kept to the minute"));
        double used = 0;
        for (int second = 1; second <= 180; ++second) {
            if (c.windowChanges.contains(second)) {
                const QString bundle = QStringLiteral("org.example.App%1").arg(second);
                w.h->observer->setEvidence(usableEvidence(bundle, QStringLiteral("Window %1").arg(second)));
                emit w.h->events.applicationActivated(second, bundle);
            }
            if (c.pause && second == c.pause->first)
                w.session().pause();
            if (c.pause && second == c.pause->second)
                w.session().resume();
            const QList<SessionLogEntry>& log = w.session().activityLog().entries;
            const std::optional<QUuid> openBefore =
                !log.isEmpty() && !log.last().endedAt ? std::optional(log.last().id) : std::nullopt;
            const double before = w.h->clock.now() - origin;
            w.h->advance(1);
            if (!c.pause || second < c.pause->first || second >= c.pause->second)
                used += 1;
            // What a kill now leaves: the record as the store holds it.
            RawConnection raw(w.folder.filePath(QStringLiteral("History.store")));
            const qint64 kept = raw.number(QStringLiteral("SELECT focused_seconds FROM running_session"));
            if (used >= 60) {
                EXPECT_GE(kept, std::max(used - 60, 60.0)) << "killed at " << second << " s, " << used << " s used";
            }
            // A record written during this second, while a stretch was open throughout, holds that stretch up to
            // the time it keeps, however short it was then.
            const qint64 keptUntil =
                raw.number(QStringLiteral("SELECT round(1000 * (ended_at - started_at)) FROM running_session"));
            const qint64 reached = raw.number(
                QStringLiteral("SELECT round(1000 * (coalesce(max(g.ended_at), s.started_at) - s.started_at)) FROM "
                               "running_session AS s LEFT JOIN running_segment AS g ON g.session = s.id"));
            if (openBefore && !log.isEmpty() && !log.last().endedAt && log.last().id == *openBefore &&
                double(keptUntil) > before * 1000) {
                EXPECT_EQ(reached, keptUntil) << "killed at " << second << " s";
            }
        }
    }
}

TEST(SessionStop, AWindowSwitchJudgedEveryTwoSecondsDoesNotWriteEachTime) {
    WrapUpHarness w;
    w.run(QStringLiteral("Busy desk"), 5, 0);
    const qint64 before = w.history->runningWrites();
    for (int i = 0; i < 60; ++i) {
        const QString bundle = i % 2 ? QStringLiteral("org.example.Videos") : QStringLiteral("org.example.Editor");
        w.h->observer->setEvidence(usableEvidence(bundle, bundle));
        w.h->judge(i % 2 ? ActivityRelevance::Unrelated : ActivityRelevance::Relevant, 0.1);
        emit w.h->events.applicationActivated(9, bundle);
        w.h->advance(2);
    }
    // 120 s of a new stretch on every judgment: one write per look at most, and at least one a minute.
    const qint64 writes = w.history->runningWrites() - before;
    EXPECT_LE(writes, 13);
    EXPECT_GE(writes, 2);
}
